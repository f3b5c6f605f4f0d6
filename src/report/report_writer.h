// The XML report: its one definition, written from the settings file's data
// sheet and every row of the three record tables.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "editing/messages.h"
#include "records/record_tables.h"
#include "report/settings.h"

namespace kovirant {

// Host of the schema publisher's web server in the namespace, stylesheet and
// schema URIs of every report.
inline constexpr std::string_view kReportSchemaHost = "www.k-lemo.example";
inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

inline constexpr std::string_view kMsgReportCreateFailed = "Rendszerhiba (jelentés állomány létrehozása)";
inline constexpr std::string_view kMsgReportWriteFailed = "Rendszerhiba (jelentés állomány írása)";
inline constexpr std::string_view kCaptionReport = "Jelentés";
// The comment line that marks the tables kept for recovery (written with
// `wholeTables`), so that a load by hand knows them from a report.
inline constexpr std::string_view kRecoveryMark = "<!-- Kovirant visszaállítási állomány: nem mentett sorok -->";

enum class ReportStatus {
    Written,      // the target holds the complete report
    CannotOpen,   // the temporary file could not be created or the target not
                  // replaced; target untouched
    WriteFailed,  // a write, the flush or the close failed; target untouched
    FaultyRow,    // a register row lacks its company number; target untouched
};

struct ReportOutcome {
    ReportStatus status = ReportStatus::Written;
    std::size_t faultyRow = 0;  // FaultyRow: index in the register table
    int errorCode = 0;          // CannotOpen, WriteFailed: the system error code
};

struct ReportOptions {
    std::function<std::time_t()> clock;   // default: the current time
    // Every cell whole and every row, also one without a company number, and
    // kRecoveryMark after the generator's comment: the tables kept for
    // recovery, not a report to file.
    bool wholeTables = false;
    // With wholeTables: a comment line after kRecoveryMark telling where the
    // recovery journal goes on from.
    std::string recoveryNote;
    // The settings file as already read, for a write on another thread;
    // default: read from `settings`.
    const Profile* profile = nullptr;
    // Asked before each write; false abandons the write (WriteFailed with
    // ECANCELED), the target untouched.
    std::function<bool()> keepWriting;
};

// Writes the report to a temporary file beside `target` and renames it over
// `target` only when complete. A faulty register row is reported in the
// outcome; the tables are only read.
ReportOutcome WriteReport(const std::filesystem::path& target, const RecordTables& tables, const SettingsFile& settings,
                          const ReportOptions& options = {});

// The report's text form of a value: '&', '<', '>' and '"' as entities, and
// each character whose byte would mean another character in ISO-8859-2 as a
// numeric character reference.
void appendEscaped(std::string& out, std::string_view value);

// The most characters of a cell the report holds: a longer one is cut there
// (the tables kept for recovery hold it whole).
std::size_t reportLengthOf(CellLength length);

// The time stamp of the header: local time, "%Y-%m-%dT%H:%M:%S-00:00".
std::string reportStamp(std::time_t moment);

}  // namespace kovirant
