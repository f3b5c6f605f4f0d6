#include <gtest/gtest.h>

#include "app/commands.h"
#include "directory/company_directory.h"
#include "fake_shell.h"
#include "report/report_writer.h"
#include "test_support.h"
#include "text/cp1250.h"

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
        {"10000000;10-5-123456;", "10000000", "1005123456", ""},          // each part padded on its own
        {"10000000;10-05-123456-1;", nullptr, nullptr, nullptr},          // four parts
        {"10000000;1009-123456;", nullptr, nullptr, nullptr},             // two parts
        {"10000000;10091234;", nullptr, nullptr, nullptr},                // 8 digits: not a lost zero
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
    const std::string file =
        "\xEF\xBB\xBF" "11111111;01-01-000001;\xC5\x90rs\xC3\xA9g Bt.\n22222222;01-01-000002;x\n"
        "11111111;02-02-000002;\n";
    CompanyDirectory d = CompanyDirectory::parse(file);
    ASSERT_EQ(d.size(), 3u);  // both lines of a repeated tax number stay
    EXPECT_EQ(d.duplicates(), 1u);
    EXPECT_EQ(d.companyOf("11111111"), std::optional<std::string_view>("0202000002"));  // the later line answers
    EXPECT_EQ(d.serialize(), file);
    EXPECT_FALSE(d.companyOf("1111111").has_value());
    // Learning updates the later line; the earlier one and its name stay.
    EXPECT_TRUE(d.learn("11111111", "0303000003", "Őrség Kft."));
    EXPECT_EQ(d.serialize(), "\xEF\xBB\xBF" "11111111;01-01-000001;\xC5\x90rs\xC3\xA9g Bt.\n22222222;01-01-000002;x\n"
                             "11111111;03-03-000003;\xC5\x90rs\xC3\xA9g Kft.\n");
}

// New lines as the file writes its own: CR-only line ends (read in linear
// time), plain numbers in a column of plain numbers; a file in an encoding it
// cannot write, even an empty one, is never appended to.
TEST(CompanyDirectory, NewLinesFollowTheFilesOwnForm) {
    std::string crOnly = "T\xF6rzssz\xE1m;C\xE9gsz\xE1m;C\xE9gn\xE9v\r";
    for (int i = 0; i < 100000; ++i) crOnly += std::to_string(10000000 + i) + ";0109" + std::to_string(100000 + i) + ";\r";
    CompanyDirectory d = CompanyDirectory::parse(crOnly);  // quadratic, this took seconds
    ASSERT_EQ(d.size(), 100000u);
    d.learn("99999999", "0109999999", "");
    EXPECT_EQ(d.serialize(), crOnly + "99999999;0109999999;\r");  // and plain, as the others

    CompanyDirectory hyphens = CompanyDirectory::parse("11111111;01-09-000001;A\r\n");
    hyphens.learn("22222222", "0109000002", "B");
    EXPECT_EQ(hyphens.serialize(), "11111111;01-09-000001;A\r\n22222222;01-09-000002;B\r\n");

    for (const char* mark : {"\xFF\xFE", "\xFE\xFF", "\xFF\xFE" "1\0" "1\0;\0"}) {
        const CompanyDirectory utf16 = CompanyDirectory::parse(mark);
        EXPECT_TRUE(utf16.unintelligible());
    }
}

