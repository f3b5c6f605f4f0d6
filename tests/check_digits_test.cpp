#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "app/commands.h"
#include "editing/check_digits.h"
#include "editing/check_warnings.h"
#include "editing/row_check.h"
#include "import/apeh_import.h"
#include "fake_shell.h"
#include "import/report_reload.h"
#include "test_support.h"

using namespace kovirant;

namespace {

// A random number of `length` digits that passes the rule (the check digit at
// the end of each 8- or 16-digit block).
std::string validNumber(std::mt19937& rng, std::size_t length) {
    std::uniform_int_distribution<int> digit(0, 9);
    std::string out;
    for (std::size_t blockEnd : {std::size_t{8}, length}) {
        if (blockEnd <= out.size()) continue;
        std::string block;
        while (out.size() + block.size() + 1 < blockEnd) block.push_back(static_cast<char>('0' + digit(rng)));
        block.push_back(checkDigitFor(block));
        out += block;
    }
    return out;
}

}  // namespace

TEST(CheckDigits, PublishedNumbersAndForms) {
    struct Case {
        const char* text;
        bool taxFails, bankFails, accountFails;
    } cases[] = {
        {"10625790", false, false, false},  // a listed company's published tax number
        {"10537914", false, false, false},  // a bank's published tax number
        {"11773016", false, false, false},  // bank codes of the examples' banks
        {"10700024", false, false, false},
        {"10625791", true, true, false},    // one digit off
        {"1062579", false, false, false},   // incomplete: the form rules' business
        {"1062579a", false, false, false},  // not all digits
        {"117730160000123400000000", false, false, true},   // its second block fails
        {"117730160000123800000000", false, false, false},  // a 16-digit account kept as 24
        {"117730161000123800000000", false, false, true},
        {"117730260000123800000000", false, false, true},   // the first block fails
        {"11773016000012380000000", false, false, false},   // 23 digits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(taxNumberFailsCheck(c.text), c.taxFails);
        EXPECT_EQ(bankCodeFailsCheck(c.text), c.bankFails);
        EXPECT_EQ(accountNumberFailsCheck(c.text), c.accountFails);
    }
}

// The weights are prime to 10: every change of a single digit is caught.
TEST(CheckDigits, EverySingleDigitChangeIsCaught) {
    std::mt19937 rng(20261208);
    for (int n = 0; n < 200; ++n) {
        const std::string tax = validNumber(rng, 8);
        const std::string account = validNumber(rng, 24);
        ASSERT_FALSE(taxNumberFailsCheck(tax)) << tax;
        ASSERT_FALSE(accountNumberFailsCheck(account)) << account;
        for (const std::string* number : {&tax, &account}) {
            for (std::size_t i = 0; i < number->size(); ++i) {
                for (char d = '0'; d <= '9'; ++d) {
                    if (d == (*number)[i]) continue;
                    std::string typo = *number;
                    typo[i] = d;
                    const bool caught = number == &tax ? taxNumberFailsCheck(typo) : accountNumberFailsCheck(typo);
                    ASSERT_TRUE(caught) << *number << " -> " << typo;
                }
            }
        }
    }
}

