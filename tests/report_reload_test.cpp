#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <utility>

#include "import/line_reader.h"
#include "import/report_reload.h"
#include "report/report_writer.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"

#ifdef KOVIRANT_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif

using namespace kovirant;

namespace {

std::vector<std::string> pieces(const std::string& bytes, std::size_t max = TextLineReader::kPieceMax) {
    auto dir = freshTempDir("pieces");
    writeFile(dir / "f", bytes);
    FilePtr f = openFile(dir / "f", "rb").file;
    TextLineReader reader(f.get(), 4096, max);
    std::vector<std::string> out;
    std::string_view p;
    while (reader.next(p)) out.emplace_back(p);
    return out;
}

template <std::size_t N>
std::vector<std::array<std::string, N>> rowsOf(const RecordTables& tables, ViewKind kind) {
    std::vector<std::array<std::string, N>> out(tables.table(kind).rowCount());
    for (std::size_t r = 0; r < out.size(); ++r) tables.readRow(kind, r, out[r]);
    return out;
}

void fillTablesAsEditorsAndImportDo(RecordTables& tables) {
    tables.appendRow(ViewInstitution,
                     InstitutionEntry{"Első Hazai & Társa <Bank> \"Zrt.\"", "0110012345", "12345678", "1051",
                                      "Győr „belváros”", "Šťastný Žižkov – € tér", "utca", "16/B", "87654321",
                                      "B épület", "3. ajtó", "Bejegyzés"});
    tables.appendRow(ViewInstitution, InstitutionEntry{std::string(511, 'N'), "0210000001", "11111111", "9",
                                                       "  két  szóköz  ", "x", "útfél", "1", "00000000", "", "",
                                                       "Egyeztetés"});
    tables.appendRow(ViewInstitution, InstitutionEntry{std::string(511, '&'), "2020999999", "22222222", "1234",
                                                       std::string(511, '\x84'), "", "", "", "1", "", "",
                                                       "HibásAdat"});
    tables.appendRow(ViewRegister, registerRow("0109123456", "12345678", "111111112222222233333333", "2005-03-01",
                                               "", "Bejegyzés"));
    tables.appendRow(ViewRegister, registerRow("2018000001", "87654321", "111111112222222200000000", "",
                                               "2005-13-99", "Törlés"));
    tables.appendRow(ViewRegister, registerRow("0109123456", "123456789012", "111111112222222233333333",
                                               "2005-03-01", "2006-01-01", "Módosítás"));
    tables.appendRow(ViewAccountChange, AccountChangeEntry{"12345678", "0109123456", std::string(24, '1'),
                                                           "2001-01-01", "2005-01-01", std::string(24, '2'),
                                                           "2005-01-02", "2006-01-01"});
    tables.appendRow(ViewAccountChange, AccountChangeEntry{"87654321", "", std::string(24, '3'), "2001-01-01",
                                                           "2005-01-01", std::string(24, '4'), "2005-01-02", ""});
}

class ReloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    ReloadOutcome load(const std::string& bytes) {
        writeFile(dir / "in.xml", bytes);
        return ReloadReport(dir / "in.xml", t.tables);
    }
    std::filesystem::path dir;
    TestTables t;
};

}  // namespace

TEST(TextLineReader, TextModeRules) {
    EXPECT_EQ(pieces("a\r\nb\nc"), (std::vector<std::string>{"a\n", "b\n", "c"}));
    EXPECT_EQ(pieces("a\rb\n"), (std::vector<std::string>{"a\rb\n"}));      // a lone CR stays
    EXPECT_EQ(pieces("a\nb\x1A" "c\nd\n"), (std::vector<std::string>{"a\n", "b"}));  // Ctrl-Z ends input
    EXPECT_EQ(pieces("\x1A" "abc"), std::vector<std::string>{});
    EXPECT_EQ(pieces(""), std::vector<std::string>{});
    EXPECT_EQ(pieces("\n\n"), (std::vector<std::string>{"\n", "\n"}));
    EXPECT_EQ(pieces(std::string("a\0b\n", 4)), (std::vector<std::string>{std::string("a\0b\n", 4)}));
}

