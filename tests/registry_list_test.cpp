#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/registry_list.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/format.h"

using namespace kovirant;

namespace {

// Each account line as "LINE: company tax account opening closing from
// until" ('.' for an empty date), each unused line as "LINE! reason" (a
// header "LINE? fejléc").
std::vector<std::string> readBack(const RegistryListOutcome& o) {
    std::vector<std::string> out;
    auto date = [](std::uint32_t d) { return d == 0 ? std::string(".") : dateText(d); };
    for (const RegistryLine& a : o.accounts)
        out.push_back(std::to_string(a.line) + ": " + companyText(a.company) + " " + taxText(a.tax) + " " +
                      accountText(a.account) + " " + date(a.opening) + " " + date(a.closing) + " " + date(a.from) +
                      " " + date(a.until));
    for (const UnusedLine& u : o.unused) out.push_back(std::to_string(u.line) + (u.header ? "? " : "! ") + u.reason);
    return out;
}

struct ReaderCase {
    const char* name;
    std::string text;
    std::vector<std::string> want;  // the account lines, then the unused ones
    bool fixed = false;
};

const std::string kAcc = "111111112222222233333333";
const std::string kDates = " 2020-01-02 - 2020-01-10 -";
const std::string kRead = " 2020-01-02 . 2020-01-10 .";

}  // namespace