// Each row's warnings follow its fault, in a fixed order; the texts name the
// earlier row as the list numbers it and the directory's number with hyphens.
TEST(CheckDigits, TheCheckListsEachRowsWarningsAfterItsFault) {
    TestTables t;
    const std::string good = "111111110000000000000000";
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", good));                    // row 1
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", good));                    // 2: row 1 again
    t.tables.appendRow(ViewRegister, registerRow("0109654321", "87654323", good));                    // 3: account of row 1
    t.tables.appendRow(ViewRegister, registerRow("", "12345678", "111111110000000000000001"));        // 4
    t.tables.appendRow(ViewRegister, registerRow("0109999999", "87654323", "111111110000000022222222"));  // 5
    InstitutionEntry inst{"Bank", "0110041234", "12345676", "1000", "Budapest", "Fő", "utca", "1", "11773017"};
    inst[InstitutionCol::operationCode] = "Bejegyzés";
    t.tables.appendRow(ViewInstitution, inst);
    t.tables.appendRow(ViewAccountChange, AccountChangeEntry{"12345676", "0109123456", good, "2001-01-01",
                                                             "2002-01-01", "111111110000000000000002", "2003-01-01", ""});
    CheckOptions options;
    options.directoryCompany = [](std::string_view tax) -> std::optional<std::string_view> {
        if (tax == "87654323") return "0109654321";
        return std::nullopt;
    };
    const RowCheck check = checkAllRows(t.tables, 20, 18, options);
    ASSERT_EQ(check.faults.size(), 1u);
    EXPECT_EQ(check.faults[0].row, 3u);
    std::vector<std::pair<std::uint32_t, std::string>> warnings;
    for (const RowWarning& w : check.warnings) warnings.emplace_back(w.row, warningText(check, w));
    const std::vector<std::pair<std::uint32_t, std::string>> expected = {
        {1, "Figyelmeztetés: ugyanez a sor már szerepel (1. sor)"},
        {2, "Figyelmeztetés: a számlaszám más törzsszámmal is szerepel (1. sor)"},
        {3, "Figyelmeztetés: hibás ellenőrző számjegy a törzsszámban"},
        {3, "Figyelmeztetés: hibás ellenőrző számjegy a számlaszámban"},
        {4, "Figyelmeztetés: a cégtár szerint a cégszám 01-09-654321"},
        {0, "Figyelmeztetés: hibás ellenőrző számjegy a számjelben"},
        {0, "Figyelmeztetés: hibás ellenőrző számjegy az új számlaszámban"},
    };
    EXPECT_EQ(warnings, expected);

    // The list: a row's fault before its warnings, both counted; Ugrás goes to a warning's row.
    FakeShell shell;
    AppState state(t.tables);
    onCreate(state, shell, freshTempDir("warnings"));
    state.now = [] { return noonOf("2005-03-05"); };  // the register's dates are in time, the account change's not
    std::vector<std::string> hiba;
    std::string countText;
    shell.faultList = [&](const ListRequest& r) -> std::optional<std::size_t> {
        countText = utf16ToCp1250(r.countText);
        for (std::size_t i = 0; i < r.count; ++i) hiba.push_back(utf16ToCp1250(r.text(i, 1)) + " " + utf16ToCp1250(r.text(i, 3)));
        return 5;  // the institution's warning
    };
    onCommand(state, shell, kCmdCheckRows);
    EXPECT_EQ(countText, "Hibás sorok száma: 1, figyelmeztetések száma: 7");  // no directory in this folder
    ASSERT_EQ(hiba.size(), 8u);
    EXPECT_EQ(hiba[7], "1 Figyelmeztetés: határidőn túl: a nyitás óta 794 nap telt el (határidő: 8 nap)");
    EXPECT_EQ(hiba[2], "4 Hiányzik a cégszám");
    EXPECT_EQ(hiba[3], "4 Figyelmeztetés: hibás ellenőrző számjegy a törzsszámban");
    EXPECT_EQ(state.tables.CurrentView, ViewInstitution);
    EXPECT_EQ(t.tables.marks(ViewInstitution).state(0), (RowState{true, true}));
}

