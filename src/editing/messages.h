// Messages that the editing rules share with the report writer.
#pragma once

#include <string_view>

namespace kovirant {

// A register row without its 10-digit company number stops the report; the
// row check names the same fault.
inline constexpr std::string_view kMsgFaultyRow = "Hibás cégszám a kiemelt sorban!";

// The check's fault for a row whose company number is empty (the editor
// would say "Hibás cégszám (területi kód)", which reads as a wrong area code).
inline constexpr std::string_view kMsgMissingCompanyNumber = "Hiányzik a cégszám";

}  // namespace kovirant