// Every form of every field, empty dates by placeholders, by a missing
// trailing field and by blanks in fixed columns, a header, the line ends
// and the code pages; lines that cannot be read without doubt are listed.
TEST(RegistryList, FieldsAreReadByTheirShapeAndNothingIsGuessed) {
    const std::string c = "0109123456 12345678 ";
    const std::vector<ReaderCase> cases = {
        {"company forms",
         "0109123456 12345678 " + kAcc + kDates + "\n01-09-123456 12345678 " + kAcc + kDates + "\nCg.01-09-123456 12345678 " +
             kAcc + kDates + "\nCg. 01-09-123456 12345678 " + kAcc + kDates + "\nCg.0109123456 12345678 " + kAcc + kDates +
             "\nCg. 0109123456 12345678 " + kAcc + kDates + "\n01-09-12345 12345678 " + kAcc + kDates +
             "\n0109-123456 12345678 " + kAcc + kDates + "\n",
         {"1: 0109123456 12345678 " + kAcc + kRead, "2: 0109123456 12345678 " + kAcc + kRead,
          "3: 0109123456 12345678 " + kAcc + kRead, "4: 0109123456 12345678 " + kAcc + kRead,
          "5: 0109123456 12345678 " + kAcc + kRead, "6: 0109123456 12345678 " + kAcc + kRead,
          "7! hibás cégjegyzékszám: 01-09-12345", "8! hibás cégjegyzékszám: 0109-123456"}},
        {"tax forms",
         "0109123456 12345678 " + kAcc + kDates + "\n0109123456 12345678242 " + kAcc + kDates + "\n0109123456 12345678-2-42 " +
             kAcc + kDates + "\n0109123456 1234567 " + kAcc + kDates + "\n0109123456 12345678-242 " + kAcc + kDates + "\n",
         {"1: 0109123456 12345678 " + kAcc + kRead, "2: 0109123456 12345678 " + kAcc + kRead,
          "3: 0109123456 12345678 " + kAcc + kRead, "4! hibás adószám: 1234567", "5! hibás adószám: 12345678-242"}},
        {"account forms",
         c + "1111111122222222" + kDates + "\n" + c + "11111111-22222222" + kDates + "\n" + c + kAcc + kDates + "\n" + c +
             "11111111-22222222-33333333" + kDates + "\n" + c + "11111111-2222222233333333" + kDates + "\n" + c +
             "111111112222222233" + kDates + "\n",
         {"1: 0109123456 12345678 111111112222222200000000" + kRead, "2: 0109123456 12345678 111111112222222200000000" + kRead,
          "3: 0109123456 12345678 " + kAcc + kRead, "4: 0109123456 12345678 " + kAcc + kRead,
          "5! hibás számlaszám: 11111111-2222222233333333", "6! hibás számlaszám: 111111112222222233"}},
        {"date forms and days that do not exist",
         c + kAcc + " 2020-01-02 2020.03.04 2020.05.06. 2020/07/08\n" + c + kAcc + " 20200910 - - -\n" + c + kAcc +
             " 2021-02-30 - - -\n" + c + kAcc + " 2020-01-02 2021-13-01 - -\n" + c + kAcc + " 2020-01-02 - 2021.01-02 -\n" +
             c + kAcc + " 2020-01-02 - - 2O21-01-02\n" + c + kAcc + " 2024.02.29. - - -\n",
         {"1: 0109123456 12345678 " + kAcc + " 2020-01-02 2020-03-04 2020-05-06 2020-07-08",
          "2: 0109123456 12345678 " + kAcc + " 2020-09-10 . . .", "7: 0109123456 12345678 " + kAcc + " 2024-02-29 . . .",
          "3! nincs ilyen nap (nyitás): 2021-02-30", "4! nincs ilyen nap (zárás): 2021-13-01",
          "5! hibás dátum (hattól): 2021.01-02", "6! hibás dátum (hatig): 2O21-01-02"}},
        {"placeholders and a missing trailing field where the file marks empty fields",
         c + kAcc + " - . 0000-00-00 0000.00.00\n" + c + kAcc + " 00000000 2020-01-02 0000.00.00. 0000/00/00\n" + c + kAcc +
             " 2020-01-02 - 2020-01-10\n" + c + kAcc + " 2020-01-02\n" + c + kAcc + "\n",
         {"1: 0109123456 12345678 " + kAcc + " . . . .", "2: 0109123456 12345678 " + kAcc + " . 2020-01-02 . .",
          "3: 0109123456 12345678 " + kAcc + " 2020-01-02 . 2020-01-10 .",
          "4: 0109123456 12345678 " + kAcc + " 2020-01-02 . . .", "5: 0109123456 12345678 " + kAcc + " . . . ."}},
        {"without placeholders, fewer dates than fields cannot be placed",
         c + kAcc + " 2020-01-02 2020-01-10\n" + c + kAcc + " 2020-01-02 2021-01-02 2020-01-10 2021-01-10\n" + c + kAcc +
             " 2020-01-02 2020-01-10 2021-01-10\n" + c + kAcc + "\n" + c + kAcc +
             " 2020-01-02 2021-01-02 2020-01-10 2021-01-10 2021-01-11\n",
         {"2: 0109123456 12345678 " + kAcc + " 2020-01-02 2021-01-02 2020-01-10 2021-01-10",
          "4: 0109123456 12345678 " + kAcc + " . . . .",
          "1! 2 dátum a négy helyén: nem dönthető el, melyik mező üres",
          "3! 3 dátum a négy helyén: nem dönthető el, melyik mező üres", "5! túl sok mező (5 dátum a négy helyén)"}},
        {"fixed columns: blanks are the empty dates",
         "Cg. 01-09-123456 12345678 " + kAcc + " 2020-01-02            2020-01-10           \n" +
             "Cg. 01-09-123457 12345679 " + kAcc + " 2020-01-02 2021-05-05 2020-01-10 2021-05-06\n" +
             "Cg. 01-09-123458 12345670 " + kAcc + "            2021-05-05            2021-05-06\n" +
             "Cg. 01-09-123459 12345671 " + kAcc + "            2021-02-30            2021-05-06\n",
         {"1: 0109123456 12345678 " + kAcc + " 2020-01-02 . 2020-01-10 .",
          "2: 0109123457 12345679 " + kAcc + " 2020-01-02 2021-05-05 2020-01-10 2021-05-06",
          "3: 0109123458 12345670 " + kAcc + " . 2021-05-05 . 2021-05-06", "4! nincs ilyen nap (zárás): 2021-02-30"},
         true},
        {"a UTF-8 mark, a header, CR LF, a blank line and a later line that is no data",
         std::string(kUtf8ByteOrderMark) + cp1250ToUtf8("Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig") +
             "\r\nLista: 2026.12.01\r\n" + c + kAcc + kDates + "\r\n\r\n" + cp1250ToUtf8("lista vége") + "\r\n",
         {"3: 0109123456 12345678 " + kAcc + kRead, "1? fejléc", "2? fejléc", "5! nem számlasor"},
         true},
        {"Windows-1250, CR line ends, LF mixed in",
         "Cégjegyzékszám Adószám Számlaszám\r" + c + kAcc + kDates + "\r" + c + kAcc + kDates + "\n" + c + "x" + kDates,
         {"2: 0109123456 12345678 " + kAcc + kRead, "3: 0109123456 12345678 " + kAcc + kRead, "1? fejléc",
          "4! hibás számlaszám: x"},
         true},
    };
    for (const ReaderCase& k : cases) {
        const RegistryListOutcome o = parseRegistryList(k.text);
        EXPECT_TRUE(o.ok()) << k.name;
        EXPECT_EQ(readBack(o), k.want) << k.name;
        EXPECT_EQ(o.fixedColumns, k.fixed) << k.name;
        EXPECT_EQ(o.accounts.size() + o.unreadable + o.headers + o.blank, o.lines) << k.name;
    }
    // The header's text is shown in the program's code page.
    const RegistryListOutcome utf8 = parseRegistryList(cases[7].text);
    EXPECT_TRUE(utf8.utf8);
    ASSERT_EQ(utf8.unused.size(), 3u);
    EXPECT_EQ(utf8.unused[0].text, "Cégjegyzékszám Adószám Számlaszám Nyitás Zárás Hattól Hatig");
    EXPECT_EQ(utf8.unused[2].text, "lista vége");
    EXPECT_EQ(utf8.lines, 5u);
    EXPECT_EQ(utf8.blank, 1u);
    EXPECT_EQ(parseRegistryList(std::string("\xFF\xFE" "0\0" "1\0", 6)).status, RegistryListStatus::NotText);
    EXPECT_EQ(readRegistryList("/nonexistent/lista.txt").status, RegistryListStatus::CannotOpen);
}

