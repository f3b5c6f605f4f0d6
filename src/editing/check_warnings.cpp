#include "editing/check_warnings.h"

#include "editing/check_digits.h"
#include "text/format.h"

namespace kovirant {
namespace {

std::string fieldText(const std::string& typed, int length) { return std::string(cut(typed, static_cast<std::size_t>(length))); }

}  // namespace

std::string_view typingWarning(const RegisterEntryForm& f) {
    if (taxNumberFailsCheck(fieldText(f.taxBaseNumber, kTaxBaseLength))) return kWarnTaxCheckDigit;
    if (accountNumberFailsCheck(joinAccountNumber(cutToFields(f.account)))) return kWarnAccountCheckDigit;
    return {};
}

std::string_view typingWarning(const InstitutionForm& f) {
    if (taxNumberFailsCheck(fieldText(f.taxBaseNumber, kTaxBaseLength))) return kWarnTaxCheckDigit;
    if (bankCodeFailsCheck(fieldText(f.codeNumber, kCodeNumberLength))) return kWarnBankCodeCheckDigit;
    return {};
}

std::string_view typingWarning(const AccountChangeForm& f) {
    if (taxNumberFailsCheck(fieldText(f.taxBaseNumber, kTaxBaseLength))) return kWarnTaxCheckDigit;
    if (accountNumberFailsCheck(joinAccountNumber(cutToFields(f.originalAccount))))
        return kWarnOriginalAccountCheckDigit;
    if (accountNumberFailsCheck(joinAccountNumber(cutToFields(f.newAccount)))) return kWarnNewAccountCheckDigit;
    return {};
}

}  // namespace kovirant
