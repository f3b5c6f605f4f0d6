#include <gtest/gtest.h>

#include "app/commands.h"
#include "directory/company_directory.h"
#include "fake_shell.h"
#include "report/report_writer.h"
#include "test_support.h"

using namespace kovirant;

TEST(CompanyDirectory, ReadsWhatASpreadsheetLeaves) {
    struct Case {
        const char* line;
        const char* tax;      // expected entry, or nullptr for an unreadable line
        const char* company;
        const char* name;
    } cases[] = {
        {"12345678;01-09-123456;Alfa Kft.", "12345678", "0109123456", "Alfa Kft."},
        {"2345678;1-09-000001;", "02345678", "0109000001", ""},           // lost leading zeros
        {" 34567890 ;13/10/ 123456", "34567890", "1310123456", ""},       // blanks and slashes
        {"45678901;109123456;\"Béta; \"\"Gamma\"\" Zrt.\"", "45678901", "0109123456", "Béta; \"Gamma\" Zrt."},
        {"56789012;\"01-09-654321\";\"Két\r\nsoros\"", "56789012", "0109654321", "Két\r\nsoros"},
        {"123456789;01-09-123456;túl hosszú", nullptr, nullptr, nullptr},
        {"12345678;01-09-12345a;betű", nullptr, nullptr, nullptr},
        {"12345678", nullptr, nullptr, nullptr},
        {"\x01\xFF junk", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CompanyDirectory d = CompanyDirectory::parse(std::string(kDirectoryHeader) + "\r\n" + c.line + "\r\n");
        if (c.tax == nullptr) {
            EXPECT_EQ(d.size(), 0u);
            EXPECT_EQ(d.unreadableLines(), 1u);
            // Kept as it was by a rewrite.
            EXPECT_NE(d.serialize().find(c.line), std::string::npos);
            continue;
        }
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d.entries()[0].taxNumber(), c.tax);
        EXPECT_EQ(d.entries()[0].companyNumber(), c.company);
        EXPECT_EQ(d.entries()[0].name, c.name);
        // A rewrite reads back the same.
        const CompanyDirectory again = CompanyDirectory::parse(d.serialize());
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(again.entries()[0].companyNumber(), c.company);
        EXPECT_EQ(again.entries()[0].name, c.name);
    }
}

TEST(CompanyDirectory, Utf8WithoutHeaderDuplicatesAndTheWrittenForm) {
    const CompanyDirectory d = CompanyDirectory::parse(
        "\xEF\xBB\xBF" "11111111;01-01-000001;\xC5\x90rs\xC3\xA9g Bt.\n22222222;01-01-000002;x\n"
        "11111111;02-02-000002;\n");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.duplicates(), 1u);
    EXPECT_EQ(d.companyOf("11111111"), std::optional<std::string_view>("0202000002"));  // the later line wins
    EXPECT_EQ(d.serialize(),
              "Törzsszám;Cégszám;Cégnév\r\n11111111;02-02-000002;\r\n22222222;01-01-000002;x\r\n");
    EXPECT_FALSE(d.companyOf("1111111").has_value());
}

TEST(CompanyDirectory, LearnsWellFormedRowsAndFillsOnlyEmptyCompanyNumbers) {
    TestTables t;
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345678"));
    t.tables.appendRow(ViewRegister, registerRow("2109123456", "23456789"));  // area code beyond maxtk
    t.tables.appendRow(ViewRegister, registerRow("01091234", "34567890"));    // too short
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank Zrt.", "0110041234", "45678901"});
    CompanyDirectory d;
    EXPECT_EQ(learnFromTables(d, t.tables, 20, 18), 2u);
    EXPECT_EQ(d.entries()[1].name, "Bank Zrt.");
    EXPECT_EQ(learnFromTables(d, t.tables, 20, 18), 0u);  // nothing new
    d.learn("45678901", "0110041234", "");
    EXPECT_EQ(d.entries()[1].name, "Bank Zrt.");  // an empty name keeps the stored one

    TestTables next;
    next.tables.appendRow(ViewRegister, registerRow("", "12345678"));
    next.tables.appendRow(ViewRegister, registerRow("0202000002", "12345678"));
    next.tables.appendRow(ViewRegister, registerRow("", "99999999"));
    next.tables.appendRow(ViewAccountChange, AccountChangeEntry{"45678901", ""});
    const FillResult r = fillCompanyNumbers(d, next.tables);
    EXPECT_EQ(r.filled, 2u);
    EXPECT_EQ(r.missing, 1u);
    EXPECT_EQ(next.tables.cell(ViewRegister, 0, RegisterCol::companyNumber), "0109123456");
    EXPECT_EQ(next.tables.cell(ViewRegister, 1, RegisterCol::companyNumber), "0202000002");
    EXPECT_EQ(next.tables.cell(ViewAccountChange, 0, AccountChangeCol::companyNumber), "0110041234");
    EXPECT_EQ(next.tables.cell(ViewRegister, 0, RegisterCol::accountNumber), "111111112222222233333333");
}

namespace {

class DirectoryCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n");
        onCreate(state, shell, dir);
        file = directoryPath(dir);
    }
    std::filesystem::path dir, file;
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
};

}  // namespace

TEST_F(DirectoryCommandTest, ASavedReportTeachesTheDirectoryAndTheCommandFills) {
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345678"));
    shell.files = {dir / "r.xml"};
    onCommand(state, shell, kCmdSaveReport);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"A jelentés sikeresen elkészült"});
    EXPECT_EQ(readFile(file), "Törzsszám;Cégszám;Cégnév\r\n12345678;01-09-123456;\r\n");

    t.tables.clearTable(ViewRegister);
    t.tables.appendRow(ViewRegister, registerRow("", "12345678"));
    t.tables.appendRow(ViewRegister, registerRow("", "87654321"));
    state.tables.ReportPending = false;
    onCommand(state, shell, kCmdFillFromDirectory);
    EXPECT_EQ(shell.lastText(), "A cégtárból 1 sor cégszámát töltöttem ki. Cégszám nélkül maradt: 1 sor.");
    EXPECT_EQ(shell.messages.back().icon, MessageIcon::Information);
    EXPECT_TRUE(shell.messages.back().ownedByMainWindow);
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
}

TEST_F(DirectoryCommandTest, WithoutADirectoryTheCommandSaysHowOneIsMade) {
    t.tables.appendRow(ViewRegister, registerRow("", "12345678"));
    onCommand(state, shell, kCmdFillFromDirectory);
    EXPECT_EQ(shell.lastText().rfind("Nincs cégtár", 0), 0u);
    EXPECT_FALSE(state.tables.ReportPending);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
}

TEST_F(DirectoryCommandTest, ADirectoryThatCannotBeReadIsNeverReplacedAndTheSaveStillSucceeds) {
    std::filesystem::create_directory(file);  // cannot be read as a file
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345678"));
    state.tables.ReportPending = true;
    shell.files = {dir / "r.xml"};
    onCommand(state, shell, kCmdSaveReport);
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.texts()[0], "A jelentés sikeresen elkészült");
    EXPECT_EQ(shell.messages[1].icon, MessageIcon::Warning);
    EXPECT_NE(shell.texts()[1].find("Hibakód="), std::string::npos);
    EXPECT_FALSE(state.tables.ReportPending);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}
