#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <string>

#include "text/cp1250.h"
#include "text/format.h"

using namespace kovirant;

namespace {

std::string bytesOf(std::string_view s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

// The code point glibc's iconv gives for one byte of `charset`, or 0.
char32_t iconvDecode(const char* charset, unsigned char byte) {
    iconv_t cd = iconv_open("UTF-32LE", charset);
    char in[1] = {static_cast<char>(byte)};
    char out[4] = {};
    char* pin = in;
    char* pout = out;
    std::size_t inLeft = 1, outLeft = 4;
    std::size_t r = iconv(cd, &pin, &inLeft, &pout, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) return 0;
    return static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8 |
           static_cast<unsigned char>(out[2]) << 16;
}

}  // namespace

TEST(SourceLiterals, ArriveAsWindows1250Bytes) {
    EXPECT_EQ(bytesOf("Cégszám"), "43 E9 67 73 7A E1 6D");
    EXPECT_EQ(bytesOf("Hibás törzsszám!"), "48 69 62 E1 73 20 74 F6 72 7A 73 73 7A E1 6D 21");
    EXPECT_EQ(bytesOf("őűŐŰ"), "F5 FB D5 DB");
}

TEST(Cp1250, TableMatchesTheSystemConverter) {
    for (int b = 0; b < 256; ++b) {
        auto cp = cp1250ToCodePoint(static_cast<unsigned char>(b));
        char32_t expected = iconvDecode("CP1250", static_cast<unsigned char>(b));
        if (expected == 0 && b != 0) {
            EXPECT_FALSE(cp.has_value()) << "byte " << b;
        } else {
            ASSERT_TRUE(cp.has_value()) << "byte " << b;
            EXPECT_EQ(*cp, expected) << "byte " << b;
            EXPECT_EQ(codePointToCp1250(*cp), static_cast<unsigned char>(b));
        }
    }
}

TEST(Cp1250, SameInLatin2MatchesTheSystemConverter) {
    for (int b = 0; b < 256; ++b) {
        auto cp = cp1250ToCodePoint(static_cast<unsigned char>(b));
        bool same = cp && b != 0 && iconvDecode("ISO-8859-2", static_cast<unsigned char>(b)) == *cp;
        if (b == 0) same = true;
        EXPECT_EQ(sameInLatin2(static_cast<unsigned char>(b)), same) << "byte " << b;
    }
}

TEST(Cp1250, WholeTextConversions) {
    EXPECT_EQ(cp1250ToUtf16("Őr ű €"), u"Őr ű €");
    EXPECT_EQ(utf16ToCp1250(u"Őr ű € \u4E2D"), "Őr ű € ?");
    EXPECT_EQ(utf16ToCp1250(u"a\U0001F600b"), "a?b");  // a surrogate pair is one character
    EXPECT_EQ(cp1250ToUtf8("\xD5rz\xE9"), std::string(reinterpret_cast<const char*>(u8"Őrzé")));
    EXPECT_EQ(utf8ToCp1250(reinterpret_cast<const char*>(u8"„Šť” – Ž")), "„Šť” – Ž");
    EXPECT_EQ(utf8ToCp1250("\xC3"), "?");  // cut sequence
}

TEST(ZeroPad, PadsTextOnTheLeftAndKeepsLongerTextWhole) {
    struct Case {
        const char* text;
        std::size_t width;
        const char* expected;
    } cases[] = {
        {"", 2, "00"}, {"5", 2, "05"}, {"12", 2, "12"}, {"123", 2, "123"},
        {"1234", 6, "001234"}, {"ab", 4, "00ab"}, {"", 6, "000000"},
    };
    for (const Case& c : cases) {
        std::string padded;
        appendZeroPad(padded, c.text, c.width);
        EXPECT_EQ(padded, c.expected) << c.text;
    }
}

TEST(ReadNumber, ReadsAsTheConventionsSay) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"", 0},           {"abc", 0},     {"20", 20},         {"  18", 18},        {"\t7x", 7},
        {"+5", 5},         {"-3", -3},     {"05", 5},          {"1 2", 1},          {"- 3", 0},
        {"2147483647", INT_MAX},           {"2147483648", INT_MAX},                 {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},          {"-99999999999999999999", INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(readNumber(c.text), c.expected) << '"' << c.text << '"';
}
