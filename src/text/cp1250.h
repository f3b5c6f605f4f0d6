// Windows-1250 <-> Unicode conversion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kovirant {

// The Unicode code point of a Windows-1250 byte; nullopt for the five
// unassigned bytes (0x81, 0x83, 0x88, 0x90, 0x98).
std::optional<char32_t> cp1250ToCodePoint(unsigned char byte);

// The Windows-1250 byte of a code point; nullopt when the code page lacks it.
std::optional<unsigned char> codePointToCp1250(char32_t codePoint);

// Whole-text conversions. Bytes or characters the other side lacks become
// `replacement`.
std::u16string cp1250ToUtf16(std::string_view text, char16_t replacement = u'?');
std::string utf16ToCp1250(std::u16string_view text, char replacement = '?');
std::string cp1250ToUtf8(std::string_view text);
std::string utf8ToCp1250(std::string_view text, char replacement = '?');

// The UTF-8 byte-order mark that spreadsheets and editors put before UTF-8 text.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A Windows-1250 letter in lower case (the pairs of the code page's Latin
// letters); other bytes as they are.
unsigned char lowerCp1250(unsigned char byte);

// True when the byte means the same character in ISO-8859-2 as in
// Windows-1250 (all of ASCII and the Hungarian letters among others).
bool sameInLatin2(unsigned char byte);

}  // namespace kovirant
