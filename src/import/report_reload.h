// Reads a report written earlier back into the three record tables.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "records/record_tables.h"

namespace kovirant {

inline constexpr std::string_view kMsgFileOpenFailed = "Rendszerhiba (file megnyitása)";

enum class ReloadStatus {
    Completed,   // the file was read to its end
    CannotOpen,  // "Rendszerhiba (file megnyitása)"
};

// Like the APEH import's and the writer's outcome: a status, what was done,
// the system's error code.
struct ReloadOutcome {
    ReloadStatus status = ReloadStatus::Completed;
    std::size_t rowsAppended = 0;
    int errorCode = 0;
};

// Lines are read in pieces of this many characters at most: every line the
// writer produces fits whole, even a 511-character value made of character
// references, while a huge line costs bounded memory.
inline constexpr std::size_t kReloadPieceMax = 65534;

struct ReloadOptions {
    // Appends a register or institution record also when its company number
    // is empty (the tables kept for recovery hold such rows).
    bool everyRecord = false;
};

ReloadOutcome ReloadReport(const std::filesystem::path& path, RecordTables& tables, const ReloadOptions& options = {});
// The same over an open stream (read to its end: Completed).
ReloadOutcome ReloadReportStream(std::FILE* file, RecordTables& tables, const ReloadOptions& options = {});

// Undoes the report's escaping: the five predefined entities and numeric
// character references back to Windows-1250; a '&' that starts no known
// reference stays as it is.
void appendUnescaped(std::string& out, std::string_view text);

}  // namespace kovirant