// A file is read a piece at a time: a line across the pieces' border, and a
// CR LF whose CR ends a piece, read as in one text.
TEST(RegistryList, AFileIsReadAsItsWholeText) {
    const auto dir = freshTempDir("registry-file");
    struct Layout {
        std::string end;
        std::size_t header, line;  // lengths with the line end
    };
    // 65 + 64k + 62 is 2^20 - 1 for some k: a CR is the last byte of a piece.
    for (const Layout& l : {Layout{"\r\n", 65, 64}, Layout{"\n", 40, 62}}) {
        std::string text = std::string(l.header - l.end.size(), 'H') + l.end;
        for (int i = 0; text.size() < (std::size_t{5} << 19); ++i) {
            std::string line = "0109123456 12345678 11111111" + zeroPadNumber(i, 16) + " 2020-01-02 - - -";
            line.resize(l.line - l.end.size(), ' ');
            text += line + l.end;
        }
        writeFile(dir / "lista.txt", text);
        const RegistryListOutcome whole = parseRegistryList(text);
        const RegistryListOutcome read = readRegistryList(dir / "lista.txt");
        ASSERT_TRUE(read.ok());
        EXPECT_EQ(read.lines, whole.lines);
        EXPECT_TRUE(read.unused.size() == 1 && read.unused[0].header);
        ASSERT_EQ(read.accounts.size(), whole.accounts.size());
        for (std::size_t i = 0; i < read.accounts.size(); ++i)
            ASSERT_TRUE(sameState(read.accounts[i], whole.accounts[i]) && read.accounts[i].line == whole.accounts[i].line) << i;
        EXPECT_EQ(read.accounts.size(), (text.size() - l.header) / l.line);
    }
}