TEST(TextLineReader, LongLinesArriveInPiecesOf1022) {
    auto p = pieces(std::string(1021, 'x') + "\n" + std::string(1022, 'y') + "\n" + std::string(1021, 'z') +
                    "\r\n" + std::string(2500, 'w') + "\r\nend");
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ(p[0].size(), 1022u);  // 1021 characters and LF fit one piece
    EXPECT_EQ(p[1], std::string(1022, 'y'));
    EXPECT_EQ(p[2], "\n");
    EXPECT_EQ(p[3], std::string(1021, 'z') + "\n");  // CR LF counts as one character
    EXPECT_EQ(p[4].size(), 1022u);
    EXPECT_EQ(p[5].size(), 1022u);
    EXPECT_EQ(p[6], std::string(2500 - 2044, 'w') + "\n");
    EXPECT_EQ(p[7], "end");
}

// Text mode as a plain model: cut at the first Ctrl-Z, CR LF to LF, then
// pieces of at most `max` characters that end after an LF.
std::vector<std::string> modelPieces(const std::string& bytes, std::size_t max) {
    const std::string input = bytes.substr(0, bytes.find('\x1A'));
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i)
        if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) text += input[i];
    std::vector<std::string> out;
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == max) out.push_back(std::exchange(piece, {}));
    }
    if (!piece.empty()) out.push_back(piece);
    return out;
}

TEST(TextLineReader, AgreesWithTheModelAcrossBufferRefills) {
    std::mt19937 random(7);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n'};
    for (int round = 0; round < 200; ++round) {
        const std::size_t max = 1 + random() % 40;
        std::string bytes(random() % 20000, 'a');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        // Most rounds put one Ctrl-Z somewhere, often past the first buffer.
        if (round % 4 != 0 && !bytes.empty()) bytes[random() % bytes.size()] = '\x1A';
        ASSERT_EQ(pieces(bytes, max), modelPieces(bytes, max)) << "round " << round << ", pieces of " << max;
    }
}

TEST(Unescape, EntitiesAndReferences) {
    std::string out;
    appendUnescaped(out, "A&amp;B &lt;&gt;&quot;&apos; &#8222;&#x201D; &#8364; & &bogus; &#99999999; &#;");
    EXPECT_EQ(out, "A&B <>\"' „” € & &bogus; &#99999999; &#;");
}

TEST_F(ReloadTest, RoundTripOfEveryKindOfRow) {
    fillTablesAsEditorsAndImportDo(t.tables);
    SettingsFile settings(dir / "Kovirant.ini");
    ASSERT_EQ(WriteReport(dir / "r.xml", t.tables, settings).status, ReportStatus::Written);
    TestTables back;
    ReloadOutcome r = ReloadReport(dir / "r.xml", back.tables);
    ASSERT_EQ(r.status, ReloadStatus::Completed);
    EXPECT_EQ(r.rowsAppended, 8u);
    auto inst = rowsOf<InstitutionCol::count>(t.tables, ViewInstitution);
    // Cells longer than the writer's maxima come back cut: the register tax
    // base number of 12 characters is written as 8.
    auto reg = rowsOf<RegisterCol::count>(t.tables, ViewRegister);
    reg[2][RegisterCol::taxBaseNumber] = "12345678";
    EXPECT_EQ((rowsOf<InstitutionCol::count>(back.tables, ViewInstitution)), inst);
    EXPECT_EQ((rowsOf<RegisterCol::count>(back.tables, ViewRegister)), reg);
    EXPECT_EQ((rowsOf<AccountChangeCol::count>(back.tables, ViewAccountChange)),
              (rowsOf<AccountChangeCol::count>(t.tables, ViewAccountChange)));
    EXPECT_FALSE(back.tables.ReportPending);
}

