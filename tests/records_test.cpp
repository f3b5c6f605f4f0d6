#include <gtest/gtest.h>

#include <random>

#include "records/memory_table.h"
#include "records/record_tables.h"
#include "records/row_search.h"
#include "test_support.h"

using namespace kovirant;

TEST(RecordTables, AppendGoesToTheEndAndSetsTheStatusOfThatTable) {
    TestTables t;
    EXPECT_EQ(t.tables.statusText(), "");
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.statusText(), " 1 tétel");
    t.tables.appendRow(ViewRegister, registerRow("0109000002"));
    EXPECT_EQ(t.tables.cell(ViewRegister, 1, 0), "0109000002");
    EXPECT_EQ(t.tables.statusText(), " 2 tétel");
    // An append to a hidden table shows that table's count.
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank"});
    EXPECT_EQ(t.tables.statusText(), " 1 tétel");
}

TEST(RecordTables, ReadRowCutsAt511AndWriteRowKeepsCounterAndStatus) {
    TestTables t;
    RegisterEntry r = registerRow("0109123456");
    r[RegisterCol::accountCode] = std::string(600, 'x');
    t.tables.appendRow(ViewRegister, r);
    RegisterEntry back;
    t.tables.readRow(ViewRegister, 0, back);
    EXPECT_EQ(back[RegisterCol::accountCode], std::string(511, 'x'));
    EXPECT_EQ(back[RegisterCol::companyNumber], "0109123456");

    t.tables.appendRow(ViewInstitution, InstitutionEntry{"A"});
    back[RegisterCol::companyNumber] = "0209000001";
    t.tables.writeRow(ViewRegister, 0, back);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, 0), "0209000001");
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.statusText(), " 1 tétel");  // still the institution append
}

TEST(RecordTables, ReadThenWriteUnchangedKeepsEveryCell) {
    TestTables t;
    AccountChangeEntry a{"12345678", "", std::string(24, '1'), "2005-01-01", "2005-02-01", std::string(24, '2'),
                         "2005-02-01", ""};
    t.tables.appendRow(ViewAccountChange, a);
    AccountChangeEntry back;
    t.tables.readRow(ViewAccountChange, 0, back);
    t.tables.writeRow(ViewAccountChange, 0, back);
    for (std::size_t c = 0; c < a.size(); ++c) EXPECT_EQ(t.tables.cell(ViewAccountChange, 0, c), a[c]);
}

TEST(RecordTables, RegisterTableKeepsASingleSelection) {
    TestTables t;
    for (int i = 0; i < 3; ++i) t.tables.appendRow(ViewRegister, registerRow(std::to_string(i)));
    t.tables.marks(ViewRegister).setState(0, {true, true});
    t.tables.marks(ViewRegister).setState(2, {true, false});
    EXPECT_FALSE(t.tables.marks(ViewRegister).state(0).selected);
    EXPECT_TRUE(t.tables.marks(ViewRegister).state(2).selected);
    EXPECT_EQ(t.tables.firstSelectedRow(), std::optional<std::size_t>(2));
}

TEST(RecordTables, DeleteTakesTheLowestSelectedRowOfTheShownTable) {
    TestTables t;
    t.tables.CurrentView = ViewInstitution;
    for (const char* n : {"a", "b", "c", "d"}) t.tables.appendRow(ViewInstitution, InstitutionEntry{n});
    t.tables.marks(ViewInstitution).setState(1, {true, false});
    t.tables.marks(ViewInstitution).setState(2, {true, false});
    t.tables.marks(ViewInstitution).setState(3, {true, true});
    EXPECT_TRUE(t.tables.marks(ViewInstitution).state(1).selected);  // several rows may be selected here
    t.tables.deleteSelectedRow();
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 3);
    EXPECT_EQ(t.tables.cell(ViewInstitution, 1, 0), "c");
    EXPECT_EQ(t.tables.statusText(), " 4 tétel");  // not refreshed by a delete
}

TEST(RecordTables, NoSelectionLeavesIndexRowsAndCounterAlone) {
    TestTables t;
    t.tables.appendRow(ViewRegister, registerRow("1"));
    EXPECT_FALSE(t.tables.firstSelectedRow().has_value());
    EXPECT_FALSE(t.tables.hasSelection());
    t.tables.deleteSelectedRow();
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
}

