// The archive of every report written: the exact bytes kept read-only under
// Archivum\<year>\, and one line per report in Archivum\naplo.csv (UTF-8 with
// a mark, ';', CR LF) that carries the SHA-256 of the report and of the line
// before it, so that a changed, removed or reordered line breaks the chain.
// The log's last line's SHA-256 is kept beside it (naplo.csv.sha256): the
// last line is proven too; and each line's SHA-256 goes to the system's log
// (the event log, syslog), which an officer who edits the folder cannot
// rewrite, so that an exported list of them proves the whole chain.
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_tables.h"
#include "util/file_lock.h"

namespace kovirant {

inline constexpr std::string_view kArchiveFolderName = "Archivum";
inline constexpr std::string_view kArchiveLogName = "naplo.csv";
inline constexpr std::string_view kArchivePolicyValue = "Archivum";
inline constexpr std::string_view kActionSave = "mentés";
inline constexpr std::string_view kActionAdd = "felvétel";
// A line that records that the log's last line was not the one its
// naplo.csv.sha256 proved when the next report came (no copy of its own).
inline constexpr std::string_view kActionMismatch = "eltérés";
// The lines that change an archived report's state (archive/report_state):
// they name the report by its SHA-256 and make no copy of it.
inline constexpr std::string_view kActionApproval = "jóváhagyás";  // awaiting approval, approved
inline constexpr std::string_view kActionReturn = "visszaadás";
inline constexpr std::string_view kActionSent = "elküldés";
inline constexpr std::string_view kActionReceipt = "tértivevény";
// Whether a line's action (UTF-8, as the log holds it) changes a state.
bool isStateAction(std::string_view utf8Action);

// Whether `file` (which need not exist) lies inside the archive's folder.
bool insideArchive(const std::filesystem::path& folder, const std::filesystem::path& file);
// The archive beside the settings file, unless a policy or an option names another.
std::filesystem::path defaultArchiveFolder(const std::filesystem::path& settingsFolder);

struct ArchiveEntry {
    std::string_view action = kActionSave;       // Windows-1250
    std::array<std::size_t, 3> rows{};           // register, institution, account change
    std::string program;                         // "Kovirant 1.2.3" or "kovirant-cli 1.2.3"
    std::string time;                            // "YYYY-MM-DD HH:MM:SS"; empty: the moment given
};

enum class ArchiveStatus {
    Archived,
    CannotRead,  // the report written could not be read back
    CannotCopy,  // the copy could not be made (the folder, the share)
    LogFailed,   // the log line could not be written (its copy is removed)
    Busy,        // another program held the log's lock too long (no copy made)
    NotAReport,  // an earlier file to add whose root element is not the report's
    Known,       // an earlier file to add whose SHA-256 the log already holds
    Incomplete,  // an earlier file to add that ends before the report's end (`lines`)
    RowsUnread,  // an earlier file to add of which fewer rows were read than it holds
};

struct ArchiveOutcome {
    ArchiveStatus status = ArchiveStatus::Archived;
    std::filesystem::path copy;    // inside the archive
    std::filesystem::path failed;  // the file a failure is about
    std::string sha256;            // of the report's bytes
    int errorCode = 0;
    LockHolder holder;             // Busy; tookOver: whose lock was taken over
    bool tookOver = false;         // the log's lock of a program that was gone was taken over
    // Archived, but: the log's last line was not the one naplo.csv.sha256
    // proves (what was found; a line "eltérés" records it in the log).
    std::string headMismatch;      // Windows-1250
    // An earlier report's "Időpecsét" that is no YYYY-MM-DDTHH:MM:SS time:
    // the file's own time was taken instead.
    std::string refusedTime;       // Windows-1250
    // The copy of an archiving that was stopped before its line was written,
    // removed under the lock.
    std::string interrupted;       // UTF-8, inside the archive
    long long lines = 0;           // Incomplete: where it ends
    std::size_t rowElements = 0, rowsRead = 0;  // RowsUnread
    bool ok() const { return status == ArchiveStatus::Archived; }
};

// Copies `report` into the archive and appends its line, under the log's
// lock. `now` gives the line's time and the copy's name.
ArchiveOutcome archiveReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                             const ArchiveEntry& entry, std::time_t now);