TEST_F(ReloadTest, SectionFlagsDecideWhereValuesGo) {
    ReloadOutcome r = load(
        "<Számlaszám kód=\"Bejegyzés\">\n"  // outside Cégjegyzék: ignored
        "\t\t<SzámlaszámVáltozás>\n"
        "\t\t\t<Tulajdonos Törzsszám=\"12345678\">\n"
        "\t\t\t\t<EredetiSzámla>\n"
        "<Jelzőszám>111</Jelzőszám>\n"
        "<Zárás>2005-01-01</Zárás>\n"
        "\t\t\t\t</EredetiSzámla>\n"
        "<Jelzőszám>222</Jelzőszám>\n"
        "<Nyitás></Nyitás>\n"
        "\t\t\t</Tulajdonos>\n"
        "\t\t</SzámlaszámVáltozás>\n"
        "\t\t<Cégjegyzék>\n"
        "\t\t\t<CégMutató Cégszám=\"0109123456\" Törzsszám=\"1\">\n"
        "\t\t\t</CégMutató>\n"
        "\t\t</Cégjegyzék>\r\n");
    EXPECT_EQ(r.status, ReloadStatus::NotAReport);  // a piece without the report's root
    ASSERT_EQ(t.tables.rowCounter(ViewAccountChange), 1);
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::taxBaseNumber), "12345678");
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::companyNumber), "");
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::originalAccountNumber), "111");
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::originalClosingDate), "2005-01-01");
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::newAccountNumber), "222");
    EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, AccountChangeCol::newOpeningDate), "");
    ASSERT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, RegisterCol::accountCode), "");  // the kód line came too early
}

TEST_F(ReloadTest, RecordsStartEmptyAndUnclosedRecordsAreNotAppended) {
    load("\t\t\t<Törzsadatok>\n"
         "<Pénzintézet Cégszám=\"0110012345\" Törzsszám=\"12345678\" kód=\"Bejegyzés\">\n"
         "<Név>Első Bank</Név>\n<Számjel>123</Számjel>\n"
         "</Pénzintézet>\n"
         "<Pénzintézet Cégszám=\"0110012346\" Törzsszám=\"12345678\" kód=\"Törlés\">\n"
         "<Név></Név>\n"
         "</Pénzintézet>\n"
         "<Pénzintézet Cégszám=\"0110012347\" Törzsszám=\"12345678\" kód=\"Törlés\">\n"
         "<Név>Cut short</Név>\n");
    ASSERT_EQ(t.tables.rowCounter(ViewInstitution), 2);
    EXPECT_EQ(t.tables.cell(ViewInstitution, 0, InstitutionCol::name), "Első Bank");
    EXPECT_EQ(t.tables.cell(ViewInstitution, 1, InstitutionCol::name), "");
    EXPECT_EQ(t.tables.cell(ViewInstitution, 1, InstitutionCol::codeNumber), "");
}

TEST_F(ReloadTest, BlankIndentedLinesAndJunkLoadNothing) {
    load("  <Cégjegyzék>\n  <CégMutató Cégszám=\"0109123456\" Törzsszám=\"12345678\">\n  </CégMutató>\n");
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
    std::string junk;
    for (int i = 0; i < 200000; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
    junk += std::string(10 << 20, '<') + "\n" + std::string("\0\0</Tulajdonos\0>", 16);
    ReloadOutcome r = load(junk);
    EXPECT_EQ(r.status, ReloadStatus::NotAReport);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 0);
}

