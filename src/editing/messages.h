// Messages that the editing rules share with the report writer.
#pragma once

#include <string_view>

namespace kovirant {

// A register row without its 10-digit company number stops the report; the
// row check names the same fault.
inline constexpr std::string_view kMsgFaultyRow = "Hibás cégszám a kiemelt sorban!";

}  // namespace kovirant
