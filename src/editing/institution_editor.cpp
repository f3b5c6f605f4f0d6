#include "editing/institution_editor.h"

#include "editing/pick_lists.h"
#include "text/format.h"

namespace kovirant {

EditResult<InstitutionEntry> ValidateInstitutionEntry(const InstitutionForm& f, int maxtk) {
    using R = InstitutionEntry;
    using namespace InstitutionCol;
    const CompanyNumberParts company = cutToFields(f.company);
    EditResult<R> out;
    R& r = out.record;
    r[taxBaseNumber] = cut(f.taxBaseNumber, kFieldMax);
    r[name] = cut(f.name, kFieldMax);
    r[postalCode] = cut(f.postalCode, kFieldMax);
    r[place] = cut(f.place, kFieldMax);
    r[area] = cut(f.area, kFieldMax);
    r[houseNumber] = cut(f.houseNumber, kFieldMax);
    r[building] = cut(f.building, kFieldMax);
    r[door] = cut(f.door, kFieldMax);
    r[codeNumber] = cut(f.codeNumber, kFieldMax);

    if (!CheckAreaCode(company.areaCode, maxtk)) return fail<R>("Hibás cégszám (területi kód)!");
    if (!CheckInstitutionFormCode(company.formCode))
        return fail<R>(
            "A cégforma (harmadik és negyedik számjegy) csak 02 (szövetkezet), 10 (részvénytársaság), 17 (külföldi "
            "vállalkozás magyarországi fióktelepe), vagy 20 (európai részvénytársaság) lehet!",
            kCaptionInstitutionCompany);
    const auto codes = CodeList();
    if (!f.code || *f.code < 0 || *f.code >= static_cast<int>(codes.size()))
        return fail<R>("Kérem, válasszon műveleti kódot!");
    r[operationCode] = codes[static_cast<std::size_t>(*f.code)];
    if (f.areaType) r[areaType] = cut(*f.areaType, kFieldMax);
    r[companyNumber] = joinCompanyNumber(company);
    if (r[companyNumber].size() < kCompanyNumberLength) return fail<R>("Hibás cégszám!");
    if (r[taxBaseNumber].size() < kTaxBaseLength) return fail<R>("Hibás törzsszám!");
    if (r[codeNumber].size() != kCodeNumberLength) return fail<R>("Hibás számjel!", kCaptionInstitutionBankCode);
    if (r[name].empty()) return fail<R>("Hiányzó név!");
    if (r[postalCode].empty()) return fail<R>("Hiányzó irányítószám!");
    if (r[place].empty()) return fail<R>("Hiányzó helységnév!");
    if (r[area].empty()) return fail<R>("Hiányzó területnév!");
    if (r[areaType].empty()) return fail<R>("Hiányzik a terület jellege!");
    if (r[houseNumber].empty()) return fail<R>("Hiányzó házszám!");
    return out;
}

InstitutionForm institutionFormOf(const InstitutionEntry& r) {
    using namespace InstitutionCol;
    InstitutionForm f;
    f.company = SplitCompanyNumberByPosition(r[companyNumber]);
    f.taxBaseNumber = r[taxBaseNumber];
    f.codeNumber = r[codeNumber];
    f.name = r[name];
    f.postalCode = r[postalCode];
    f.place = r[place];
    f.area = r[area];
    f.houseNumber = r[houseNumber];
    f.building = r[building];
    f.door = r[door];
    if (lastEqualEntry(StreetTypeList(), r[areaType])) f.areaType = r[areaType];
    if (auto i = lastEqualEntry(CodeList(), r[operationCode])) f.code = *i;
    return f;
}

}  // namespace kovirant
