// The registry list's fields, each read by its shape (registry_list.h).
#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <iterator>

#include "editing/rules.h"
#include "import/registry_list.h"
#include "text/format.h"

namespace kovirant {
namespace {

[[maybe_unused]] std::uint64_t numberOf(std::string_view digits) {  // the rule eightDigits keeps
    std::uint64_t n = 0;
    for (char c : digits) n = n * 10 + static_cast<std::uint64_t>(c - '0');
    return n;
}

// Eight digits at `p` as their number, -1 when one is not a digit.
// One 64-bit word, not a loop per digit: the field reads were a quarter of a reconciliation's samples.
std::int64_t eightDigits(const char* p) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    const bool digits = (((x & 0xF0F0F0F0F0F0F0F0ull) | (((x + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) ==
                         0x3333333333333333ull);
    std::int64_t n = -1;
    if (digits) {
        x -= 0x3030303030303030ull;
        x = x * 10 + (x >> 8);  // pairs of digits
        x = (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
             (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
        n = static_cast<std::int64_t>(static_cast<std::uint32_t>(x));
    }
    assert(digits == allDigits({p, 8}) && (!digits || n == static_cast<std::int64_t>(numberOf({p, 8}))));
    return n;
}

// Two digits at `p` as their number, -1 when one is not a digit.
std::int64_t twoDigits(const char* p) { return isDigit(p[0]) && isDigit(p[1]) ? (p[0] - '0') * 10 + (p[1] - '0') : -1; }

// Whether `text` holds `separator` at these places.
bool separatorsAt(std::string_view text, std::initializer_list<std::size_t> separators, char separator) {
    for (std::size_t at : separators)
        if (text[at] != separator) return false;
    return true;
}

}  // namespace

bool isCompanyMark(std::string_view t) {
    return t.size() >= 3 && (t[0] == 'C' || t[0] == 'c') && (t[1] == 'g' || t[1] == 'G') && t[2] == '.';
}

// Each form is its digits, with or without one separator between every two
// groups of them (never some separators and not others).
std::optional<std::uint64_t> readCompanyField(std::string_view text) {
    if (isCompanyMark(text)) text.remove_prefix(3);
    const char* p = text.data();
    std::int64_t n = -1;
    if (text.size() == 10) {
        const std::int64_t high = eightDigits(p), low = twoDigits(p + 8);
        if (high >= 0 && low >= 0) n = high * 100 + low;
    } else if (text.size() == 12 && separatorsAt(text, {2, 5}, '-')) {
        const std::int64_t parts[] = {twoDigits(p), twoDigits(p + 3), twoDigits(p + 6), twoDigits(p + 8), twoDigits(p + 10)};
        if (std::all_of(std::begin(parts), std::end(parts), [](std::int64_t v) { return v >= 0; }))
            n = (((parts[0] * 100 + parts[1]) * 100 + parts[2]) * 100 + parts[3]) * 100 + parts[4];
    }
    if (n < 0) return std::nullopt;
    return static_cast<std::uint64_t>(n);
}

std::optional<std::uint32_t> readTaxField(std::string_view text) {
    const char* p = text.data();
    const bool form = text.size() == 8 || (text.size() == 11 && allDigits(text.substr(8))) ||
                      (text.size() == 13 && separatorsAt(text, {8, 10}, '-') && isDigit(p[9]) && isDigit(p[11]) && isDigit(p[12]));
    const std::int64_t base = form ? eightDigits(p) : -1;
    if (base < 0) return std::nullopt;
    return static_cast<std::uint32_t>(base);
}

std::optional<AccountKey> readAccountField(std::string_view text) {
    AccountKey key;
    if (!readAccountField(text, key)) return std::nullopt;
    return key;
}

bool readAccountField(std::string_view text, AccountKey& key) {
    const char* p = text.data();
    std::int64_t group[3] = {-1, -1, 0};
    if (text.size() == 24 || text.size() == 16) {
        for (std::size_t g = 0; g < text.size() / 8; ++g) group[g] = eightDigits(p + 8 * g);
    } else if ((text.size() == 26 && separatorsAt(text, {8, 17}, '-')) || (text.size() == 17 && text[8] == '-')) {
        for (std::size_t g = 0; g < (text.size() + 1) / 9; ++g) group[g] = eightDigits(p + 9 * g);
    }
    if (group[0] < 0 || group[1] < 0 || group[2] < 0) return false;
    for (std::size_t g = 0; g < 3; ++g) key.group[g] = static_cast<std::uint32_t>(group[g]);
    return true;
}

DateField readDateField(std::string_view text, std::uint32_t& date) {
    if (text == "-" || text == ".") return DateField::Empty;
    const char* p = text.data();
    std::int64_t ymd = -1;
    if (text.size() == 8) {
        ymd = eightDigits(p);
    } else if ((text.size() == 11 && text.back() == '.' && separatorsAt(text, {4, 7}, '.')) ||
               (text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '.' || text[4] == '/'))) {
        const std::int64_t parts[] = {twoDigits(p), twoDigits(p + 2), twoDigits(p + 5), twoDigits(p + 8)};
        if (std::all_of(std::begin(parts), std::end(parts), [](std::int64_t v) { return v >= 0; }))
            ymd = ((parts[0] * 100 + parts[1]) * 100 + parts[2]) * 100 + parts[3];
    }
    if (ymd < 0) return DateField::NotADate;
    if (ymd == 0) return DateField::Empty;
    const auto y = static_cast<std::uint32_t>(ymd);
    if (!IsValidDate(y / 10000, static_cast<int>(y / 100 % 100), static_cast<int>(y % 100))) return DateField::NoSuchDay;
    date = y;
    return DateField::Date;
}

std::string accountText(AccountKey account) {
    std::string out;
    for (std::uint32_t g : account.group) out += zeroPadNumber(g, 8);
    return out;
}

std::string companyText(std::uint64_t company) {
    if (company == kNoCompany) return {};
    return zeroPadNumber(static_cast<long long>(company), 10);
}

std::string taxText(std::uint32_t tax) { return tax == kNoTax ? std::string() : zeroPadNumber(tax, 8); }

std::string dateText(std::uint32_t date) {
    if (date == 0) return {};
    const std::string d = zeroPadNumber(date, 8);
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

bool sameState(const RegistryLine& a, const RegistryLine& b) {
    return a.account == b.account && a.tax == b.tax && a.company == b.company && a.opening == b.opening &&
           a.closing == b.closing && a.from == b.from && a.until == b.until;
}

}  // namespace kovirant
