// Import of the tax authority's (APEH) fixed-width protocol file into the
// register table.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "records/record_tables.h"

namespace kovirant {

inline constexpr std::size_t kApehLineLength = 216;

enum class ApehStatus {
    Completed,   // every line read
    Stopped,     // the user answered No to a question
    CannotOpen,  // "Rendszerhiba (file megnyitása)"
};

struct ApehOutcome {
    ApehStatus status = ApehStatus::Completed;
    long long lines = 0;          // lines read, the skipped ones included
    std::size_t rowsAppended = 0;
    int errorCode = 0;
};

// Asks a Yes/No question about a malformed line; true (Yes) skips the line,
// false (No) stops the import.
using ApehQuestion = std::function<bool(const std::string& message)>;
// The same, told the number of the line it is about.
using ApehLineQuestion = std::function<bool(const std::string& message, long long lineNumber)>;

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehQuestion& ask);
ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehLineQuestion& ask);
// The same over an open stream (read from where it stands).
ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehQuestion& ask);
ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehLineQuestion& ask);

// The checks of one line (already cut at its first CR or LF). Fills `entry`
// and returns nothing when the line is accepted, otherwise the question for
// line `lineNumber`.
std::optional<std::string> checkApehLine(std::string_view line, long long lineNumber, RegisterEntry& entry);

}  // namespace kovirant
