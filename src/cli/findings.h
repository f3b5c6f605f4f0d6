// What the console program found, printed as compilers print their
// diagnostics, or as one JSON document.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "records/record_kinds.h"

namespace kovirant::cli {

// All text UTF-8 (a path keeps its own bytes). A finding names a file and
// its line, a table row, or both: a row that came from a file.
struct Finding {
    std::string file;        // the file's path, or empty
    long long line = 0;      // its line, from 1; 0: the whole file
    std::string table;       // the table's name, or empty
    long long row = 0;       // the row, from 1
    std::string taxNumber;
    bool warning = false;    // "figyelmeztetés"; else "hiba"
    bool difference = false; // "eltérés": the registry's list and the bank's side disagree
    std::string message;
};

struct Summary {
    std::optional<std::string> written;  // the report's path
    kovirant::PerKind<std::size_t> rows{};  // register, institution, account change
    std::size_t filled = 0;              // company numbers filled from the directory
    std::size_t late = 0;                // rows past the reporting deadline
    std::size_t fromHistory = 0;         // company numbers filled from the archive's history
    std::size_t openings = 0;            // closings' opening dates filled from it
};

// A finding at a time, for output too large to hold: its text line
// ("FILE:LINE: hiba: message", else "TABLE:ROW: ..."), or the JSON document's head, one finding
// (after `count` earlier ones) and tail.
void appendText(std::string& out, const Finding& f);
std::string jsonHead(const Summary& summary);
void appendJson(std::string& out, const Finding& f, std::size_t count);
std::string jsonTail(std::size_t count);
// A string as a JSON string literal; a byte that is not UTF-8 becomes U+FFFD.
std::string jsonString(std::string_view utf8);

// A path as the UTF-8 the console prints, and the program's Windows-1250 text as UTF-8.
std::string pathText(const std::filesystem::path& p);
std::string utf8(std::string_view cp1250);

}  // namespace kovirant::cli
