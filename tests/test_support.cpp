#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kovirant {

namespace {
// The test program's scratch folders go when it ends, unless
// KOVIRANT_KEEP_TEST_DIRS is set to look at them. Only the process that made
// the folder removes it: a forked child's exit leaves its parent's alone.
struct TempRoot {
    pid_t owner = 0;
    std::filesystem::path path;
    ~TempRoot() {
        if (owner != ::getpid() || std::getenv("KOVIRANT_KEEP_TEST_DIRS")) return;
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
} tempRoot;
}  // namespace

std::filesystem::path freshTempDir(const std::string& name) {
    if (tempRoot.owner != ::getpid()) {
        tempRoot.owner = ::getpid();
        tempRoot.path = std::filesystem::temp_directory_path() / ("kovirant-test-" + std::to_string(::getpid()));
    }
    auto dir = tempRoot.path / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

TableRows tableRows(const RecordTables& t) {
    TableRows s;
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) {
        const MemoryTable& w = t.table(k);
        for (std::size_t r = 0; r < w.rowCount(); ++r) {
            s[k].emplace_back();
            for (std::size_t c = 0; c < columnCount(k); ++c) s[k].back().emplace_back(w.cell(r, c));
        }
    }
    return s;
}

std::vector<std::string> randomRow(std::mt19937& rng, ViewKind kind) {
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<std::string> row(columnCount(kind));
    for (std::string& cell : row)
        if (pick(rng) < 7) cell = std::to_string(rng() % 1000) + (pick(rng) == 0 ? "őű" : "");
    return row;
}

void randomTableStep(std::mt19937& rng, RecordTables& t) {
    const auto kind = static_cast<ViewKind>(rng() % 3);
    const std::size_t rows = t.table(kind).rowCount();
    switch (rng() % 6) {
        case 0: t.appendRow(kind, randomRow(rng, kind)); break;  // an editor's New
        case 1:                                                   // an editor's Modify
            if (rows > 0) t.writeRow(kind, rng() % rows, randomRow(rng, kind));
            break;
        case 2:  // Delete
            if (rows > 0) {
                t.CurrentView = kind;
                t.clearSelection();
                t.marks(kind).setState(rng() % rows, {true, true});
                t.deleteSelectedRow();
            }
            break;
        case 3:  // a protocol import, appending or replacing
        case 4:  // a report load, appending or replacing
            if (rng() % 2)
                for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) t.clearTable(k);
            for (int n = static_cast<int>(rng() % 5); n > 0; --n) {
                const ViewKind into = rng() % 4 == 0 ? ViewAccountChange : ViewRegister;
                t.appendRow(into, randomRow(rng, into));
            }
            break;
        case 5:  // the directory fill: empty company numbers filled
            for (std::size_t r = 0; r < t.table(ViewRegister).rowCount(); ++r)
                if (t.cell(ViewRegister, r, RegisterCol::companyNumber).empty() && rng() % 2)
                    t.writeCell(ViewRegister, r, RegisterCol::companyNumber, "0109" + std::to_string(r));
            break;
    }
}

std::time_t noonOf(const char* date) {
    std::tm t{};
    std::sscanf(date, "%d-%d-%d", &t.tm_year, &t.tm_mon, &t.tm_mday);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace kovirant
