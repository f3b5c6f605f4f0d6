// The company registry's list of the accounts it holds with the bank's
// prefix: one account a line, its fields separated by blanks (company number,
// tax base number, account number, opening, closing, "hattól", "hatig"). No
// form of a field is fixed, so each is read by its shape; a line whose fields
// cannot be given their meaning without doubt is never guessed but listed
// with why, as is every other line not used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovirant {

// An account number of 24 digits as its three groups of 8, each a number:
// ordered as the digits are.
struct AccountKey {
    std::uint32_t group[3] = {0, 0, 0};
    friend bool operator==(const AccountKey&, const AccountKey&) = default;
    friend auto operator<=>(const AccountKey&, const AccountKey&) = default;
};
inline constexpr std::uint32_t kNoTax = 0xFFFFFFFFu;
inline constexpr std::uint64_t kNoCompany = ~std::uint64_t{0};

// The fields' forms, each read whole (a value, or nothing when it is not of
// the form):
// - company number: 10 digits or NN-NN-NNNNNN, either after "Cg." (the caller
//   joins "Cg." and a number after a blank);
// - tax base number: 8 digits, or an 11-digit tax number with or without its
//   hyphens (NNNNNNNN-N-NN), of which the first 8 digits;
// - account number: 16 or 24 digits, with or without '-' between the groups
//   of 8; 16 digits are the 24 with eight zeros after them;
// - date: YYYY-MM-DD, YYYY.MM.DD, YYYY.MM.DD., YYYY/MM/DD or YYYYMMDD, a day
//   IsValidDate takes, as YYYYMMDD.
bool isCompanyMark(std::string_view text);  // it starts with "Cg." (any case)
std::optional<std::uint64_t> readCompanyField(std::string_view text);
std::optional<std::uint32_t> readTaxField(std::string_view text);
std::optional<AccountKey> readAccountField(std::string_view text);
bool readAccountField(std::string_view text, AccountKey& account);  // the same, into `account` (untouched when not)
enum class DateField { Date, Empty, NotADate, NoSuchDay };
// Empty: a placeholder ("-", ".", or a date form of zeros: 0000-00-00,
// 0000.00.00, 00000000, ...). `date` gets YYYYMMDD of a Date.
DateField readDateField(std::string_view text, std::uint32_t& date);

// The stored forms: 24 and 10 digits, 8 digits (empty for kNoTax), YYYY-MM-DD
// (empty for 0), the company number empty for kNoCompany.
std::string accountText(AccountKey account);
std::string companyText(std::uint64_t company);
std::string taxText(std::uint32_t tax);
std::string dateText(std::uint32_t date);

// One account line, in numbers (a million lines stay small). A date is
// YYYYMMDD, 0 when empty.
struct RegistryLine {
    AccountKey account;
    std::uint32_t tax = 0;
    std::uint64_t company = 0;
    std::uint32_t opening = 0, closing = 0, from = 0, until = 0;  // from/until: "hattól", "hatig"
    std::uint32_t line = 0;  // the file's line, from 1
};
// The same account state (every field but the line).
bool sameState(const RegistryLine& a, const RegistryLine& b);

// A line that was not used: a header line before the first data line, or
// any line after it that is no account line, or one that cannot be read
// without doubt. Its text in Windows-1250.
struct UnusedLine {
    std::uint32_t line = 0;
    bool header = false;
    std::string reason;
    std::string text;
};

enum class RegistryListStatus {
    Read,        // every line looked at (some may be unused)
    CannotOpen,  // the system's error code says why
    NotText,     // UTF-16 (or 32): nothing read
    ReadFailed,  // a read failed part-way (the system's error code): the lines before it are read
};

struct RegistryListOutcome {
    RegistryListStatus status = RegistryListStatus::Read;
    int errorCode = 0;
    bool utf8 = false;          // the text was UTF-8 (with or without its mark)
    bool fixedColumns = false;  // the data lines are in fixed columns: blanks are empty dates
    std::size_t lines = 0;      // every line, blank ones included
    std::size_t blank = 0;
    std::size_t headers = 0;
    std::size_t unreadable = 0;
    std::vector<RegistryLine> accounts;  // in the file's order
    std::vector<UnusedLine> unused;      // headers and unreadable lines, in line order
    bool ok() const { return status == RegistryListStatus::Read; }
};

RegistryListOutcome readRegistryList(const std::filesystem::path& path);
RegistryListOutcome parseRegistryList(std::string_view bytes);

// Why the list was not read, starting in lower case (Windows-1250); empty
// when it was.
std::string registryListFault(const RegistryListOutcome& outcome);

// "N sor, M számla, K olvashatatlan sor, H fejléc, B üres sor" (Windows-1250).
std::string registryListCounts(const RegistryListOutcome& outcome);

}  // namespace kovirant
