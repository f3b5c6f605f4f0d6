#include <gtest/gtest.h>

#include "editing/row_check.h"
#include "report/settings.h"
#include "test_support.h"

using namespace kovirant;

namespace {

// The deadline warnings of the check, as the list shows them.
std::vector<std::string> deadlineWarnings(const RecordTables& tables, const char* day, int days = kDefaultDeadlineDays) {
    CheckOptions options;
    options.checkDay = dayNumber(day);
    options.deadlineDays = days;
    const RowCheck check = checkAllRows(tables, 20, 18, options);
    std::vector<std::string> out;
    for (const RowWarning& w : check.warnings)
        if (w.what == WarningKind::LateOpening || w.what == WarningKind::LateClosing || w.what == WarningKind::FutureDate)
            out.push_back(std::to_string(w.kind) + ":" + std::to_string(w.row + 1) + " " + warningText(check, w));
    return out;
}

}  // namespace

// The event date is a register row's closing, else its opening, an account
// change's new opening; late after more than the deadline's days, counted in
// calendar days (a leap day too); a date after the check's day is in the future.
TEST(Deadline, LateAndFutureRowsAreWarned) {
    const struct {
        const char* opening;
        const char* closing;
        const char* warning;  // nullptr: none
    } rows[] = {
        {"2024-03-01", "", nullptr},                                                     // the 8th day
        {"2024-02-29", "", "határidőn túl: a nyitás óta 9 nap telt el (határidő: 8 nap)"},  // the 9th, over a leap day
        {"2020-01-01", "2024-02-29", "határidőn túl: a zárás óta 9 nap telt el (határidő: 8 nap)"},
        {"2001-01-01", "2024-03-05", nullptr},                                           // the closing decides
        {"2024-03-10", "", "a dátum a jövőben van: 2024-03-10"},
        {"2023-02-29", "", nullptr},                                                     // no such day: a fault
        {"", "", nullptr},
    };
    TestTables t;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", "111111110000000000000000",
                                                     rows[i].opening, rows[i].closing));
        if (rows[i].warning) expected.push_back("0:" + std::to_string(i + 1) + " Figyelmeztetés: " + rows[i].warning);
    }
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank", "0110041234", "12345676"});  // no event
    t.tables.appendRow(ViewAccountChange, AccountChangeEntry{"12345676", "0109123456", "111111110000000000000000",
                                                             "2001-01-01", "2024-02-28", "111111110000000000000002",
                                                             "2024-02-29", ""});
    expected.push_back("2:1 Figyelmeztetés: határidőn túl: a nyitás óta 9 nap telt el (határidő: 8 nap)");
    EXPECT_EQ(deadlineWarnings(t.tables, "2024-03-09"), expected);
    EXPECT_EQ(deadlineWarnings(t.tables, "2024-03-09", 30).size(), 1u);  // only the future date
    CheckOptions none;
    EXPECT_TRUE(checkAllRows(t.tables, 20, 18, none).warnings.size() < expected.size());  // no day: no rule
}

// "hatarido" of GENERAL: missing is 8; a whole number from 1 to 365 is taken;
// anything else is refused, named, and 8 is used.
TEST(Deadline, TheSettingsKeyIsTakenOrRefused) {
    const auto dir = freshTempDir("deadline");
    const struct {
        const char* line;
        int days;
        bool refused;
    } cases[] = {{"", 8, false}, {"hatarido=30\r\n", 30, false}, {"hatarido=365\r\n", 365, false},
                 {"hatarido=0\r\n", 8, true}, {"hatarido=366\r\n", 8, true}, {"hatarido=abc\r\n", 8, true},
                 {"hatarido=8.5\r\n", 8, true}, {"hatarido=-3\r\n", 8, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeFile(dir / "Kovirant.ini", std::string("[GENERAL]\r\nmaxtk=20\r\n") + c.line);
        const StartupSettings s = readSettingsFile(dir / "Kovirant.ini");
        EXPECT_EQ(s.hatarido, c.days);
        EXPECT_EQ(s.hataridoRefused.has_value(), c.refused);
        if (c.refused) {
            EXPECT_NE(deadlineRefusal(*s.hataridoRefused).find("hatarido"), std::string::npos);
        }
    }
}
