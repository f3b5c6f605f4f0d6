#include <gtest/gtest.h>

#include "import/apeh_import.h"
#include "test_support.h"

using namespace kovirant;

namespace {

std::string apehLine(const std::string& tax = "12345678", const std::string& account = "111111112222222233333333",
                     const std::string& date = "050301", char code = '1') {
    std::string line = "000001" + tax + "ABC" + account + date + std::string(168, '.') + code;
    return line;
}

struct ImportRun {
    ApehOutcome outcome;
    std::vector<std::string> questions;
};

class ApehTest : public ::testing::Test {
protected:
    void SetUp() override { dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    // Answers come from `answers` in order; once used up, Yes.
    ImportRun import(const std::string& bytes, std::vector<bool> answers = {}) {
        writeFile(dir / "apeh.txt", bytes);
        ImportRun run;
        std::size_t next = 0;
        run.outcome = ImportApehFile(dir / "apeh.txt", t.tables, [&](const std::string& q) {
            run.questions.push_back(q);
            return next < answers.size() ? static_cast<bool>(answers[next++]) : true;
        });
        return run;
    }
    std::string cell(std::size_t row, std::size_t col) { return std::string(t.tables.cell(ViewRegister, row, col)); }

    std::filesystem::path dir;
    TestTables t;
};

}  // namespace

TEST_F(ApehTest, OpeningAndClosingLines) {
    ImportRun r = import(apehLine() + "\r\n" + apehLine("87654321", "111111112222222233333333", "050301", '2') + "\r\n");
    EXPECT_EQ(r.outcome.status, ApehStatus::Completed);
    EXPECT_TRUE(r.questions.empty());
    ASSERT_EQ(t.tables.rowCounter(ViewRegister), 2);
    EXPECT_EQ(cell(0, RegisterCol::companyNumber), "");
    EXPECT_EQ(cell(0, RegisterCol::taxBaseNumber), "12345678");
    EXPECT_EQ(cell(0, RegisterCol::accountNumber), "111111112222222233333333");
    EXPECT_EQ(cell(0, RegisterCol::openingDate), "2005-03-01");
    EXPECT_EQ(cell(0, RegisterCol::closingDate), "");
    EXPECT_EQ(cell(0, RegisterCol::accountCode), "Bejegyzés");
    EXPECT_EQ(cell(1, RegisterCol::openingDate), "");
    EXPECT_EQ(cell(1, RegisterCol::closingDate), "2005-03-01");
    EXPECT_EQ(cell(1, RegisterCol::accountCode), "Törlés");
    EXPECT_EQ(t.tables.statusText(), " 2 tétel");
}

TEST_F(ApehTest, IndicatorCodes) {
    struct Case {
        char code;
        const char* accountCode;  // nullptr: the code question
    } cases[] = {{'U', "Bejegyzés"}, {'1', "Bejegyzés"}, {' ', "Bejegyzés"}, {'T', "Törlés"}, {'2', "Törlés"},
                 {'u', nullptr},     {'t', nullptr},     {'3', nullptr},    {'\xC9', nullptr}};
    for (const Case& c : cases) {
        t.tables.clearTable(ViewRegister);
        ImportRun r = import(apehLine("12345678", "111111112222222233333333", "050301", c.code) + "\n");
        if (c.accountCode) {
            EXPECT_TRUE(r.questions.empty()) << c.code;
            EXPECT_EQ(cell(0, RegisterCol::accountCode), c.accountCode) << c.code;
        } else {
            ASSERT_EQ(r.questions.size(), 1u) << c.code;
            EXPECT_EQ(r.questions[0], "Hibás jelzőkód: 1. sor. Folytatja ?");
            EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
        }
    }
}

TEST_F(ApehTest, ChecksRunInOrderAndNameTheLine) {
    struct Case {
        std::string line;
        std::string question;
    } cases[] = {
        {apehLine().substr(0, 215), "A sor nem 216 karakter hosszú: 2. sor. Folytatja ?"},
        {apehLine() + "x", "A sor nem 216 karakter hosszú: 2. sor. Folytatja ?"},
        {"", "A sor nem 216 karakter hosszú: 2. sor. Folytatja ?"},
        {apehLine("1234567a", "111111112222222233333333", "050301", 'x'),
         "Hibás karakter az törzsszámban: 2. sor. Folytatja ?"},  // the tax number first, not the code
        {apehLine("1234567\xE9"), "Hibás karakter az törzsszámban: 2. sor. Folytatja ?"},
        {apehLine("12345678", "111111112222222 33333333"),
         "Hibás karakter a pénzforgalmi jelzőszámban: 2. sor. Folytatja ?"},
        {apehLine("12345678", "11111111 2222222........"),
         "Hibás karakter a pénzforgalmi jelzőszámban: 2. sor. Folytatja ?"},
        {apehLine("12345678", "111111112222222233333333", "05 301"),
         "Hibás karakter a számla nyitás/zárás dátumában: 2. sor. Folytatja ?"},
        {apehLine("12345678", "111111112222222233333333", "0503\xB9" "1"),
         "Hibás karakter a számla nyitás/zárás dátumában: 2. sor. Folytatja ?"},
    };
    for (const Case& c : cases) {
        t.tables.clearTable(ViewRegister);
        ImportRun r = import(apehLine() + "\n" + c.line + "\n" + apehLine() + "\n");
        ASSERT_EQ(r.questions.size(), 1u) << c.line;
        EXPECT_EQ(r.questions[0], c.question);
        EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);  // Yes skipped the line
        EXPECT_EQ(r.outcome.status, ApehStatus::Completed);
    }
}

