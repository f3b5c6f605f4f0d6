// The editors' validation fed with arbitrary forms: no crash; every record
// a form gives survives Modify mode (record to form to record) unchanged.
#include "editing/account_change_editor.h"
#include "editing/institution_editor.h"
#include "editing/pick_lists.h"
#include "editing/register_entry_editor.h"
#include "fuzz_input.h"
#include "report/data_sheet.h"

using namespace kovirant;

namespace {
std::optional<int> pick(fuzz::Fields& in, int count) {
    const int n = in.number(count + 1);
    if (n == count) return std::nullopt;
    return n;
}
DateParts date(fuzz::Fields& in) { return {in.next(), in.next(), in.next()}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Fields in(data, size);
    const int maxtk = in.number(30), maxcf = in.number(30);

    RegisterEntryForm r{{in.next(), in.next(), in.next()}, in.next(), {in.next(), in.next(), in.next()}, date(in),
                        date(in), pick(in, 5)};
    if (auto v = ValidateRegisterEntry(r, maxtk, maxcf); v.ok()) {
        auto again = ValidateRegisterEntry(registerEntryFormOf(v.record), maxtk, maxcf);
        fuzz::require(again.ok() && again.record == v.record);
    }

    InstitutionForm i;
    i.company = {in.next(), in.next(), in.next()};
    i.taxBaseNumber = in.next();
    i.codeNumber = in.next();
    i.name = in.next();
    i.postalCode = in.next();
    i.place = in.next();
    i.area = in.next();
    i.houseNumber = in.next();
    i.building = in.next();
    i.door = in.next();
    if (auto t = pick(in, 89)) i.areaType = std::string(StreetTypeList()[static_cast<std::size_t>(*t)]);
    i.code = pick(in, 5);
    if (auto v = ValidateInstitutionEntry(i, maxtk); v.ok()) {
        auto again = ValidateInstitutionEntry(institutionFormOf(v.record), maxtk);
        fuzz::require(again.ok() && again.record == v.record);
    }

    AccountChangeForm a{{in.next(), in.next(), in.next()}, in.next(), {in.next(), in.next(), in.next()}, date(in),
                        date(in), {in.next(), in.next(), in.next()}, date(in), date(in)};
    if (auto v = ValidateAccountChangeEntry(a, maxtk, maxcf); v.ok()) {
        auto again = ValidateAccountChangeEntry(accountChangeFormOf(v.record), maxtk, maxcf);
        fuzz::require(again.ok() && again.record == v.record);
    }

    DataSheetForm d;
    for (const DataSheetKey& k : DataSheetKeys())
        if (k.text != nullptr) d.*k.text = in.next();
    d.jelleg = pick(in, 89);
    d.szint = pick(in, 72);
    (void)checkDataSheet(d, maxtk, maxcf);
    return 0;
}
