// Reads a report written earlier back into the three record tables.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_tables.h"

namespace kovirant {

inline constexpr std::string_view kMsgFileOpenFailed = "Rendszerhiba (file megnyitása)";

inline constexpr std::string_view kReportRootElement = "PénzintézetiJelentés";

enum class ReloadStatus {
    Completed,   // a whole report, read to its end
    CannotOpen,  // "Rendszerhiba (file megnyitása)"
    NotAReport,  // its root element is another (or it has none); what its lines gave is appended
    Incomplete,  // a report that ends before its root's end tag (cut short)
    ReadFailed,  // a read failed part-way
};

// Like the APEH import's and the writer's outcome: a status, what was done,
// the system's error code.
struct ReloadOutcome {
    ReloadStatus status = ReloadStatus::Completed;
    std::size_t rowsAppended = 0;
    int errorCode = 0;
    long long lines = 0;  // the file's lines read (where an incomplete one stopped)
    std::string root;     // NotAReport: the root element's name as the file has it
};

// Lines are read in pieces of this many characters at most: every line the
// writer produces fits whole, even a 511-character value made of character
// references, while a huge line costs bounded memory.
inline constexpr std::size_t kReloadPieceMax = 65534;

struct ReloadOptions {
    // Appends a register or institution record also when its company number
    // is empty (the tables kept for recovery hold such rows).
    bool everyRecord = false;
    // When given, the file line on which each appended row's record starts,
    // per table (for the console program's findings).
    std::array<std::vector<std::uint32_t>*, kViewKindCount> rowLines{};
};

// Where a reload's rows go when not into the tables (the account history
// keeps them its own way): each row's cells by its table's columns, as the
// tables would take them, in the report's order.
class ReloadRowSink {
public:
    virtual void row(ViewKind kind, std::span<const std::string> cells) = 0;

protected:
    ~ReloadRowSink() = default;
};

ReloadOutcome ReloadReport(const std::filesystem::path& path, RecordTables& tables, const ReloadOptions& options = {});
// The same over an open stream.
ReloadOutcome ReloadReportStream(std::FILE* file, RecordTables& tables, const ReloadOptions& options = {});
// The same over a report's bytes in memory (Windows-1250).
ReloadOutcome ReloadReportBytes(std::string_view bytes, RecordTables& tables, const ReloadOptions& options = {});
ReloadOutcome ReloadReportBytes(std::string_view bytes, ReloadRowSink& sink, const ReloadOptions& options = {});

// Undoes the report's escaping: the five predefined entities and numeric
// character references back to Windows-1250; a '&' that starts no known
// reference stays as it is.
void appendUnescaped(std::string& out, std::string_view text);

}  // namespace kovirant
