// The APEH import fed with arbitrary files: no crash, and every row it
// appends has the shape the protocol's checks promise.
#include <cstdio>

#include "fuzz_input.h"
#include "import/apeh_import.h"
#include "records/memory_table.h"
#include "text/format.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr) return 0;
    MemoryTable reg(ViewRegister), inst(ViewInstitution), acc(ViewAccountChange);
    RecordTables tables(reg, inst, acc);
    int asked = 0;
    // Yes to every question but each seventh.
    ImportApehStream(f, tables, [&](const std::string&) { return ++asked % 7 != 0; });
    std::fclose(f);
    for (std::size_t r = 0; r < reg.rowCount(); ++r) {
        fuzz::require(reg.cell(r, RegisterCol::companyNumber).empty());
        fuzz::require(reg.cell(r, RegisterCol::taxBaseNumber).size() == 8 && allDigits(reg.cell(r, RegisterCol::taxBaseNumber)));
        fuzz::require(reg.cell(r, RegisterCol::accountNumber).size() == 24 && allDigits(reg.cell(r, RegisterCol::accountNumber)));
        const bool opening = !reg.cell(r, RegisterCol::openingDate).empty();
        const bool closing = !reg.cell(r, RegisterCol::closingDate).empty();
        fuzz::require(opening != closing);
    }
    return 0;
}
