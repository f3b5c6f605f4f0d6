// Form rules of the Hungarian identifiers and dates.
#pragma once

#include <string>
#include <string_view>

namespace kovirant {

// Lengths of the identifier and date parts, as their entry fields take them.
inline constexpr int kAreaCodeLength = 2;
inline constexpr int kFormCodeLength = 2;
inline constexpr int kSerialLength = 6;
inline constexpr int kTaxBaseLength = 8;
inline constexpr int kAccountGroupLength = 8;
inline constexpr int kYearLength = 4;
inline constexpr int kMonthLength = 2;
inline constexpr int kDayLength = 2;
inline constexpr int kPostalCodeLength = 4;
inline constexpr int kCodeNumberLength = 8;  // an institution's "Számjel"
inline constexpr int kAddressPartLength = 10;  // house number, building, door

// Lengths of the whole stored values.
inline constexpr std::size_t kCompanyNumberLength = 10;  // area, form code, serial
inline constexpr std::size_t kAccountNumberLength = 24;  // three groups of 8
inline constexpr std::size_t kDateLength = 10;           // YYYY-MM-DD

struct DateParts {
    std::string year, month, day;
};

struct CompanyNumberParts {
    std::string areaCode, formCode, serial;
};

struct AccountNumberParts {
    std::string group1, group2, group3;
};

// The parts as their entry fields hold them: cut to 2, 2 and 6; to 8 each;
// to 4, 2 and 2 characters.
CompanyNumberParts cutToFields(const CompanyNumberParts& parts);
AccountNumberParts cutToFields(const AccountNumberParts& parts);
DateParts cutToFields(const DateParts& date);

bool CheckAreaCode(std::string_view areaCode, int maxtk);
bool CheckFormCode(std::string_view formCode, int maxcf);
// Company forms 02, 10, 17 and 20.
bool CheckInstitutionFormCode(std::string_view formCode);

std::string joinCompanyNumber(const CompanyNumberParts& parts);
std::string joinAccountNumber(const AccountNumberParts& parts);
std::string joinDate(const DateParts& date);  // "%s-%s-%s"

// The three parts together have 8 characters.
bool isDateComplete(const DateParts& date);
bool IsValidDate(const DateParts& date);
// The same of a date in numbers.
bool IsValidDate(long long year, int month, int day);
// YYYYMMDD of a complete date ("%04s%02s%02s" read as a number).
long long DateKey(const DateParts& date);

// Splits a stored value into its parts; a text of another length than 10,
// 24 or 10 gives three empty parts.
CompanyNumberParts SplitCompanyNumber(std::string_view stored);
AccountNumberParts SplitAccountNumber(std::string_view stored);
DateParts SplitDate(std::string_view stored);
// Split by position without the length test: characters 1-2, 3-4, 5-10,
// each short or empty past the end of the text.
CompanyNumberParts SplitCompanyNumberByPosition(std::string_view stored);

}  // namespace kovirant
