// The published check-digit rules of the Hungarian identifiers. A number
// that fails one has a mistyped digit (every single wrong digit is caught,
// most swapped neighbours too); the form rules still decide what is stored,
// so a failure is only ever a warning.
#pragma once

#include <string_view>

namespace kovirant {

// Digits weighted 9, 7, 3, 1 repeated from the left; the sum must end in 0.
bool weightedSumEndsInZero(std::string_view digits);

// Each is true only for a complete, all-digit number that fails its rule: an
// incomplete or non-digit number is the form rules' business.
bool taxNumberFailsCheck(std::string_view text);      // 8 digits
bool accountNumberFailsCheck(std::string_view text);  // 24 digits: blocks 1-8 and 9-24
bool bankCodeFailsCheck(std::string_view text);       // 8 digits, as an account's first block

// A digit that makes `prefix` (7 digits for a tax number or bank code, 15 for
// an account block) pass; for making numbers that pass.
char checkDigitFor(std::string_view prefix);

}  // namespace kovirant