TEST_F(ReloadTest, IncompleteReportOfAFaultyRowLoadsTheRowsBeforeIt) {
    fillTablesAsEditorsAndImportDo(t.tables);
    t.tables.appendRow(ViewRegister, registerRow(""));
    // Cut as the written report would have been at the faulty row.
    TestTables copy;
    fillTablesAsEditorsAndImportDo(copy.tables);
    SettingsFile settings(dir / "Kovirant.ini");
    ASSERT_EQ(WriteReport(dir / "full.xml", copy.tables, settings).status, ReportStatus::Written);
    std::string text = readFile(dir / "full.xml");
    text = text.substr(0, text.find("\t\t</Cégjegyzék>"));
    TestTables back;
    writeFile(dir / "cut.xml", text);
    ReloadReport(dir / "cut.xml", back.tables);
    EXPECT_EQ(back.tables.rowCounter(ViewInstitution), 3);
    EXPECT_EQ(back.tables.rowCounter(ViewRegister), 3);
    EXPECT_EQ(back.tables.rowCounter(ViewAccountChange), 0);
    // Loaded twice, every row twice.
    ReloadReport(dir / "cut.xml", back.tables);
    EXPECT_EQ(back.tables.rowCounter(ViewRegister), 6);
}

TEST_F(ReloadTest, MissingFileIsReported) {
    ReloadOutcome r = ReloadReport(dir / "none.xml", t.tables);
    EXPECT_EQ(r.status, ReloadStatus::CannotOpen);
    EXPECT_NE(r.errorCode, 0);
}

#ifdef KOVIRANT_HAVE_LIBXML2
namespace {
void collect(xmlNode* node, std::vector<std::string>& out) {
    for (xmlNode* n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        for (xmlAttr* a = n->properties; a != nullptr; a = a->next) {
            xmlChar* v = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
            out.push_back(std::string("@") + reinterpret_cast<const char*>(a->name) + "=" +
                          reinterpret_cast<const char*>(v));
            xmlFree(v);
        }
        if (n->children != nullptr && n->children->type == XML_TEXT_NODE && n->children->next == nullptr) {
            xmlChar* v = xmlNodeGetContent(n);
            out.push_back(std::string(reinterpret_cast<const char*>(n->name)) + "=" + reinterpret_cast<const char*>(v));
            xmlFree(v);
        }
        collect(n->children, out);
    }
}
}  // namespace

TEST_F(ReloadTest, ReportsAreWellFormedIso88592ForARealParser) {
    fillTablesAsEditorsAndImportDo(t.tables);
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"</Név><Név>x", "0110012345", "\" kód=\"Törlés", "1", "p",
                                                         "", "", "", "1", "", "", "\"><x a=\""});
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\nCnev=A & B „Rt”\nSZnev=<script>\n");
    SettingsFile settings(dir / "Kovirant.ini");
    ASSERT_EQ(WriteReport(dir / "r.xml", t.tables, settings).status, ReportStatus::Written);
    const std::string bytes = readFile(dir / "r.xml");
    xmlDoc* docp = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "r.xml", nullptr, XML_PARSE_NONET);
    ASSERT_NE(docp, nullptr);
    std::vector<std::string> values;
    collect(xmlDocGetRootElement(docp), values);
    xmlFreeDoc(docp);
    auto has = [&](const std::string& cp1250Pair) {
        const std::string utf8 = cp1250ToUtf8(cp1250Pair);
        return std::find(values.begin(), values.end(), utf8) != values.end();
    };
    EXPECT_TRUE(has("Név=A & B „Rt”"));
    EXPECT_TRUE(has("Név=<script>"));
    for (std::size_t r = 0; r < t.tables.table(ViewInstitution).rowCount(); ++r) {
        EXPECT_TRUE(has("Név=" + std::string(t.tables.cell(ViewInstitution, r, InstitutionCol::name)))) << r;
        EXPECT_TRUE(has("Hely=" + std::string(t.tables.cell(ViewInstitution, r, InstitutionCol::place)))) << r;
        EXPECT_TRUE(has("@kód=" + std::string(t.tables.cell(ViewInstitution, r, InstitutionCol::operationCode))));
    }
    EXPECT_TRUE(has("Terület=Šťastný Žižkov – € tér"));
    EXPECT_TRUE(has("@Törzsszám=\" kód=\"T"));  // cut to 8 characters, still one attribute
    // The hostile values changed nothing of the structure.
    const std::string kod = cp1250ToUtf8("@kód=");
    EXPECT_EQ(std::count_if(values.begin(), values.end(), [&](const std::string& v) { return v.rfind(kod, 0) == 0; }),
              4 + 3);  // four institutions, three register rows
}

