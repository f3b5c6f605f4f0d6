// Helpers shared by the tests: tables over in-memory widgets, rows.
#pragma once

#include <ctime>

#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "records/memory_table.h"
#include "records/record_tables.h"

namespace kovirant {

// The tables, and their stores to read and their marks.
struct TestTables {
    RecordTables tables;
    const MemoryTable& reg = tables.table(ViewRegister);
    const MemoryTable& inst = tables.table(ViewInstitution);
    const MemoryTable& acc = tables.table(ViewAccountChange);
};

inline RegisterEntry registerRow(std::string companyNumber, std::string tax = "12345678",
                                 std::string account = "111111112222222233333333", std::string opening = "2005-03-01",
                                 std::string closing = "", std::string code = "Bejegyzés") {
    return {companyNumber, tax, account, opening, closing, code};
}

// The day the example protocol was made: the examples are within the deadline then.
inline constexpr const char* kExamplesDay = "2026-11-30";

// Noon (local time) of a day "YYYY-MM-DD": a clock for the deadline rule.
std::time_t noonOf(const char* date);

// A fresh empty directory under the system's temporary directory.
std::filesystem::path freshTempDir(const std::string& name);

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

// Every cell of the three tables, for comparing them whole.
using TableRows = std::array<std::vector<std::vector<std::string>>, 3>;
TableRows tableRows(const RecordTables& t);

std::vector<std::string> randomRow(std::mt19937& rng, ViewKind kind);
// One of the six kinds of change the commands make: New, Modify, Delete, an
// appending or replacing import or load, the directory fill.
void randomTableStep(std::mt19937& rng, RecordTables& t);

}  // namespace kovirant
