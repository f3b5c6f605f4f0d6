#include "editing/rules.h"

#include <climits>

#include "text/format.h"

namespace kovirant {

CompanyNumberParts cutToFields(const CompanyNumberParts& p) {
    return {std::string(cut(p.areaCode, kAreaCodeLength)), std::string(cut(p.formCode, kFormCodeLength)),
            std::string(cut(p.serial, kSerialLength))};
}

AccountNumberParts cutToFields(const AccountNumberParts& p) {
    return {std::string(cut(p.group1, kAccountGroupLength)), std::string(cut(p.group2, kAccountGroupLength)),
            std::string(cut(p.group3, kAccountGroupLength))};
}

DateParts cutToFields(const DateParts& d) {
    return {std::string(cut(d.year, kYearLength)), std::string(cut(d.month, kMonthLength)),
            std::string(cut(d.day, kDayLength))};
}

bool CheckAreaCode(std::string_view areaCode, int maxtk) {
    int v = readNumber(areaCode);
    return v >= 1 && v <= maxtk;
}

bool CheckFormCode(std::string_view formCode, int maxcf) {
    int v = readNumber(formCode);
    return v >= 1 && v <= maxcf;
}

bool CheckInstitutionFormCode(std::string_view formCode) {
    int v = readNumber(formCode);
    return v == 2 || v == 10 || v == 17 || v == 20;
}

std::string joinCompanyNumber(const CompanyNumberParts& p) { return p.areaCode + p.formCode + p.serial; }

std::string joinAccountNumber(const AccountNumberParts& p) { return p.group1 + p.group2 + p.group3; }

std::string joinDate(const DateParts& d) { return d.year + "-" + d.month + "-" + d.day; }

bool isDateComplete(const DateParts& d) { return d.year.size() + d.month.size() + d.day.size() == 8; }

bool IsValidDate(const DateParts& d) {
    const long long y = readNumber(d.year);
    const int m = readNumber(d.month);
    const int day = readNumber(d.day);
    return IsValidDate(y, m, day);
}

bool IsValidDate(long long y, int m, int day) {
    if (y == 0 || day == 0 || m < 1 || m > 12) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int length = kLength[m - 1];
    if (m == 2 && leap) length = 29;
    return day >= 1 && day <= length;
}

long long DateKey(const DateParts& d) {
    std::string text;
    appendZeroPad(text, d.year, 4);
    appendZeroPad(text, d.month, 2);
    appendZeroPad(text, d.day, 2);
    return readNumber(text);
}

CompanyNumberParts SplitCompanyNumber(std::string_view s) {
    if (s.size() != kCompanyNumberLength) return {};
    return {std::string(s.substr(0, 2)), std::string(s.substr(2, 2)), std::string(s.substr(4, 6))};
}

AccountNumberParts SplitAccountNumber(std::string_view s) {
    if (s.size() != kAccountNumberLength) return {};
    return {std::string(s.substr(0, 8)), std::string(s.substr(8, 8)), std::string(s.substr(16, 8))};
}

DateParts SplitDate(std::string_view s) {
    if (s.size() != kDateLength) return {};
    return {std::string(s.substr(0, 4)), std::string(s.substr(5, 2)), std::string(s.substr(8, 2))};
}

CompanyNumberParts SplitCompanyNumberByPosition(std::string_view s) {
    auto part = [s](std::size_t pos, std::size_t len) {
        return pos >= s.size() ? std::string() : std::string(s.substr(pos, len));
    };
    return {part(0, 2), part(2, 2), part(4, 6)};
}

}  // namespace kovirant
