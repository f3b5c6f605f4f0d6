// The report reload and the recovery reader fed with arbitrary files: no
// crash, no overflow, and no cell longer than a cell may be.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "fuzz_input.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "recovery/recovery_file.h"
#include "report/report_writer.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr) return 0;
    MemoryTable reg(ViewRegister), inst(ViewInstitution), acc(ViewAccountChange);
    RecordTables tables(reg, inst, acc);
    // A file with the recovery mark is loaded by hand with every record.
    const bool marked = std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 512))
                            .find(kRecoveryMark) != std::string_view::npos;
    const std::size_t appended = ReloadReportStream(f, tables, ReloadOptions{marked}).rowsAppended;
    std::rewind(f);
    const RecoveredRows recovered = readRecoveryStream(f);
    std::fclose(f);
    fuzz::require(recovered.status == RecoveryStatus::Read || recovered.rows() == 0);
    for (ViewKind kind : kAllKinds)
        for (std::size_t r = 0; r < recovered[kind].rowCount(); ++r)
            for (std::size_t c = 0; c < columnCount(kind); ++c) fuzz::require(recovered[kind].cell(r, c).size() <= 65534);
    fuzz::require(appended == reg.rowCount() + inst.rowCount() + acc.rowCount());
    for (ViewKind k : kAllKinds)
        for (std::size_t r = 0; r < tables.table(k).rowCount(); ++r)
            for (std::size_t c = 0; c < columnCount(k); ++c) fuzz::require(tables.cell(k, r, c).size() <= 511);
    return 0;
}
