// The report writer fed with arbitrary cells and settings: no crash; the
// escaping undoes exactly (control characters come back as blanks); a written report reads back as many rows.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "fuzz_input.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "report/report_writer.h"

using namespace kovirant;

namespace {
std::filesystem::path workDir() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path d = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        d /= "kovirant-writer-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Fields in(data, size);
    {
        std::ofstream ini(workDir() / "Kovirant.ini", std::ios::binary);
        ini << in.next();
    }
    MemoryTable reg(ViewRegister), inst(ViewInstitution), acc(ViewAccountChange);
    RecordTables tables(reg, inst, acc);
    for (int rows = 0; in.more() && rows < 64; ++rows) {
        const ViewKind kind = static_cast<ViewKind>(in.number(3));
        std::array<std::string, 12> cells;
        for (std::size_t c = 0; c < columnCount(kind); ++c) {
            cells[c] = in.next();
            cells[c].resize(std::strlen(cells[c].c_str()));  // a cell ends at a NUL byte
            std::string escaped, back;
            appendEscaped(escaped, cells[c]);
            appendUnescaped(back, escaped);
            std::string expected = cells[c];  // control characters but tab become blanks
            for (char& ch : expected)
                if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t') ch = ' ';
            fuzz::require(back == expected);
        }
        tables.appendRow(kind, std::span<const std::string>(cells.data(), columnCount(kind)));
    }
    ReportOptions options;
    options.clock = [] { return static_cast<std::time_t>(0); };
    const ReportOutcome out = WriteReport(workDir() / "out.xml", tables, SettingsFile(workDir() / "Kovirant.ini"), options);
    if (out.status == ReportStatus::Written) {
        MemoryTable r2(RegisterCol::count, true), i2(InstitutionCol::count, false), a2(AccountChangeCol::count, false);
        RecordTables back(r2, i2, a2);
        ReloadReport(workDir() / "out.xml", back);
        fuzz::require(r2.rowCount() == reg.rowCount());
        fuzz::require(a2.rowCount() == acc.rowCount());
    }
    return 0;
}
