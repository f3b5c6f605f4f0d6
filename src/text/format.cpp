#include "text/format.h"

#include <climits>
#include <cstdio>

namespace kovirant {

void appendZeroPad(std::string& out, std::string_view text, std::size_t width) {
    if (text.size() < width) out.append(width - text.size(), '0');
    out.append(text);
}

int readNumber(std::string_view text) {
    std::size_t i = 0;
    // Leading white space as the C library's number readers skip it.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    bool saturated = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (!saturated) {
            value = value * 10 + (text[i] - '0');
            if (value > static_cast<long long>(INT_MAX) + 1) saturated = true;
        }
    }
    if (negative) {
        value = -value;
        if (saturated || value < INT_MIN) return INT_MIN;
        return static_cast<int>(value);
    }
    if (saturated || value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

std::string zeroPadNumber(long long value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, value);
    return buf;
}

}  // namespace kovirant
