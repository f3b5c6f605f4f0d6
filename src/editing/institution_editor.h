// The institution editor's logic: its form, validation and Modify-mode
// filling.
#pragma once

#include <optional>
#include <string>

#include "editing/editor_result.h"
#include "editing/rules.h"
#include "records/record_kinds.h"

namespace kovirant {

inline constexpr std::string_view kCaptionInstitutionCompany = "Hiba - Pénzintézet cégszáma";
inline constexpr std::string_view kCaptionInstitutionBankCode = "Hiba - Pénzintézet számjele";

struct InstitutionForm {
    CompanyNumberParts company;  // limits 2, 2, 6
    std::string taxBaseNumber;   // every other field taken whole
    std::string codeNumber;
    std::string name;
    std::string postalCode;
    std::string place;
    std::string area;
    std::string houseNumber;
    std::string building;
    std::string door;
    // The text of the selected "Jelleg" entry (the list box sorts itself, so
    // its text rather than its position identifies it).
    std::optional<std::string> areaType;
    std::optional<int> code;  // selected CodeList entry
};

EditResult<InstitutionEntry> ValidateInstitutionEntry(const InstitutionForm& form, int maxtk);

InstitutionForm institutionFormOf(const InstitutionEntry& record);

}  // namespace kovirant
