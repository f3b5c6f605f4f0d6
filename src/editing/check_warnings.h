// Warnings for the typos the form rules let through: a check digit that
// fails, a row typed or imported twice, an account number under two tax
// numbers, a company number the company directory contradicts. A warning
// never blocks a save, changes a value or asks a question.
#pragma once

#include <string>
#include <string_view>

#include "editing/account_change_editor.h"
#include "editing/institution_editor.h"
#include "editing/register_entry_editor.h"

namespace kovirant {

inline constexpr std::string_view kWarningPrefix = "Figyelmeztetés: ";
inline constexpr std::string_view kWarnTaxCheckDigit = "Figyelmeztetés: hibás ellenőrző számjegy a törzsszámban";
inline constexpr std::string_view kWarnAccountCheckDigit = "Figyelmeztetés: hibás ellenőrző számjegy a számlaszámban";
inline constexpr std::string_view kWarnOriginalAccountCheckDigit =
    "Figyelmeztetés: hibás ellenőrző számjegy a régi számlaszámban";
inline constexpr std::string_view kWarnNewAccountCheckDigit =
    "Figyelmeztetés: hibás ellenőrző számjegy az új számlaszámban";
inline constexpr std::string_view kWarnBankCodeCheckDigit = "Figyelmeztetés: hibás ellenőrző számjegy a számjelben";

// The first check-digit warning of what is typed in an editor (its fields as
// the editor takes them), or an empty text.
std::string_view typingWarning(const RegisterEntryForm& form);
std::string_view typingWarning(const InstitutionForm& form);
std::string_view typingWarning(const AccountChangeForm& form);

}  // namespace kovirant