// Everything the program did not learn stays byte for byte: the encoding and
// its letters, extra columns, comments, blank and unreadable lines, each
// line's own end; a learnt line keeps its other columns and a new line has
// as many fields as the header.
// The slots grow from their least as companies are learnt: every tax number
// (runs of neighbours, whose homes are neighbours, and numbers far apart)
// is found again with its own company, and learnt once.
TEST(CompanyDirectory, EveryCompanyIsFoundAfterTheSlotsGrow) {
    CompanyDirectory d = CompanyDirectory::parse("");
    auto taxOf = [](int i) { return std::to_string(10000000 + (i % 2 ? i : i * 4999) % 90000000); };
    auto companyOf = [](int i) { return "0109" + std::to_string(100000 + i); };
    constexpr int kCompanies = 5000;
    for (int i = 0; i < kCompanies; ++i) ASSERT_TRUE(d.learn(taxOf(i), companyOf(i), "", LearnMode::AddOnly)) << i;
    ASSERT_EQ(d.size(), static_cast<std::size_t>(kCompanies));
    for (int i = 0; i < kCompanies; ++i) {
        EXPECT_EQ(d.companyOf(taxOf(i)), std::optional<std::string_view>(companyOf(i))) << i;
        EXPECT_FALSE(d.learn(taxOf(i), companyOf(i), "", LearnMode::AddOnly)) << i;
    }
    EXPECT_FALSE(d.companyOf("99999998").has_value());
}

TEST(CompanyDirectory, ARewriteChangesOnlyTheLinesItLearnt) {
    struct Case {
        const char* name;
        std::string file, learnt;
    } cases[] = {
        {"UTF-8 with its mark",
         "\xEF\xBB\xBF" "T\xC3\xB6rzssz\xC3\xA1m;C\xC3\xA9gsz\xC3\xA1m;C\xC3\xA9gn\xC3\xA9v\r\n"
         "# \xE2\x84\x96 megjegyz\xC3\xA9s\r\n11111111;01-09-000001;\xC3\x85ngstr\xC3\xB6m AB\r\n",
         "22222222;01-09-000002;\xC5\x90rs\xC3\xA9g Kft.\r\n"},
        {"Windows-1250, extra columns, mixed line ends, no end on the last line",
         "Törzsszám;Cégszám;Cégnév;Cím;Megjegyzés\r\n11111111;0109000001;Alfa Kft.;Budapest, Fő utca 1.;hívni kedden\n"
         "\r\nnem olvasható;sor\r\n33333333;01-09-000003;\"Gamma; Bt.\";;",
         "\r\n22222222;01-09-000002;Őrség Kft.;;\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CompanyDirectory d = CompanyDirectory::parse(c.file);
        EXPECT_EQ(d.serialize(), c.file);
        EXPECT_TRUE(d.learn("22222222", "0109000002", "Őrség Kft."));
        EXPECT_EQ(d.serialize(), c.file + c.learnt);
    }
    // A learnt line keeps its columns beyond the name and its line end.
    CompanyDirectory d = CompanyDirectory::parse(cases[1].file);
    EXPECT_TRUE(d.learn("11111111", "0202000009", ""));
    std::string expected = cases[1].file;
    expected.replace(expected.find("0109000001"), 10, "02-02-000009");
    EXPECT_EQ(d.serialize(), expected);
}

// An entry the register editor would refuse is never filled: a company number
// that is not 10 digits (9 are a dropped leading zero) or whose codes are
// beyond maxtk and maxcf is an unreadable line.
TEST(CompanyDirectory, RefusedCompanyNumbersAreUnreadableLines) {
    const char* file =
        "Törzsszám;Cégszám;Cégnév\r\n11111111;123;rövid\r\n22222222;99-99-123456;kód\r\n"
        "33333333;21-09-123456;terület\r\n44444444;01-19-123456;forma\r\n55555555;109123456;jó\r\n";
    const CompanyDirectory d = CompanyDirectory::parse(file, {20, 18});
    EXPECT_EQ(d.unreadableLines(), 4u);
    EXPECT_FALSE(d.companyOf("11111111").has_value());
    EXPECT_FALSE(d.companyOf("22222222").has_value());
    EXPECT_EQ(d.companyOf("55555555"), std::optional<std::string_view>("0109123456"));
    EXPECT_EQ(CompanyDirectory::parse(file, {21, 19}).unreadableLines(), 2u);  // the limits in force decide
}

// A stray opening quote makes only its own line unreadable; the lines it would
// swallow are entries, and the rewrite keeps the broken line as it was.
TEST(CompanyDirectory, AStrayQuoteSwallowsNoEntries) {
    for (const std::string tail : {"", "\"\r\n"}) {
        const std::string file = "Törzsszám;Cégszám;Cégnév\r\n11111111;01-09-000001;\"Alfa Kft.\r\n"
                                 "22222222;01-09-000002;Béta\r\n33333333;01-09-000003;Gamma\r\n" + tail;
        SCOPED_TRACE(tail);
        CompanyDirectory d = CompanyDirectory::parse(file);
        EXPECT_EQ(d.size(), 2u);
        EXPECT_EQ(d.unreadableLines(), tail.empty() ? 1u : 2u);
        EXPECT_TRUE(d.learn("44444444", "0109000004", ""));
        EXPECT_EQ(d.serialize(), file + "44444444;01-09-000004;\r\n");
    }
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

// A save archives the report; the fill then gives a later closing of the
// same account its opening date from the archive, in one undo step.
TEST_F(DirectoryCommandTest, TheFillTakesAClosingsOpeningFromTheArchive) {
    t.tables.appendRow(ViewRegister, registerRow("0109123456", "12345676", "111111110000000000000000", "2026-11-02"));
    shell.files = {dir / "r.xml"};
    onCommand(state, shell, kCmdSaveReport);
    ASSERT_TRUE(std::filesystem::exists(dir / "Archivum" / "naplo.csv"));

    t.tables.clearTable(ViewRegister);
    t.tables.appendRow(ViewRegister, registerRow("", "12345676", "111111110000000000000000", "", "2026-11-28", "Törlés"));
    onCommand(state, shell, kCmdFillFromDirectory);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::openingDate), "2026-11-02");
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::companyNumber), "0109123456");  // the directory's
    EXPECT_NE(shell.lastText().find("0 sor cégszámát és 1 zárás nyitás dátumát"), std::string::npos) << shell.lastText();
    onCommand(state, shell, kCmdUndo);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::openingDate), "");
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::companyNumber), "");
    // Without a directory the archived reports still fill, and the message says both.
    std::filesystem::remove(file);
    onCommand(state, shell, kCmdFillFromDirectory);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::openingDate), "2026-11-02");
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::companyNumber), "0109123456");
    EXPECT_EQ(shell.lastText().rfind("Nincs cégtár", 0), 0u);
    EXPECT_NE(shell.lastText().find("1 sor cégszámát és 1 zárás nyitás dátumát"), std::string::npos) << shell.lastText();
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