// A table large enough to be checked on two cores, in stretches of rows
// that both take: every row's fault once, in the rows' order, with the
// message the row alone gets, and the warnings as the rows alone give them.
TEST(CheckDigits, ALargeTableChecksAsItsRowsDoAlone) {
    TestTables t;
    const std::string good = "111111110000000000000000";
    auto rowOf = [&](std::size_t i) {
        RegisterEntry r = registerRow("0109123456", "12345676", good);
        if (i % 7 == 0) r[RegisterCol::companyNumber] = "";
        if (i % 11 == 0) r[RegisterCol::openingDate] = "2005-3-01";
        if (i % 13 == 0) r[RegisterCol::accountNumber] = "111111110000000000000001";  // a check digit off
        return r;
    };
    constexpr std::size_t kRows = 140000;  // past two stretches of 65,536
    for (std::size_t i = 0; i < kRows; ++i) t.tables.appendRow(ViewRegister, rowOf(i));
    const AccountChangeEntry change{"12345676", "0109123456", good, "2001-1-01", "2002-01-01", good, "2003-01-01", ""};
    t.tables.appendRow(ViewAccountChange, change);
    // The callbacks on this thread, though a second core checks the faults.
    std::atomic<std::size_t> asked{0}, askedElsewhere{0};
    CheckOptions options;
    options.directoryCompany = [&, caller = std::this_thread::get_id()](std::string_view) {
        ++asked;
        if (std::this_thread::get_id() != caller) ++askedElsewhere;
        return std::optional<std::string_view>();
    };
    const RowCheck check = checkAllRows(t.tables, 20, 18, options);
    EXPECT_GT(asked.load(), 0u);
    EXPECT_EQ(askedElsewhere.load(), 0u);
    // A row's cells depend only on which of 7, 11 and 13 divide its index:
    // each of the eight kinds is checked alone once.
    std::map<int, RowCheck> aloneOf;
    auto alone = [&](std::size_t i) -> const RowCheck& {
        const int key = (i % 7 == 0) | (i % 11 == 0) << 1 | (i % 13 == 0) << 2;
        auto [at, fresh] = aloneOf.try_emplace(key);
        if (fresh) {
            TestTables one;
            one.tables.appendRow(ViewRegister, rowOf(i));
            at->second = checkAllRows(one.tables, 20, 18);
        }
        return at->second;
    };
    std::vector<std::string> faults, expected;
    for (const RowFault& f : check.faults)
        faults.push_back(std::to_string(f.kind) + ":" + std::to_string(f.row) + " " + check.messages[f.message]);
    std::size_t warnings = 0;
    for (std::size_t i = 0; i < kRows; ++i) {
        if (i % 7 != 0 && i % 11 != 0 && i % 13 != 0) continue;
        const RowCheck& one = alone(i);
        for (const RowFault& f : one.faults) expected.push_back("0:" + std::to_string(i) + " " + one.messages[f.message]);
        warnings += one.warnings.size();
    }
    TestTables changeAlone;
    changeAlone.tables.appendRow(ViewAccountChange, change);
    const RowCheck changeCheck = checkAllRows(changeAlone.tables, 20, 18);
    ASSERT_EQ(changeCheck.faults.size(), 1u);
    expected.push_back("2:0 " + changeCheck.messages[changeCheck.faults[0].message]);
    EXPECT_EQ(faults, expected);
    // Each row's own warning (a check digit) as the row alone gets it; the
    // repeats of earlier rows come on top.
    std::size_t own = 0;
    for (const RowWarning& w : check.warnings)
        if (w.kind == ViewRegister && w.what == WarningKind::AccountCheckDigit) ++own;
    EXPECT_EQ(own, warnings);
}