#endif

// Random rows filling every column the column table has, cells of any byte
// but NUL: a report's reload gives back every cell as the writer cut it, and
// the tables kept for recovery every cell whole, control characters as
// blanks; every such file is well-formed for a real parser.
TEST_F(ReloadTest, RandomRowsOfEveryColumnRoundTripInBothForms) {
    std::mt19937 rng(20261208);
    // Word elements are read up to a blank, so they get no blanks or control bytes.
    auto text = [&](std::size_t maxLen, bool word) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s) c = static_cast<char>(word ? 0x21 + rng() % (256 - 0x21) : 1 + rng() % 255);
        return s;
    };
    auto expected = [](std::string_view cell, std::size_t max) {
        std::string e(cut(cell, max));
        for (char& c : e)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = ' ';
        return e;
    };
    // A cell a little longer than the report holds of it; the company number
    // whole, as a register row needs it, an account change writes it only
    // so and a reloaded institution needs one.
    auto randomRow = [&](ViewKind kind) {
        const std::span<const Column> columns = columnsOf(kind);
        std::vector<std::string> row(columns.size());
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::size_t max = reportLengthOf(columns[c].report.length);
            row[c] = text(std::min<std::size_t>(max, 40) + 2, columns[c].report.word);
            if (columns[c].role == ColumnRole::CompanyNumber) row[c].resize(max, 'x');
        }
        return row;
    };
    for (int round = 0; round < 40; ++round) {
        TestTables src;
        for (int r = 0; r < 3; ++r)
            for (ViewKind kind : kAllKinds) src.tables.appendRow(kind, randomRow(kind));
        for (const bool whole : {false, true}) {
            const auto file = dir / ("r" + std::to_string(round) + (whole ? "w" : "") + ".xml");
            ReportOptions options;
            options.wholeTables = whole;
            ASSERT_EQ(WriteReport(file, src.tables, SettingsFile(dir / "Kovirant.ini"), options).status,
                      ReportStatus::Written);
#ifdef KOVIRANT_HAVE_LIBXML2
            const std::string bytes = readFile(file);
            xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "r.xml", nullptr,
                                        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
            EXPECT_NE(doc, nullptr) << "round " << round;
            xmlFreeDoc(doc);
#endif
            TestTables back;
            ReloadOptions reload;
            reload.everyRecord = whole;
            ASSERT_EQ(ReloadReport(file, back.tables, reload).status, ReloadStatus::Completed);
            for (ViewKind kind : kAllKinds) {
                ASSERT_EQ(back.tables.rowCounter(kind), 3) << "round " << round << " table " << kind;
                const std::span<const Column> columns = columnsOf(kind);
                for (std::size_t r = 0; r < 3; ++r)
                    for (std::size_t c = 0; c < columns.size(); ++c) {
                        const std::size_t max = whole ? kFieldMax : reportLengthOf(columns[c].report.length);
                        EXPECT_EQ(back.tables.cell(kind, r, c), expected(src.tables.cell(kind, r, c), max))
                            << "round " << round << (whole ? " whole" : "") << " table " << kind << " row " << r
                            << " column " << c;
                    }
            }
        }
    }
}

TEST(ExampleFiles, TheExampleReportReloads) {
    TestTables t;
    ReloadOutcome r = ReloadReport(std::filesystem::path(KOVIRANT_SOURCE_DIR) / "examples" / "report.xml", t.tables);
    ASSERT_EQ(r.status, ReloadStatus::Completed);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 1);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 36);
    EXPECT_EQ(t.tables.rowCounter(ViewAccountChange), 2);
    EXPECT_EQ(t.tables.cell(ViewInstitution, 0, InstitutionCol::name), "Próba Bank Zrt.");
}
