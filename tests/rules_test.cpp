#include <gtest/gtest.h>

#include "editing/pick_lists.h"
#include "editing/rules.h"

using namespace kovirant;

namespace {
DateParts d(const char* y, const char* m, const char* day) { return {y, m, day}; }
}  // namespace

TEST(IsValidDate, CalendarRules) {
    struct Case {
        DateParts date;
        bool valid;
    } cases[] = {
        {d("2000", "02", "29"), true},  {d("2004", "02", "29"), true},  {d("1900", "02", "29"), false},
        {d("2005", "02", "29"), false}, {d("2005", "04", "31"), false}, {d("2005", "12", "31"), true},
        {d("0000", "01", "01"), false}, {d("2005", "00", "10"), false}, {d("2005", "13", "01"), false},
        {d("2005", "01", "00"), false}, {d("0001", "01", "01"), true},  {d("2005", "02", "28"), true},
        {d("2400", "02", "29"), true},  {d("2100", "02", "29"), false}, {d("2005", "06", "31"), false},
        {d("9999", "12", "31"), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidDate(c.date), c.valid) << c.date.year << "-" << c.date.month << "-" << c.date.day;
}

TEST(DateParts, CompleteOnlyAtFullWidth) {
    EXPECT_TRUE(isDateComplete(d("2005", "03", "01")));
    EXPECT_FALSE(isDateComplete(d("205", "03", "01")));
    EXPECT_FALSE(isDateComplete(d("2005", "3", "01")));
    EXPECT_FALSE(isDateComplete(d("2005", "03", "1")));
    EXPECT_FALSE(isDateComplete(d("", "", "")));
    EXPECT_EQ(joinDate(d("2005", "03", "01")), "2005-03-01");
    EXPECT_EQ(DateKey(d("2005", "03", "01")), 20050301);
    EXPECT_LT(DateKey(d("2004", "12", "31")), DateKey(d("2005", "01", "01")));
}

TEST(CompanyNumberCodes, RangeRulesReadValues) {
    EXPECT_FALSE(CheckAreaCode("00", 20));
    EXPECT_TRUE(CheckAreaCode("20", 20));
    EXPECT_FALSE(CheckAreaCode("21", 20));
    EXPECT_TRUE(CheckAreaCode("5", 20));  // a one-digit code passes the range test
    EXPECT_FALSE(CheckAreaCode("", 20));
    EXPECT_FALSE(CheckAreaCode("05", 0));  // maxtk read from a text beginning with a letter
    EXPECT_TRUE(CheckFormCode("18", 18));
    EXPECT_FALSE(CheckFormCode("19", 18));
    for (const char* ok : {"02", "10", "17", "20", "2"}) EXPECT_TRUE(CheckInstitutionFormCode(ok)) << ok;
    for (const char* bad : {"18", "00", "01", "", "21"}) EXPECT_FALSE(CheckInstitutionFormCode(bad)) << bad;
}

TEST(Splits, ByLengthOrEmpty) {
    auto c = SplitCompanyNumber("0109123456");
    EXPECT_EQ(c.areaCode + "|" + c.formCode + "|" + c.serial, "01|09|123456");
    c = SplitCompanyNumber("010912345");
    EXPECT_EQ(c.areaCode + c.formCode + c.serial, "");
    auto a = SplitAccountNumber("111111112222222233333333");
    EXPECT_EQ(a.group1 + "|" + a.group2 + "|" + a.group3, "11111111|22222222|33333333");
    EXPECT_EQ(joinAccountNumber(SplitAccountNumber("1111111122222222")), "");
    auto dt = SplitDate("2005-03-01");
    EXPECT_EQ(dt.year + "|" + dt.month + "|" + dt.day, "2005|03|01");
    dt = SplitDate("2005/03/01");  // separators are not examined
    EXPECT_EQ(dt.year + dt.month + dt.day, "20050301");
    EXPECT_EQ(joinDate(SplitDate("")), "--");
    EXPECT_EQ(joinDate(SplitDate("2005-3-1")), "--");
    auto p = SplitCompanyNumberByPosition("01091234");
    EXPECT_EQ(p.areaCode + "|" + p.formCode + "|" + p.serial, "01|09|1234");
    p = SplitCompanyNumberByPosition("0");
    EXPECT_EQ(p.areaCode + "|" + p.formCode + "|" + p.serial, "0||");
}
