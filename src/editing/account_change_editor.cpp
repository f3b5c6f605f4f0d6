#include "editing/account_change_editor.h"

#include "text/format.h"

namespace kovirant {
namespace {

bool validComplete(const DateParts& d) { return isDateComplete(d) && IsValidDate(d); }

}  // namespace

EditResult<AccountChangeEntry> ValidateAccountChangeEntry(const AccountChangeForm& f, int maxtk, int maxcf) {
    using R = AccountChangeEntry;
    using namespace AccountChangeCol;
    const CompanyNumberParts company = cutToFields(f.company);
    const DateParts origOpen = cutToFields(f.originalOpening);
    const DateParts origClose = cutToFields(f.originalClosing);
    const DateParts newOpen = cutToFields(f.newOpening);
    const DateParts newClose = cutToFields(f.newClosing);

    EditResult<R> out;
    R& r = out.record;
    r[taxBaseNumber] = cut(f.taxBaseNumber, kFieldMax);
    r[companyNumber] = joinCompanyNumber(company);
    r[originalAccountNumber] = joinAccountNumber(cutToFields(f.originalAccount));
    r[newAccountNumber] = joinAccountNumber(cutToFields(f.newAccount));
    r[originalOpeningDate] = joinDate(origOpen);
    r[newOpeningDate] = joinDate(newOpen);

    if (!r[companyNumber].empty()) {
        if (!CheckAreaCode(company.areaCode, maxtk)) return fail<R>("Hibás cégszám (területi kód)!");
        if (!CheckFormCode(company.formCode, maxcf)) return fail<R>("Hibás cégszám (cégforma kód)!");
        if (r[companyNumber].size() != kCompanyNumberLength) return fail<R>("Hibás cégszám!");
        if (r[taxBaseNumber].size() != kTaxBaseLength) return fail<R>("Hibás törzsszám!");
    }
    if (r[taxBaseNumber].size() != kTaxBaseLength) return fail<R>("Hibás törzsszám");
    if (!validComplete(origOpen)) return fail<R>("Hibás régi nyitás dátum");
    if (!validComplete(newOpen)) return fail<R>("Hibás új nyitás dátum");
    if (!validComplete(origClose)) return fail<R>("Hibás régi zárás dátum");
    // A closing date is present when any of its parts holds text.
    const bool newClosePresent = !(newClose.year.empty() && newClose.month.empty() && newClose.day.empty());
    if (newClosePresent && !validComplete(newClose)) return fail<R>("Hibás új zárás dátum");
    if (r[originalAccountNumber].size() != kAccountNumberLength) return fail<R>("Hibás régi jelzőszám");
    if (r[newAccountNumber].size() != kAccountNumberLength) return fail<R>("Hibás új jelzőszám");
    if (DateKey(origOpen) > DateKey(origClose)) return fail<R>("A régi zárás dátuma korábbi mint a nyitásé!");
    if (newClosePresent && DateKey(newOpen) > DateKey(newClose))
        return fail<R>("Az új zárás dátuma korábbi mint a nyitásé!");
    if (DateKey(origOpen) > DateKey(newOpen)) return fail<R>("Az új nyitás dátuma korábbi mint a régi nyitásé!");
    r[originalClosingDate] = joinDate(origClose);
    r[newClosingDate] = newClosePresent ? joinDate(newClose) : std::string();
    return out;
}

AccountChangeForm accountChangeFormOf(const AccountChangeEntry& r) {
    using namespace AccountChangeCol;
    AccountChangeForm f;
    f.company = SplitCompanyNumber(r[companyNumber]);
    f.taxBaseNumber = r[taxBaseNumber];
    f.originalAccount = SplitAccountNumber(r[originalAccountNumber]);
    f.originalOpening = SplitDate(r[originalOpeningDate]);
    f.originalClosing = SplitDate(r[originalClosingDate]);
    f.newAccount = SplitAccountNumber(r[newAccountNumber]);
    f.newOpening = SplitDate(r[newOpeningDate]);
    f.newClosing = SplitDate(r[newClosingDate]);
    return f;
}

}  // namespace kovirant