// The step both front ends take after a report is written: its copy and
// log line, with the tables' row counts.
ArchiveOutcome archiveWrittenReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const RecordTables& tables, std::string program, std::time_t now);

// Adds a report written earlier (by this program or another tool): only a
// file whose root element is the report's, with the report's own time stamp
// ("Időpecsét") and action "felvétel", once.
ArchiveOutcome archiveEarlierReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const std::string& program);

// A report's text as its readers take it (Windows-1250): a report that
// declares UTF-8 (or starts with its mark) converted into `converted`,
// another its own bytes, not copied.
std::string_view reportTextOf(std::string_view bytes, std::string& converted);

// What could not be archived and why, or what an archiving found on the
// way (a lock taken over, a log that fails its proof, an interrupted
// archiving cleaned up), Windows-1250; empty when there is nothing to say.
std::string archiveText(const ArchiveOutcome& outcome);
// The same for an earlier report to add: no report was written by this run.
std::string archiveAddText(const ArchiveOutcome& outcome);

// Where each appended line's anchor goes (the system's log unless a test
// catches it): "Kovirant archívum: sor SHA-256=<hash> előző=<hash> (<log>)".
void setAnchorSink(std::function<void(std::string_view utf8)> sink);

// A path as the log holds it (UTF-8), and a copy's ('/'-separated, inside
// the archive) as a path of this system.
std::filesystem::path logPath(std::string_view utf8);
inline std::filesystem::path copyPath(const std::filesystem::path& folder, std::string_view copy) {
    return folder / logPath(copy);
}

// A report's line of the log, as far as its readers need it.
// A state line (action jóváhagyás, visszaadás, elküldés, tértivevény) holds
// in `report` the state reached, in `sha256` the report's, in `copy` a
// receipt's copy and in `rows` the receipt's SHA-256, the time the report
// was sent when the officer gave one ("YYYY-MM-DD HH:MM") and the note.
struct ArchiveLogEntry {
    std::string time;    // "YYYY-MM-DD HH:MM:SS"
    std::string copy;    // inside the archive, '/'-separated (UTF-8)
    std::string sha256;  // of the report's bytes
    std::string action;  // "mentés" or "felvétel" (UTF-8)
    std::string report;  // the report's full path when it was archived (UTF-8)
    std::array<std::string, 3> rows;  // register, institution, account change
    std::string user, machine;        // UTF-8, as the log holds them
    long long line = 0;               // the log's line (the header is 1)
    bool archivesReport() const { return !isStateAction(action); }
};
// The log's report lines in order (a line that is not one is passed over:
// verifyArchive tells of it), each report's state lines too with
// `stateLines`. `errorCode`: the log's read.
std::vector<ArchiveLogEntry> readArchiveLog(const std::filesystem::path& folder, int& errorCode,
                                            bool stateLines = false);
// The same from the log's bytes.
std::vector<ArchiveLogEntry> archiveLogEntries(std::string_view log, bool stateLines);

// One fault the verification found: the log's line (0: not a line) and what.
struct ArchiveFinding {
    long long line = 0;
    std::string message;  // UTF-8
};

// An exported list of the anchors: on each line the first run of 64 hex
// digits is a line's SHA-256, a second its previous line's; a line without
// one (a header, an event of another kind) is passed over. An event-log
// export in UTF-16 is read too.
struct ArchiveAnchor {
    std::string sha256, previous;  // lowercase; previous may be empty
};
int readAnchors(const std::filesystem::path& file, std::vector<ArchiveAnchor>& anchors);

// Reads the log, re-hashes every copy and checks the chain; each copy
// missing or changed, each broken link and each file of the archive the log
// does not name is a finding. `errorCode` is set when the log cannot be read.
// With anchors, each line not among them and each anchored line that
// followed a line of this log but is missing from it is a finding too.
std::vector<ArchiveFinding> verifyArchive(const std::filesystem::path& folder, int& errorCode,
                                          const std::vector<ArchiveAnchor>* anchors = nullptr);

}  // namespace kovirant
