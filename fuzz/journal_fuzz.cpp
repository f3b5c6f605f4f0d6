// The recovery journal's reader fed with arbitrary files: no crash, no
// overflow; records lie inside the file; a journal cut after the records it
// read (also those before damage) reads the same and whole; a record that
// does not fit the tables leaves them as they were; replay keeps every cell a
// cell.
#include <string>

#include "fuzz_input.h"
#include "records/memory_table.h"
#include "recovery/change_journal.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const JournalContents j = parseJournal(bytes);
    fuzz::require(j.completeBytes <= size);
    fuzz::require(j.status == JournalStatus::Read || j.status == JournalStatus::Damaged);
    fuzz::require(j.status == JournalStatus::Damaged || j.lostRecords == 0);
    const JournalContents cut = parseJournal(bytes.substr(0, j.completeBytes));
    fuzz::require(cut.status == JournalStatus::Read && cut.records.size() == j.records.size() && !cut.lastUnreadable);
    MemoryTable reg(ViewRegister), inst(ViewInstitution), acc(ViewAccountChange);
    RecordTables tables(reg, inst, acc);
    for (const JournalRecord& r : j.records) {
        fuzz::require(r.payload.data() >= j.bytes.data() &&
                      r.payload.data() + r.payload.size() <= j.bytes.data() + j.bytes.size());
        const std::size_t before[3] = {reg.rowCount(), inst.rowCount(), acc.rowCount()};
        if (!applyJournalRecord(r.payload, tables)) {
            fuzz::require(reg.rowCount() == before[0] && inst.rowCount() == before[1] && acc.rowCount() == before[2]);
            break;
        }
    }
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange})
        for (std::size_t r = 0; r < tables.table(k).rowCount(); ++r)
            for (std::size_t c = 0; c < columnCount(k); ++c)
                fuzz::require(tables.table(k).cell(r, c).find('\0') == std::string_view::npos);
    return 0;
}
