#include "text/cp1250.h"

#include <array>

namespace kovirant {
namespace {

// Code points of the bytes 0x80..0xFF; 0 marks an unassigned byte.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

}  // namespace

std::optional<char32_t> cp1250ToCodePoint(unsigned char byte) {
    if (byte < 0x80) return byte;
    char16_t cp = kHigh[byte - 0x80];
    if (cp == 0) return std::nullopt;
    return cp;
}

std::optional<unsigned char> codePointToCp1250(char32_t codePoint) {
    if (codePoint < 0x80) return static_cast<unsigned char>(codePoint);
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] != 0 && kHigh[i] == codePoint) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::u16string cp1250ToUtf16(std::string_view text, char16_t replacement) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) {
        auto cp = cp1250ToCodePoint(static_cast<unsigned char>(c));
        out.push_back(cp ? static_cast<char16_t>(*cp) : replacement);
    }
    return out;
}

std::string utf16ToCp1250(std::u16string_view text, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDFFF) {
            // A surrogate pair stands for one character outside the code page.
            if (u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            out.push_back(replacement);
            continue;
        }
        auto b = codePointToCp1250(u);
        out.push_back(b ? static_cast<char>(*b) : replacement);
    }
    return out;
}

std::string cp1250ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        auto cp = cp1250ToCodePoint(static_cast<unsigned char>(c));
        char32_t u = cp ? *cp : 0xFFFD;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::string utf8ToCp1250(std::string_view text, char replacement) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t u = 0;
        std::size_t len = 1;
        if (b < 0x80) {
            u = b;
        } else if ((b & 0xE0) == 0xC0) {
            u = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            u = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            u = b & 0x07;
            len = 4;
        } else {
            out.push_back(replacement);
            ++i;
            continue;
        }
        bool ok = i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            unsigned char cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            else u = (u << 6) | (cb & 0x3F);
        }
        if (!ok) {
            out.push_back(replacement);
            ++i;
            continue;
        }
        auto c = codePointToCp1250(u);
        out.push_back(c ? static_cast<char>(*c) : replacement);
        i += len;
    }
    return out;
}

bool sameInLatin2(unsigned char byte) {
    if (byte < 0x80) return true;
    if (byte < 0xA0) return false;  // C1 controls in ISO-8859-2
    // The upper half of ISO-8859-2 differs from Windows-1250 in these bytes.
    switch (byte) {
        case 0xA1: case 0xA5: case 0xA6: case 0xA9: case 0xAB: case 0xAC: case 0xAE:
        case 0xB1: case 0xB5: case 0xB6: case 0xB7: case 0xB9: case 0xBB: case 0xBC: case 0xBE:
            return false;
        default:
            return true;
    }
}

unsigned char lowerCp1250(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
        case 0x8A: case 0x8C: case 0x8D: case 0x8E: case 0x8F: return static_cast<unsigned char>(c + 0x10);
        case 0xA3: return 0xB3;
        case 0xA5: return 0xB9;
        case 0xAA: return 0xBA;
        case 0xAF: return 0xBF;
        case 0xBC: return 0xBE;
        default: return c;
    }
}

}  // namespace kovirant
