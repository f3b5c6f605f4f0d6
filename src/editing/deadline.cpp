#include "editing/deadline.h"

#include <cstdio>

#include "editing/rules.h"  // kDateLength

namespace kovirant {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
DayNumber daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int digit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

}  // namespace

std::optional<DayNumber> dayNumber(std::string_view s) {
    if (s.size() != kDateLength || s[4] != '-' || s[7] != '-') return std::nullopt;
    int v[8];
    const std::size_t at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i)
        if ((v[i] = digit(s[at[i]])) < 0) return std::nullopt;
    const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], m = v[4] * 10 + v[5], d = v[6] * 10 + v[7];
    // The editors' calendar rule (IsValidDate), without building its parts.
    static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y == 0 || m < 1 || m > 12 || d < 1 || d > kLength[m - 1] + (m == 2 && leap ? 1 : 0)) return std::nullopt;
    return daysFromCivil(y, m, d);
}

std::string dateOfDay(DayNumber z) {
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp + (mp < 10 ? 3 : -9);
    const int y = yoe + era * 400 + (m <= 2);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

DayNumber localDay(std::time_t moment) {
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &moment);
#else
    localtime_r(&moment, &t);
#endif
    return daysFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

}  // namespace kovirant