// A reload teaches only the companies of the report it read, and only those
// the directory lacks; unsaved rows already in the tables teach nothing. A save
// teaches what it wrote, replacing a known number.
TEST_F(DirectoryCommandTest, AReloadOnlyAddsItsOwnCompaniesAndASaveReplaces) {
    writeFile(file, "Törzsszám;Cégszám;Cégnév\r\n12345678;01-09-111111;\r\n");
    {
        TestTables old;
        old.tables.appendRow(ViewRegister, registerRow("0109222222", "12345678"));
        old.tables.appendRow(ViewRegister, registerRow("0109333333", "23456789"));
        ASSERT_EQ(WriteReport(dir / "old.xml", old.tables, state.settings()).status, ReportStatus::Written);
    }
    t.tables.appendRow(ViewRegister, registerRow("0109444444", "34567890"));  // typed, unsaved
    state.tables.ReportPending = true;
    shell.files = {dir / "old.xml"};
    shell.answers = {true};  // append
    onCommand(state, shell, kCmdLoadReport);
    ASSERT_EQ(t.tables.rowCounter(ViewRegister), 3);
    EXPECT_EQ(readFile(file), "Törzsszám;Cégszám;Cégnév\r\n12345678;01-09-111111;\r\n23456789;01-09-333333;\r\n");

    shell.files = {dir / "new.xml"};
    onCommand(state, shell, kCmdSaveReport);
    EXPECT_EQ(readFile(file), "Törzsszám;Cégszám;Cégnév\r\n12345678;01-09-222222;\r\n23456789;01-09-333333;\r\n"
                              "34567890;01-09-444444;\r\n");
}