TEST(RecordTables, SelectionOperationsActOnTheShownTableOnly) {
    TestTables t;
    t.tables.appendRow(ViewRegister, registerRow("1"));
    t.tables.marks(ViewRegister).setState(0, {true, true});
    t.tables.CurrentView = ViewAccountChange;
    EXPECT_FALSE(t.tables.hasSelection());
    t.tables.clearSelection();
    EXPECT_TRUE(t.tables.marks(ViewRegister).state(0).selected);
    t.tables.CurrentView = ViewRegister;
    t.tables.clearSelection();
    EXPECT_EQ(t.tables.marks(ViewRegister).state(0), RowState{});
}

TEST(RecordTables, ClearTableEmptiesAndKeepsStatus) {
    TestTables t;
    t.tables.appendRow(ViewRegister, registerRow("1"));
    t.tables.clearTable(ViewRegister);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
    EXPECT_EQ(t.tables.statusText(), " 1 tétel");
    t.tables.appendRow(ViewRegister, registerRow("2"));
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, 0), "2");
}

TEST(MemoryTable, CellsEndAtANulByteAsListViewTextsDo) {
    MemoryTable m(2, false);
    std::string withNul("ab\0cd", 5);
    std::string cells[2] = {withNul, "x"};
    m.insertRow(0, cells);
    EXPECT_EQ(m.cell(0, 0), "ab");
    EXPECT_EQ(m.cell(0, 1), "x");
    EXPECT_EQ(m.cell(5, 0), "");  // out of range gives nothing, not a crash
}

TEST(MemoryTable, ManyRewritesAndDeletesKeepEveryCell) {
    // Enough churn to make the store compact itself several times.
    MemoryTable m(3, false);
    std::vector<std::array<std::string, 3>> expected;
    for (int i = 0; i < 20000; ++i) {
        std::array<std::string, 3> row{std::to_string(i), std::string(100 + i % 50, 'a' + i % 26), ""};
        m.insertRow(m.rowCount(), row);
        expected.push_back(row);
    }
    m.setState(7, {true, false});
    for (int round = 0; round < 6; ++round) {
        for (std::size_t i = 0; i < expected.size(); i += 2) {
            expected[i][2] = std::string(200, static_cast<char>('A' + round));
            m.setRow(i, expected[i]);
        }
        m.deleteRow(expected.size() - 1);
        expected.pop_back();
    }
    ASSERT_EQ(m.rowCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); i += 97)
        for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(m.cell(i, c), expected[i][c]) << i << "," << c;
    EXPECT_TRUE(m.state(7).selected);
}

// Rows rewritten in order, as a fill rewrites them, land in blocks emptied
// by the rows before them; a frozen copy taken before keeps every row as it
// was, and the table holds every row as last written, from strings or from
// views of its own cells.
TEST(MemoryTable, RewrittenRowsReuseEmptiedBlocksButNeverACopysBlocks) {
    MemoryTable m(3, false);
    const auto rowOf = [](std::size_t i, int round) {
        return std::array<std::string, 3>{std::to_string(i), std::string(40 + 10 * round, static_cast<char>('a' + round)),
                                          std::to_string(round)};
    };
    constexpr std::size_t kRows = 150000;  // some 10 MB: small blocks and large ones
    for (std::size_t i = 0; i < kRows; ++i) m.insertRow(i, rowOf(i, 0));
    std::unique_ptr<MemoryTable> copy = m.frozenCopy();
    const auto holds = [&](const MemoryTable& t, int round) {
        for (std::size_t i = 0; i < kRows; ++i) {
            const auto row = rowOf(i, round);
            for (std::size_t c = 0; c < 3; ++c)
                if (t.cell(i, c) != row[c]) return ::testing::AssertionFailure() << "row " << i << " column " << c;
        }
        return ::testing::AssertionSuccess();
    };
    for (int round = 1; round <= 4; ++round) {
        if (round == 3) copy.reset();  // from here the emptied blocks are the table's alone
        for (std::size_t i = 0; i < kRows; ++i) {
            const auto row = rowOf(i, round);
            if (round % 2) {
                m.setRow(i, row);
            } else {
                std::array<std::string_view, 3> views;
                m.cellViews(i, views);
                views[1] = row[1];
                views[2] = row[2];
                m.setRow(i, std::span<const std::string_view>(views));
            }
        }
        EXPECT_TRUE(holds(m, round)) << "round " << round;
        if (copy) {
            EXPECT_TRUE(holds(*copy, 0)) << "the copy, round " << round;
        }
    }
}