// The check remembers the editor's verdict per kind of row: rows that differ
// only in what the editor reads (the codes of the company number, a date,
// the code, the tax or account number's length) get each their own, in one
// table as alone, whatever came before them.
TEST(CheckDigits, EachRowGetsTheVerdictItGetsAlone) {
    const std::string good = "111111110000000000000000";
    const std::vector<RegisterEntry> rows = {
        {"0109123456", "12345676", good, "2005-03-01", "", "Bejegyzés"},
        {"0009123456", "12345676", good, "2005-03-01", "", "Bejegyzés"},
        {"2109123456", "12345676", good, "2005-03-01", "", "Bejegyzés"},
        {"0100123456", "12345676", good, "2005-03-01", "", "Bejegyzés"},
        {"0119123456", "12345676", good, "2005-03-01", "", "Bejegyzés"},
        {"0109123456", "1234567", good, "2005-03-01", "", "Bejegyzés"},
        {"0109123456", "123456789", good, "2005-03-01", "", "Bejegyzés"},
        {"0109123456", "12345676", good.substr(1), "2005-03-01", "", "Bejegyzés"},
        {"0109123456", "12345676", good, "2005-02-29", "", "Bejegyzés"},
        {"0109123456", "12345676", good, "", "", "Bejegyzés"},
        {"0109123456", "12345676", good, "2005-03-01", "2005-04-01", "Bejegyzés"},
        {"0109123456", "12345676", good, "2005-03-01", "2005-04-01", "Törlés"},
        {"0109123456", "12345676", good, "2005-03-01", "2005-02-01", "Törlés"},
        {"0109123456", "12345676", good, "2005-03-01", "2005-04-31", "Törlés"},
        {"0109123456", "12345676", good, "2005-03-01", "", "Törlés"},
        {"0109123456", "12345676", good, "2005-03-01", "", "Módosítás"},
        {"0109123456", "12345676", good, "2005-03-01", "", "x"},
        {"1718999999", "87654321", good, "2005-03-01", "", "Bejegyzés"},
    };
    auto faultsOf = [](const RowCheck& c, std::size_t row) {
        std::string out;
        for (const RowFault& f : c.faults)
            if (f.row == row) out += c.messages[f.message] + ";";
        return out;
    };
    TestTables all;
    for (int round = 0; round < 2; ++round)
        for (const RegisterEntry& r : rows) all.tables.appendRow(ViewRegister, r);
    const RowCheck check = checkAllRows(all.tables, 20, 18);
    std::set<std::string> verdicts;
    for (std::size_t i = 0; i < 2 * rows.size(); ++i) {
        TestTables one;
        one.tables.appendRow(ViewRegister, rows[i % rows.size()]);
        const std::string alone = faultsOf(checkAllRows(one.tables, 20, 18), 0);
        EXPECT_EQ(faultsOf(check, i), alone) << "row " << i;
        verdicts.insert(alone);
    }
    EXPECT_GE(verdicts.size(), 10u);  // the rows tell the editor's messages apart
}

TEST(CheckDigits, EditorsHintTheFirstFailingField) {
    RegisterEntryForm reg;
    reg.taxBaseNumber = "1234567";  // incomplete: nothing yet
    reg.account = {"11773016", "00001234", "00000000"};
    EXPECT_EQ(typingWarning(reg), kWarnAccountCheckDigit);
    reg.taxBaseNumber = "12345678";
    EXPECT_EQ(typingWarning(reg), kWarnTaxCheckDigit);
    reg.taxBaseNumber = "12345676";
    reg.account.group2 = "00001238";
    EXPECT_EQ(typingWarning(reg), "");
    InstitutionForm inst;
    inst.codeNumber = "11773017";
    EXPECT_EQ(typingWarning(inst), kWarnBankCodeCheckDigit);
    AccountChangeForm acc;
    acc.newAccount = {"11773016", "00001234", "00000000"};
    EXPECT_EQ(typingWarning(acc), kWarnNewAccountCheckDigit);
    acc.originalAccount = acc.newAccount;
    EXPECT_EQ(typingWarning(acc), kWarnOriginalAccountCheckDigit);
}

// The shipped examples are what an officer should see: the example report
// passes every rule and every check digit.
TEST(CheckDigits, TheExampleReportChecksClean) {
    TestTables t;
    const ReloadOutcome loaded =
        ReloadReport(std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples" / "report.xml", t.tables);
    ASSERT_EQ(loaded.status, ReloadStatus::Completed);
    ASSERT_GT(loaded.rowsAppended, 30u);
    // Judged on the day the example protocol was made.
    CheckOptions options;
    options.checkDay = dayNumber(kExamplesDay);
    const RowCheck check = checkAllRows(t.tables, 20, 18, options);
    for (const RowFault& f : check.faults) ADD_FAILURE() << f.kind << " " << f.row << ": " << check.messages[f.message];
    for (const RowWarning& w : check.warnings) ADD_FAILURE() << w.row << ": " << warningText(check, w);

    // The protocol's rows lack company numbers (and closings their openings), but warn of nothing.
    TestTables imported;
    ImportApehFile(std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples" / "apeh-protocol.txt", imported.tables,
                   [](const std::string&) { return false; });
    ASSERT_EQ(imported.tables.rowCounter(ViewRegister), 36);
    const RowCheck protocol = checkAllRows(imported.tables, 20, 18, options);
    for (const RowWarning& w : protocol.warnings) ADD_FAILURE() << w.row << ": " << warningText(protocol, w);
}