// Files made by a spreadsheet program (tests/data/directory/README.md): each
// separator and encoding is found, the same rows are filled, and a learning
// save changes only the learnt line and appends in the file's own format.
TEST(CompanyDirectory, FilesFromSpreadsheetsInEveryFormat) {
    struct Case {
        const char* file;
        char separator;
        DirectoryEncoding encoding;
    } cases[] = {
        {"comma-1250.csv", ',', DirectoryEncoding::Windows1250},
        {"semicolon-utf8.csv", ';', DirectoryEncoding::Utf8},
        {"semicolon-1250.csv", ';', DirectoryEncoding::Windows1250},
        {"semicolon-utf8-mark.csv", ';', DirectoryEncoding::Utf8WithMark},
        {"tab-1250.csv", '\t', DirectoryEncoding::Windows1250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = readFile(std::filesystem::path(KOVIRANT_SOURCE_DIR) / "tests/data/directory" / c.file);
        CompanyDirectory d = CompanyDirectory::parse(bytes);
        EXPECT_EQ(d.separator(), c.separator);
        EXPECT_EQ(d.encoding(), c.encoding);
        EXPECT_EQ(d.unreadableLines(), 0u);
        TestTables t;
        for (const char* tax : {"10625790", "01234566", "20866022", "87654323"}) t.tables.appendRow(ViewRegister, registerRow("", tax));
        const FillResult filled = fillCompanyNumbers(d, t.tables);
        EXPECT_EQ(filled.filled, 3u);
        EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::companyNumber), "0110041683");
        EXPECT_EQ(t.tables.cell(ViewRegister, 1, RegisterCol::companyNumber), "1309123456");  // its lost zero restored

        EXPECT_TRUE(d.learn("20866022", "0202000002", ""));
        EXPECT_TRUE(d.learn("87654323", "0109123456", "Új, Kft."));
        const std::string written = d.serialize();
        const std::string lineEnd = "\n";
        const std::string sep(1, c.separator);
        const std::string name = c.encoding == DirectoryEncoding::Windows1250 ? "Új, Kft." : cp1250ToUtf8("Új, Kft.");
        const std::string newName = c.separator == ',' ? "\"" + name + "\"" : name;
        std::string expected = bytes;
        expected.replace(expected.find("01-01-010000"), 12, "02-02-000002");
        expected += "87654323" + sep + "01-09-123456" + sep + newName + sep + lineEnd;
        EXPECT_EQ(written, expected);
        const CompanyDirectory again = CompanyDirectory::parse(written);
        EXPECT_EQ(again.companyOf("87654323"), std::optional<std::string_view>("0109123456"));
        EXPECT_EQ(again.companyOf("20866022"), std::optional<std::string_view>("0202000002"));
    }
}

// A file none of whose lines is an entry says so in the fill's message and is
// never appended to; Excel's "sep=" line decides and stays.
TEST_F(DirectoryCommandTest, AFileItCannotReadIsSaidAndLeftAlone) {
    const std::string unknown = "<html>\r\n<table><tr><td>12345676</td><td>01-09-123456</td></tr></table>\r\n";
    writeFile(file, unknown);
    t.tables.appendRow(ViewRegister, registerRow("", "12345676"));
    onCommand(state, shell, kCmdFillFromDirectory);
    EXPECT_EQ(shell.lastText(), "A cégtár (" + (file).string() + ") egyetlen sorát sem tudtam értelmezni.");
    t.tables.writeCell(ViewRegister, 0, RegisterCol::companyNumber, "0109123456");
    shell.files = {dir / "r.xml"};
    onCommand(state, shell, kCmdSaveReport);
    EXPECT_EQ(readFile(file), unknown);

    writeFile(file, "sep=,\r\n12345676,01-09-123456,Alfa\r\n");
    const CompanyDirectory d = loadDirectory(file).directory;
    EXPECT_EQ(d.separator(), ',');
    EXPECT_EQ(d.companyOf("12345676"), std::optional<std::string_view>("0109123456"));
}
