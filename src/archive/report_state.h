// An archived report's road after the save: awaiting a second officer's
// approval, approved or returned, sent, and the registry's receipt that
// accepts or refuses it. Each step is a line of the archive's log (chained
// as every line), naming the report by its SHA-256; a report's state is its
// last such line, and a log without them reads as before (every report
// "mentve").
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/report_archive.h"
#include "records/record_kinds.h"
#include "records/record_tables.h"
#include "util/file_lock.h"

namespace kovirant {

enum class ReportState { Saved, AwaitingApproval, Approved, Returned, Sent, Accepted, Refused };
inline constexpr ReportState kAllStates[] = {ReportState::Saved,    ReportState::AwaitingApproval, ReportState::Approved,
                                             ReportState::Returned, ReportState::Sent,             ReportState::Accepted,
                                             ReportState::Refused};

// "mentve", "jóváhagyásra vár", ... (Windows-1250), and back.
std::string_view stateName(ReportState s);
std::optional<ReportState> stateNamed(std::string_view cp1250);
// The log's action of the line that reaches the state (Windows-1250).
std::string_view actionOf(ReportState to);

// The allowed steps: mentve -> jóváhagyásra vár -> jóváhagyva | visszaadva;
// mentve | jóváhagyva -> elküldve -> elfogadva | elutasítva.
bool allowedTransition(ReportState from, ReportState to);

// Windows account names compared as Windows does: without case.
bool sameAccount(std::string_view utf8A, std::string_view utf8B);

// One archived report and where it stands.
struct ReportRoad {
    ArchiveLogEntry report;  // its archiving line
    ReportState state = ReportState::Saved;
    std::string since;       // when it came into the state ("YYYY-MM-DD HH:MM:SS"; sent: the time given)
    std::vector<std::string> savedBy;  // the archiving line's user and the approval request's (UTF-8)
    std::string approvedBy;            // UTF-8
    std::string receiptCopy, receiptSha256, note;
};
// Every report once (the first line of its SHA-256), in the log's order,
// with the state its state lines give; a state line that names no report
// or comes out of order changes nothing (verifyArchive tells of it).
std::vector<ReportRoad> reportRoads(const std::vector<ArchiveLogEntry>& lines);
std::vector<ReportRoad> readReportRoads(const std::filesystem::path& folder, int& errorCode);

// A SHA-256 prefix of at least 8 hex digits that names exactly one report.
enum class PrefixMatch { One, None, Several, NotAPrefix };
PrefixMatch findReport(const std::vector<ReportRoad>& roads, std::string_view prefix, std::size_t& index);

// A step of the road, as the officer asks it.
struct RoadStep {
    ReportState to = ReportState::Sent;
    std::string prefix;                 // the report's SHA-256 or a prefix of it
    bool approvalOn = false;            // the bank's two-person release
    std::string account;                // who asks (accountName()); empty: this process's
    std::string sentAt;                 // Sent: "YYYY-MM-DD HH:MM" the officer gave; empty: now
    std::filesystem::path receipt;      // Accepted, Refused: the receipt as it arrived
    std::string note;                   // Returned: the reason; a receipt's note (UTF-8)
    std::filesystem::path outbox;       // Approved with approval on: the file to sign goes here
    std::string program;                // "kovirant-cli 1.2.3"
};

enum class RoadStatus {
    Done,
    NoLog,          // no archive log to read (`errorCode`)
    NoSuchReport,   // the prefix names none
    SeveralReports, // the prefix names more than one
    NotAPrefix,     // fewer than 8 hex digits, or not hex
    NotAllowed,     // the step does not follow the report's state
    OwnReport,      // the officer who saved the report cannot approve or return it
    NeedsApproval,  // awaiting approval (or not approved) and approval is on: cannot be sent
    BadTime,        // --at not "YYYY-MM-DD HH:MM"
    CannotRead,     // the receipt could not be read
    CannotCopy,     // the receipt's copy could not be made
    LogFailed,      // the log line could not be written
    Busy,           // another program held the log's lock too long
    OutboxFailed,   // approved, but the copy for the outbox could not be written
};

struct RoadOutcome {
    RoadStatus status = RoadStatus::Done;
    ReportState from = ReportState::Saved, to = ReportState::Saved;
    std::string sha256;               // the report's
    std::string copy;                 // the report's copy (UTF-8, inside the archive)
    std::string receiptCopy;          // UTF-8, inside the archive
    std::filesystem::path failed;     // the file a failure is about
    std::filesystem::path outboxFile; // approved with approval on
    int errorCode = 0;
    LockHolder holder;
    bool tookOver = false;
    std::string headMismatch;         // as ArchiveOutcome's
    std::string interrupted;          // an interrupted step's copy removed (UTF-8)
    bool ok() const { return status == RoadStatus::Done; }
};

// Takes the step under the log's lock: the state line appended (a receipt
// copied read-only beside the report first), the outbox copy made.
RoadOutcome moveReport(const std::filesystem::path& folder, const RoadStep& step, std::time_t now);

// After a save with approval on: the report just archived awaits approval.
RoadOutcome requestApproval(const std::filesystem::path& folder, const std::string& sha256, const std::string& program,
                            std::time_t now);

// What the step did or why not (Windows-1250).
std::string roadText(const RoadOutcome& o);

// The days a report may wait in a state (section GENERAL).
struct RoadLimits {
    int sending = 1;  // kuldesi_hatarido: awaiting approval, approved or saved and not sent
    int receipt = 2;  // tertiveveny_hatarido: sent without a receipt
};
// A "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD HH:MM") local time, or nothing.
std::optional<std::time_t> localTimeOf(std::string_view text);
// `now` as the sending's time is typed: "YYYY-MM-DD HH:MM", local.
std::string minuteText(std::time_t now);
// Whole days from the time to `now` (0 when it cannot be read or lies ahead).
long long daysSince(std::string_view time, std::time_t now);

// Whether the report waits longer than the limits allow; a refused report
// is overdue until a later report holds all its rows (`mended`).
bool isOverdue(const ReportRoad& road, const RoadLimits& limits, std::time_t now, bool mended);
// For each refused report, whether a later archived report holds every row
// of it (the copies read; one that cannot be read mends nothing).
std::vector<bool> mendedReports(const std::filesystem::path& folder, const std::vector<ReportRoad>& roads);
// How many reports are overdue.
std::size_t overdueCount(const std::filesystem::path& folder, const std::vector<ReportRoad>& roads,
                         const RoadLimits& limits, std::time_t now);
// The window's start-up line: "N jelentés késik: lásd Korábbi jelentések" (empty for none).
std::string overdueText(std::size_t count);

// A row as a report's rows are compared: its table's digit, then its
// cells, each after a '\x1F'.
std::string rowKey(ViewKind kind, std::span<const std::string_view> cells);
// Every row of the tables so.
std::set<std::string> rowKeys(const RecordTables& tables);
// An archived report's copy read into `tables`: false when it cannot be
// read (or lies outside the archive) or is not a whole report.
bool loadCopy(const std::filesystem::path& folder, const ArchiveLogEntry& report, RecordTables& tables);
// A report's rows so (the copy read), or nothing when it cannot be read.
std::optional<std::set<std::string>> reportRows(const std::filesystem::path& folder, const ArchiveLogEntry& report);

// Where an approved report's file to sign goes in the outbox: under the
// report's own file name.
std::filesystem::path outboxFileOf(const ReportRoad& road, const std::filesystem::path& outbox);

// The report a receipt's bytes point at: the one whose SHA-256 (any case)
// or copy's or report's file name they hold, the SHA-256 first; nothing
// when none or several.
std::optional<std::size_t> reportOfReceipt(std::string_view bytes, const std::vector<ReportRoad>& roads);

}  // namespace kovirant
