// The register entry editor's logic: its form, validation and Modify-mode
// filling.
#pragma once

#include <optional>
#include <string>

#include "editing/editor_result.h"
#include "editing/rules.h"
#include "records/record_kinds.h"

namespace kovirant {

// What the dialog's controls hold.
struct RegisterEntryForm {
    CompanyNumberParts company;  // limits 2, 2, 6
    std::string taxBaseNumber;   // taken whole
    AccountNumberParts account;  // limits 8, 8, 8
    DateParts opening;           // limits 4, 2, 2
    DateParts closing;
    std::optional<int> code;     // selected CodeList entry
};

EditResult<RegisterEntry> ValidateRegisterEntry(const RegisterEntryForm& form, int maxtk, int maxcf);

// The form of a stored row, as Modify mode opens it.
RegisterEntryForm registerEntryFormOf(const RegisterEntry& record);

}  // namespace kovirant