// A reader's rule is asserted in debug builds: the rows it reads are the
// ones there when it was made, not rewritten (in the block then current or
// in a new one) nor moved by an insert.
TEST(MemoryTableDeathTest, AReaderAssertsItsRule) {
#ifdef NDEBUG
    GTEST_SKIP() << "assertions are off in this build";
#else
    const struct {
        const char* what;
        void (*misuse)(MemoryTable&);
    } cases[] = {
        {"a row rewritten", [](MemoryTable& m) { m.setCell(0, 1, "b"); }},
        {"a row rewritten into a new block", [](MemoryTable& m) { m.setCell(0, 1, std::string(3 << 20, 'c')); }},
        {"a row inserted", [](MemoryTable& m) { m.insertRow(0, std::array<std::string, 2>{"x", "y"}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryTable m(2, false);
        m.insertRow(0, std::array<std::string, 2>{"1", "a"});
        m.insertRow(1, std::array<std::string, 2>{"2", "a"});
        const MemoryTable::Reader reader(m);
        std::array<std::string_view, 2> views;
        reader.cellViews(1, views);  // not rewritten: read
        EXPECT_EQ(views[0], "2");
        c.misuse(m);
        EXPECT_DEATH(reader.cellViews(0, views), "under a reader|after the reader was made");
    }
#endif
}

// A row's cells as views, found a word at a time: cells of every length
// (none too), of any byte but NUL, in tables of any width; views asked past
// the table's columns are empty.
TEST(MemoryTable, CellViewsFindEveryCellOfRowsOfAnyShape) {
    std::mt19937 rng(5);
    for (std::size_t columns : {1u, 3u, 6u, 9u}) {
        MemoryTable m(columns, false);
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < 2000; ++i) {
            std::vector<std::string> row(columns);
            for (std::string& cell : row) {
                cell.resize(rng() % 20);
                for (char& ch : cell) ch = static_cast<char>(1 + rng() % 255);
            }
            m.insertRow(m.rowCount(), row);
            rows.push_back(row);
        }
        std::vector<std::string_view> views(columns + 1, "x");
        for (std::size_t i = 0; i < rows.size(); ++i) {
            m.cellViews(i, views);
            for (std::size_t c = 0; c < columns; ++c) ASSERT_EQ(views[c], rows[i][c]) << columns << " " << i << "," << c;
            EXPECT_TRUE(views[columns].empty());
        }
    }
}

// Type-ahead in the owner-data tables: the list view asks which row starts
// with the typed text; a wrong answer moves the selection to another row.
TEST(RowSearch, TypeAheadFindsTheNextRowStartingWithTheText) {
    TestTables t;
    for (const char* c : {"0109", "Árvíztűrő", "1310", "árpa", "1399"}) t.tables.appendRow(ViewRegister, registerRow(c));
    struct Case {
        const char* prefix;
        std::size_t start;
        bool wrap;
        std::optional<std::size_t> expected;
    } cases[] = {
        {"1", 0, true, 2},          {"1", 3, true, 4},   {"1", 5, true, 2},  {"13", 3, false, 4},
        {"01", 1, false, std::nullopt}, {"01", 1, true, 0}, {"ÁR", 2, true, 3}, {"árv", 0, true, 1},
        {"x", 0, true, std::nullopt}, {"", 0, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findRowWithPrefix(t.reg, c.prefix, c.start, c.wrap), c.expected) << c.prefix << " from " << c.start;
}

// One cell replaced in place of the whole row: the other cells and the marks
// stay, whichever column, and through the compactions of many rewrites.
TEST(MemoryTable, SetCellKeepsTheRestOfTheRow) {
    MemoryTable t(4, false);
    const std::vector<std::string> row{"a", "", "ccc", "d"};
    for (int i = 0; i < 20000; ++i) t.insertRow(t.rowCount(), row);
    t.setState(7, {true, true});
    for (std::size_t r = 0; r < t.rowCount(); ++r) t.setCell(r, r % 4, std::string(60, 'x'));
    for (std::size_t r : {std::size_t{0}, std::size_t{5}, std::size_t{7}, std::size_t{19999}}) {
        for (std::size_t c = 0; c < 4; ++c)
            EXPECT_EQ(t.cell(r, c), c == r % 4 ? std::string(60, 'x') : row[c]) << r << "," << c;
    }
    EXPECT_EQ(t.state(7), (RowState{true, true}));
    t.setCell(1, 2, std::string("pre\0post", 8));  // a cell ends at a NUL byte
    EXPECT_EQ(t.cell(1, 2), "pre");
    EXPECT_EQ(t.cell(1, 3), "d");
}
