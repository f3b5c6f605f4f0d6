#include <gtest/gtest.h>

#include "app/commands.h"
#include "editing/row_check.h"
#include "fake_shell.h"
#include "test_support.h"

using namespace kovirant;

namespace {

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        onCreate(state, shell, freshTempDir("find"));
        state.now = [] { return noonOf("2005-03-05"); };  // the rows' dates are within the deadline
    }
    void command(int id) { onCommand(state, shell, id); }

    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
};

}  // namespace

TEST_F(FindTest, EveryFaultyRowIsListedAndUgrasBringsTheOfficerToIt) {
    // Tax numbers that pass their check digit: no warning lines among these.
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676"));       // fine
    t.tables.appendRow(ViewRegister, registerRow("", "87654323", "111111110000000000000000"));  // an import's row
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "123456789", "111111110000000022222222"));  // 9-digit tax
    t.tables.appendRow(ViewInstitution, InstitutionEntry{});                       // every cell empty
    t.tables.appendRow(ViewAccountChange, AccountChangeEntry{std::string(511, '\xFF'), "0109123456",
                                                             std::string(24, '1'), "2005-02-30"});
    std::vector<std::vector<std::string>> lines;
    std::string countText;
    shell.faultList = [&](const ListRequest& r) -> std::optional<std::size_t> {
        countText = utf16ToCp1250(r.countText);
        for (std::size_t i = 0; i < r.count; ++i) {
            lines.emplace_back();
            for (int c = 0; c < 4; ++c) lines.back().push_back(utf16ToCp1250(r.text(i, c)));
        }
        return 3;  // the account change
    };
    command(kCmdCheckRows);
    EXPECT_EQ(countText, "Hibás sorok száma: 4");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"Cégjegyzék", "2", "87654323", "Hiányzik a cégszám"}));
    EXPECT_EQ(lines[1][1], "3");
    EXPECT_EQ(lines[1][3], "Hibás törzsszám");
    EXPECT_EQ(lines[2][0], "Cégnyilvántartás");
    EXPECT_EQ(lines[3][0], "Számlaszámváltozás");
    EXPECT_EQ(lines[3][2], std::string(511, '\xFF'));
    EXPECT_EQ(lines[3][3], "Hibás törzsszám!");

    EXPECT_EQ(state.tables.CurrentView, ViewAccountChange);
    EXPECT_EQ(shell.shown, ViewAccountChange);
    EXPECT_TRUE(shell.checked[kCmdViewAccountChange] && !shell.checked[kCmdViewRegister]);
    EXPECT_EQ(t.tables.marks(ViewAccountChange).state(0), (RowState{true, true}));
    EXPECT_TRUE(shell.enabled[kCmdModify] && shell.enabled[kCmdDelete]);

    // F8 after a jump and a mend: the list, checked anew (the mended row's
    // line gone), opens on the line after the row jumped to.
    std::size_t focus = 0;
    shell.faultList = [&](const ListRequest&) -> std::optional<std::size_t> { return 1; };  // the register's row 3
    command(kCmdCheckRows);
    t.tables.writeRow(ViewRegister, 1, registerRow("0109123456", "87654323", "111111110000000000000000"));
    shell.faultList = [&](const ListRequest& r) -> std::optional<std::size_t> {
        focus = r.focusLine;
        lines.assign(1, {utf16ToCp1250(r.text(focus, 0)), utf16ToCp1250(r.text(focus, 1))});
        return std::nullopt;
    };
    command(kCmdCheckNext);
    EXPECT_EQ(focus, 1u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"Cégnyilvántartás", "1"}));
}

TEST_F(FindTest, NoFaultyRowNoList) {
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676"));
    command(kCmdCheckRows);
    EXPECT_EQ(shell.faultListRuns, 0);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"Nem találtam hibás sort."});
    EXPECT_TRUE(shell.messages[0].ownedByMainWindow);
}

TEST_F(FindTest, SearchGoesForwardWrapsAndIgnoresCaseAndSeparators) {
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "11111111"));
    t.tables.appendRow(ViewRegister, registerRow("0109654321", "22222222", "117730160000123400000000"));
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "33333333", "111111112222222233333333", "2005-03-01",
                                                 "", "Törlés"));
    t.tables.marks(ViewRegister).setState(0, {true, true});
    shell.searchTexts = {u"01-09-123 456"};
    command(kCmdSearch);
    EXPECT_EQ(t.tables.marks(ViewRegister).state(2), (RowState{true, true}));  // the next match after row 0
    EXPECT_FALSE(t.tables.marks(ViewRegister).state(0).selected);
    EXPECT_TRUE(shell.enabled[kCmdModify]);
    command(kCmdSearchNext);  // F3 wraps to row 0
    EXPECT_EQ(t.tables.marks(ViewRegister).state(0), (RowState{true, true}));
    EXPECT_EQ(shell.searchDialogs, 1);

    shell.searchTexts = {u"TÖRLÉS"};
    command(kCmdSearch);
    EXPECT_EQ(t.tables.marks(ViewRegister).state(2), (RowState{true, true}));
    shell.searchTexts = {u"1177 3016"};
    command(kCmdSearch);
    EXPECT_EQ(t.tables.marks(ViewRegister).state(1), (RowState{true, true}));
}

