#include "editing/register_entry_editor.h"

#include "editing/pick_lists.h"
#include "text/format.h"

namespace kovirant {
EditResult<RegisterEntry> ValidateRegisterEntry(const RegisterEntryForm& f, int maxtk, int maxcf) {
    using R = RegisterEntry;
    const CompanyNumberParts company = cutToFields(f.company);
    const AccountNumberParts account = cutToFields(f.account);
    const DateParts opening = cutToFields(f.opening);
    const DateParts closing = cutToFields(f.closing);

    EditResult<R> out;
    R& r = out.record;
    r[RegisterCol::taxBaseNumber] = std::string(cut(f.taxBaseNumber, kFieldMax));

    if (!CheckAreaCode(company.areaCode, maxtk)) return fail<R>("Hibás cégszám (területi kód)");
    if (!CheckFormCode(company.formCode, maxcf)) return fail<R>("Hibás cégszám (cégforma kód)");
    const auto codes = CodeList();
    if (!f.code || *f.code < 0 || *f.code >= static_cast<int>(codes.size()))
        return fail<R>("Kérem, válasszon számlaszám kódot!");
    r[RegisterCol::accountCode] = std::string(codes[static_cast<std::size_t>(*f.code)]);
    r[RegisterCol::companyNumber] = joinCompanyNumber(company);
    r[RegisterCol::accountNumber] = joinAccountNumber(account);
    if (!isDateComplete(opening) || !IsValidDate(opening)) return fail<R>("Hibás nyitás dátum");
    r[RegisterCol::openingDate] = joinDate(opening);
    // A partly typed closing date counts as none.
    if (isDateComplete(closing)) r[RegisterCol::closingDate] = joinDate(closing);
    if (r[RegisterCol::companyNumber].size() < kCompanyNumberLength) return fail<R>("Hibás cégszám");
    if (r[RegisterCol::taxBaseNumber].size() < kTaxBaseLength) return fail<R>("Hibás törzsszám");
    if (r[RegisterCol::accountNumber].size() < kAccountNumberLength) return fail<R>("Hibás jelzőszám");
    const bool hasClosing = !r[RegisterCol::closingDate].empty();
    if (*f.code == kCodeTorles && !hasClosing) return fail<R>("Kérem, adja meg a zárás dátumát!");
    if (*f.code == kCodeBejegyzes && hasClosing) return fail<R>("Bejegyzéshez ne adjon meg záró dátumot!");
    if (!hasClosing) return out;
    if (!IsValidDate(closing)) return fail<R>("Hibás zárás dátum!");
    if (DateKey(opening) > DateKey(closing)) return fail<R>("A zárás dátuma korábbi mint a nyitásé!");
    return out;
}

RegisterEntryForm registerEntryFormOf(const RegisterEntry& r) {
    RegisterEntryForm f;
    f.company = SplitCompanyNumber(r[RegisterCol::companyNumber]);
    f.taxBaseNumber = r[RegisterCol::taxBaseNumber];
    f.account = SplitAccountNumber(r[RegisterCol::accountNumber]);
    f.opening = SplitDate(r[RegisterCol::openingDate]);
    f.closing = SplitDate(r[RegisterCol::closingDate]);
    if (auto i = lastEqualEntry(CodeList(), r[RegisterCol::accountCode])) f.code = *i;
    return f;
}

}  // namespace kovirant