TEST_F(ApehTest, SpaceRuleOfTheAccountsTail) {
    ImportRun r = import(apehLine("12345678", "1111111122222222        ") + "\n" +
                   apehLine("12345678", "1111111122222222 3 3 3 3") + "\n");
    EXPECT_TRUE(r.questions.empty());
    EXPECT_EQ(cell(0, RegisterCol::accountNumber), "111111112222222200000000");
    EXPECT_EQ(cell(1, RegisterCol::accountNumber), "111111112222222203030303");
}

TEST_F(ApehTest, DateIsCheckedForDigitsOnly) {
    import(apehLine("12345678", "111111112222222233333333", "051399") + "\n");
    EXPECT_EQ(cell(0, RegisterCol::openingDate), "2005-13-99");
}

TEST_F(ApehTest, NoStopsAndKeepsTheRowsBefore) {
    std::string file;
    for (int i = 0; i < 4; ++i) file += apehLine() + "\r\n";
    file += "short\r\n" + apehLine() + "\r\n";
    ImportRun r = import(file, {false});
    EXPECT_EQ(r.outcome.status, ApehStatus::Stopped);
    EXPECT_EQ(r.questions, std::vector<std::string>{"A sor nem 216 karakter hosszú: 5. sor. Folytatja ?"});
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 4);
}

TEST_F(ApehTest, LineNumbersCountSkippedAndSplitLines) {
    // Line 3 is 217 characters; after Yes the next bad line is numbered 4.
    std::string file = apehLine() + "\n" + apehLine() + "\n" + apehLine() + "x\n" + "bad\n";
    ImportRun r = import(file);
    EXPECT_EQ(r.questions, (std::vector<std::string>{"A sor nem 216 karakter hosszú: 3. sor. Folytatja ?",
                                                     "A sor nem 216 karakter hosszú: 4. sor. Folytatja ?"}));
    // A line of 2,100 characters is three pieces, each a line of its own.
    t.tables.clearTable(ViewRegister);
    r = import(std::string(2100, '1') + "\n" + "x\n");
    ASSERT_EQ(r.questions.size(), 4u);
    EXPECT_EQ(r.questions[3], "A sor nem 216 karakter hosszú: 4. sor. Folytatja ?");
    EXPECT_EQ(r.outcome.lines, 4);
}

TEST_F(ApehTest, LineEndsCtrlZAndEmptyFiles) {
    ImportRun lf = import(apehLine() + "\n" + apehLine() + "\n");
    t.tables.clearTable(ViewRegister);
    ImportRun crlf = import(apehLine() + "\r\n" + apehLine() + "\r\n\x1A" + "garbage\r\n");
    EXPECT_TRUE(crlf.questions.empty());
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);
    t.tables.clearTable(ViewRegister);
    ImportRun noEnd = import(apehLine());
    EXPECT_TRUE(noEnd.questions.empty());
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    t.tables.clearTable(ViewRegister);
    ImportRun empty = import("");
    EXPECT_EQ(empty.outcome.status, ApehStatus::Completed);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
    ImportRun blankAtEnd = import(apehLine() + "\n\n");
    EXPECT_EQ(blankAtEnd.questions, std::vector<std::string>{"A sor nem 216 karakter hosszú: 2. sor. Folytatja ?"});
}

TEST_F(ApehTest, BinaryAndNulBytesNeverMakeARow) {
    std::string withNul = apehLine();
    withNul[10] = '\0';
    std::string binary;
    for (int i = 0; i < 100000; ++i) binary += static_cast<char>((i * 37 + 11) % 256);
    ImportRun r = import(withNul + "\n" + binary + std::string(50 << 20, 'x'));
    EXPECT_EQ(r.outcome.status, ApehStatus::Completed);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
    EXPECT_EQ(r.questions.front(), "Hibás karakter az törzsszámban: 1. sor. Folytatja ?");
}

TEST_F(ApehTest, MissingFile) {
    ApehOutcome o = ImportApehFile(dir / "none.txt", t.tables, [](const std::string&) { return true; });
    EXPECT_EQ(o.status, ApehStatus::CannotOpen);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
}

TEST_F(ApehTest, ExampleFilesImportAsDescribed) {
    const std::filesystem::path examples = std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples";
    std::vector<std::string> questions;
    ApehOutcome good = ImportApehFile(examples / "apeh-protocol.txt", t.tables, [&](const std::string& q) {
        questions.push_back(q);
        return true;
    });
    EXPECT_EQ(good.status, ApehStatus::Completed);
    EXPECT_TRUE(questions.empty());
    EXPECT_GE(t.tables.rowCounter(ViewRegister), 24);
    ApehOutcome faulty = ImportApehFile(examples / "apeh-protocol-faulty.txt", t.tables, [&](const std::string& q) {
        questions.push_back(q);
        return true;
    });
    EXPECT_EQ(faulty.status, ApehStatus::Completed);
    ASSERT_EQ(questions.size(), 5u);
    EXPECT_NE(questions[0].find("216"), std::string::npos);
    EXPECT_NE(questions[1].find("törzsszámban"), std::string::npos);
    EXPECT_NE(questions[2].find("jelzőszámban"), std::string::npos);
    EXPECT_NE(questions[3].find("dátumában"), std::string::npos);
    EXPECT_NE(questions[4].find("jelzőkód"), std::string::npos);
}
