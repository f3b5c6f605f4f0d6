// Import of the tax authority's (APEH) fixed-width protocol file into the
// register table.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/record_tables.h"

namespace kovirant {

inline constexpr std::size_t kApehLineLength = 216;
// Where a protocol line's fields lie: (position, length).
namespace apeh_field {
inline constexpr std::size_t kTaxAt = 6, kTaxLength = 8;
inline constexpr std::size_t kAccountAt = 17, kAccountLength = 24;
inline constexpr std::size_t kAccountDigits = 16;  // a 16-digit account ends in eight blanks
inline constexpr std::size_t kDateAt = 41, kDateLength = 6;  // YYMMDD
inline constexpr std::size_t kCodeAt = 215;
}  // namespace apeh_field

enum class ApehStatus {
    Completed,   // every line read
    Stopped,     // the user answered No to a question
    CannotOpen,  // "Rendszerhiba (file megnyitása)"
    ReadFailed,  // a read failed part-way: the rows before it are appended
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

// A malformed line as the console program is told of it.
struct ApehLineFault {
    std::string_view fault;  // the first failing check, without the line or the question
    long long line = 0;      // as the window counts: each piece of a long line counts
    long long fileLine = 0;  // the file's own line, from 1
    bool blank = false;      // nothing before the line end
};
// True skips the line, false stops the import.
using ApehFaultHandler = std::function<bool(const ApehLineFault& fault)>;

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehQuestion& ask);
// The same over an open stream (read from where it stands).
ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehQuestion& ask);
// The same for the console program: `rowLines`, when given, gets the file
// line of each row appended.
ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehFaultHandler& handle,
                           std::vector<std::uint32_t>* rowLines = nullptr);

// The checks of one line (already cut at its first CR or LF). Fills `entry`
// and returns nothing when the line is accepted, otherwise the first failing
// check's text ("A sor nem 216 karakter hosszú").
std::optional<std::string_view> checkApehLine(std::string_view line, RegisterEntry& entry);
// The window's question about line `lineNumber`: "<fault>: N. sor. Folytatja ?".
std::string apehQuestion(std::string_view fault, long long lineNumber);

}  // namespace kovirant