TEST_F(FindTest, NothingFoundLeavesTheSelection) {
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.marks(ViewRegister).setState(0, {true, true});
    for (const std::u16string& text : {std::u16string(u"nincs ilyen"), std::u16string(u"\u4E2D"),
                                       std::u16string(511, u'1')}) {
        shell.searchTexts = {text};
        command(kCmdSearch);
        EXPECT_EQ(shell.lastText(), "Nincs találat.");
        EXPECT_EQ(t.tables.marks(ViewRegister).state(0), (RowState{true, true}));
    }
    command(kCmdSearch);  // cancelled: nothing happens
    EXPECT_EQ(shell.messages.size(), 3u);
}

// The check judges a stored company number or date as the writer writes it
// (cut to 10 characters): filled but not in the stored form, or refused by the
// editor's rules, it is a fault with the editor's message for that field.
TEST(RowCheck, StoredValuesNoEditorWouldAcceptAreFaults) {
    const AccountChangeEntry goodChange{"12345678",   "0109123456", std::string(24, '1'), "2001-01-01",
                                        "2002-01-01", std::string(24, '2'), "2003-01-01", ""};
    struct Case {
        ViewKind kind;
        std::size_t column;
        const char* value;
        const char* message;
    } cases[] = {
        {ViewRegister, RegisterCol::closingDate, "2006-1-1", "Hibás zárás dátum!"},
        {ViewRegister, RegisterCol::openingDate, "2005-3-010", "Hibás nyitás dátum"},
        {ViewRegister, RegisterCol::companyNumber, "01-09-123456", "Hibás cégszám"},
        {ViewRegister, RegisterCol::companyNumber, "01091234567", nullptr},  // written as 0109123456
        {ViewAccountChange, AccountChangeCol::companyNumber, "99991234567", "Hibás cégszám (területi kód)!"},
        {ViewAccountChange, AccountChangeCol::companyNumber, "01-09-123456", "Hibás cégszám!"},
        {ViewAccountChange, AccountChangeCol::newClosingDate, "2004-1-1", "Hibás új zárás dátum"},
        {ViewInstitution, InstitutionCol::companyNumber, "01-10-1234", "Hibás cégszám!"},
        // An empty date is missing, as the editor's "Hibás ... dátum" would mislead.
        {ViewRegister, RegisterCol::openingDate, "", "Hiányzik a nyitás dátuma"},
        {ViewAccountChange, AccountChangeCol::originalOpeningDate, "", "Hiányzik a régi nyitás dátuma"},
        {ViewAccountChange, AccountChangeCol::newOpeningDate, "", "Hiányzik az új nyitás dátuma"},
        {ViewAccountChange, AccountChangeCol::originalClosingDate, "", "Hiányzik a régi zárás dátuma"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TestTables t;
        InstitutionEntry inst{"Bank", "0110041234", "12345678", "1000", "Budapest", "Fő", "utca", "1", "12345678"};
        inst[InstitutionCol::operationCode] = "Bejegyzés";
        AccountChangeEntry acc = goodChange;
        RegisterEntry reg = registerRow("0109123456");
        if (c.kind == ViewRegister) reg[c.column] = c.value;
        if (c.kind == ViewInstitution) inst[c.column] = c.value;
        if (c.kind == ViewAccountChange) acc[c.column] = c.value;
        t.tables.appendRow(ViewRegister, reg);
        t.tables.appendRow(ViewInstitution, inst);
        t.tables.appendRow(ViewAccountChange, acc);
        const RowCheck check = checkAllRows(t.tables, 20, 18);
        if (c.message == nullptr) {
            EXPECT_TRUE(check.faults.empty());
            continue;
        }
        ASSERT_EQ(check.faults.size(), 1u);
        EXPECT_EQ(check.faults[0].kind, c.kind);
        EXPECT_EQ(check.messages[check.faults[0].message], c.message);
    }
    // Two faulty dates: the message is the one the editor would give first
    // (the openings before the closings), not the first by column.
    TestTables t;
    AccountChangeEntry acc = goodChange;
    acc[AccountChangeCol::originalClosingDate] = "2002-1-1";
    acc[AccountChangeCol::newOpeningDate] = "2003-1-1";
    t.tables.appendRow(ViewAccountChange, acc);
    const RowCheck check = checkAllRows(t.tables, 20, 18);
    ASSERT_EQ(check.faults.size(), 1u);
    EXPECT_EQ(check.messages[check.faults[0].message], "Hibás új nyitás dátum");
}
