// The account-change editor's logic: its form, validation and Modify-mode
// filling.
#pragma once

#include <string>

#include "editing/editor_result.h"
#include "editing/rules.h"
#include "records/record_kinds.h"

namespace kovirant {

struct AccountChangeForm {
    CompanyNumberParts company;  // limits 2, 2, 6; may stay empty
    std::string taxBaseNumber;   // taken whole
    AccountNumberParts originalAccount;
    DateParts originalOpening;
    DateParts originalClosing;
    AccountNumberParts newAccount;
    DateParts newOpening;
    DateParts newClosing;  // optional
};

EditResult<AccountChangeEntry> ValidateAccountChangeEntry(const AccountChangeForm& form, int maxtk, int maxcf);

AccountChangeForm accountChangeFormOf(const AccountChangeEntry& record);

}  // namespace kovirant
