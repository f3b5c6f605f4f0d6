// The legal deadline: a bank reports an account's opening or closing within
// a number of days (8 unless the settings say otherwise). The check warns
// about a row reported later than that and about a date in the future.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kovirant {

inline constexpr int kDefaultDeadlineDays = 8;
inline constexpr int kMaxDeadlineDays = 365;

// A calendar day as a count of days since 1970-01-01.
using DayNumber = std::int32_t;

// The day of a valid "YYYY-MM-DD", or nothing.
std::optional<DayNumber> dayNumber(std::string_view date);
// "YYYY-MM-DD" of a day.
std::string dateOfDay(DayNumber day);
// The local date of a moment.
DayNumber localDay(std::time_t moment);

}  // namespace kovirant
