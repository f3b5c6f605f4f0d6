// The formatting and numeric-reading conventions of the program's texts.
#pragma once

#include <string>
#include <string_view>

namespace kovirant {

// Longest text a record field, cell or settings value holds.
inline constexpr std::size_t kFieldMax = 511;

// "%0Ns" with a text argument: the text right-aligned in a field of `width`
// characters, filled on the left with '0'; a longer text is used whole.
void appendZeroPad(std::string& out, std::string_view text, std::size_t width);

// Decimal value of a text: leading blanks skipped, an optional sign, then
// digits up to the first other character; 0 without digits. A value beyond
// the int range saturates at INT_MAX or INT_MIN.
int readNumber(std::string_view text);

// "%0Nd" of an int.
std::string zeroPadNumber(long long value, int width);

// The first `max` characters of a text.
inline std::string_view cut(std::string_view text, std::size_t max) {
    return text.size() > max ? text.substr(0, max) : text;
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool allDigits(std::string_view text) {
    for (char c : text)
        if (!isDigit(c)) return false;
    return true;
}

}  // namespace kovirant
