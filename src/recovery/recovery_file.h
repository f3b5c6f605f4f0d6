// The recovery file: the unsaved tables kept on disk beside Kovirant.ini, in
// the report's format with every row and every cell whole, so that
// "XML állomány betöltése..." can open it by hand as well.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "records/memory_table.h"
#include "records/record_tables.h"
#include "report/report_writer.h"
#include "report/settings.h"

namespace kovirant {

inline constexpr std::string_view kRecoveryFileName = "Kovirant-visszaallitas.xml";
// Held by the running copy that keeps the recovery file, so that another copy
// in the same folder neither writes nor removes it.
inline constexpr std::string_view kRecoveryHoldName = "Kovirant-visszaallitas.lock";

std::filesystem::path recoveryPath(const std::filesystem::path& workingFolder);

// Where the recovery files of a working folder are kept: the folder itself,
// or, when it lies on a network drive, a folder of its own under the user's
// local data (Kovirant\<name of the working folder>): a flush per change over
// the network is slow, and a dropped connection must not cost the rows.
// `local` is the user's local data folder, if there is one.
std::filesystem::path recoveryFolderFor(const std::filesystem::path& workingFolder, bool onNetwork,
                                        const std::optional<std::filesystem::path>& local);
// Moves recovery files an earlier version left in `from` to `to` (when `to`
// has none): the snapshot, its journal. Returns 0 or the system error code.
int moveLeftRecoveryFiles(const std::filesystem::path& from, const std::filesystem::path& to);
std::filesystem::path recoveryHoldPath(const std::filesystem::path& workingFolder);

// Whether a file carries the recovery file's mark (near its start).
bool isRecoveryFile(const std::filesystem::path& file);

// Where the recovery journal goes on from a snapshot: the chain of files it
// belongs to and the sequence number of the last change it holds.
struct JournalPosition {
    std::uint64_t generation = 0;
    std::uint64_t sequence = 0;
};
// The comment line that carries the position in the file.
std::string recoveryNote(JournalPosition at);

// Says that a chain's changes up to a position were saved: written (and
// flushed) before the snapshot and its journal are removed after a save or
// on leaving, and removed after them, so that a stop between the two
// removals never leaves the older file looking unsaved.
inline constexpr std::string_view kSavedMarkName = "Kovirant-visszaallitas.mentve";
std::filesystem::path savedMarkPath(const std::filesystem::path& folder);
// The position the folder's mark says was saved; zero without a mark.
JournalPosition readSavedMark(const std::filesystem::path& folder);
// The snapshot and the journal of `folder` removed under a mark that the
// chain's changes up to `saved` were saved (where the mark cannot be written,
// the journal first). Returns 0 or the system error code of a removal that
// failed (the mark then stays).
int removeRecoveryFiles(const std::filesystem::path& folder, JournalPosition saved);

// Writes the three tables whole, all-or-nothing. Returns 0 or the system
// error code; on failure the previous copy stays as it was. `options` gives
// the rest of the writer's options (a profile already read, a way to stop).
int writeRecovery(const std::filesystem::path& file, const RecordTables& tables, const SettingsFile& settings,
                  JournalPosition at = {}, ReportOptions options = {});

enum class RecoveryStatus {
    Missing,     // no file: nothing to recover
    Read,        // complete, its rows read
    Damaged,     // cut short or not written by the program: the whole records before the cut are read
    Unreadable,  // there, but could not be opened or read
};

// Rows read from a recovery file, kept apart from the tables until the
// officer says they come back.
struct RecoveredRows {
    RecoveryStatus status = RecoveryStatus::Missing;
    int errorCode = 0;
    PerKind<MemoryTable> stores{MemoryTable(ViewRegister), MemoryTable(ViewInstitution), MemoryTable(ViewAccountChange)};
    JournalPosition at;  // from the file's note; zero without one
    const MemoryTable& operator[](ViewKind kind) const { return stores[kind]; }
    std::size_t rows() const { return stores[0].rowCount() + stores[1].rowCount() + stores[2].rowCount(); }
    // The rows as tables (to write them, to replay a journal into them).
    RecordTables tables() { return RecordTables(stores[0], stores[1], stores[2]); }
};

RecoveredRows readRecovery(const std::filesystem::path& file);
// The same over an open stream, read from its start.
RecoveredRows readRecoveryStream(std::FILE* file);

// Appends the recovered rows to the tables, the register rows last so that
// the status bar shows their count.
void restoreRows(const RecoveredRows& rows, RecordTables& tables);

// A file renamed aside: its new name, or the system error code (0 when moved).
struct AsideOutcome {
    std::filesystem::path aside;
    int errorCode = 0;
    bool moved() const { return errorCode == 0; }
};

// A free name beside `file` with the date and time in it, and its extension.
std::filesystem::path asideName(const std::filesystem::path& file, std::time_t now);
// Renames the file aside to asideName (never deleting it).
AsideOutcome putAside(const std::filesystem::path& file, std::time_t now);

}  // namespace kovirant
