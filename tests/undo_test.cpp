#include <gtest/gtest.h>

#include <random>

#include "app/commands.h"
#include "fake_shell.h"
#include "records/undo_history.h"
#include "test_support.h"

using namespace kovirant;

namespace {

using Snapshot = std::array<std::vector<std::vector<std::string>>, 3>;

Snapshot snapshot(const RecordTables& t) {
    Snapshot s;
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) {
        const TableWidget& w = t.table(k);
        for (std::size_t r = 0; r < w.rowCount(); ++r) {
            s[k].emplace_back();
            for (std::size_t c = 0; c < columnCount(k); ++c) s[k].back().emplace_back(w.cell(r, c));
        }
    }
    return s;
}

std::vector<std::string> randomRow(std::mt19937& rng, ViewKind kind) {
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<std::string> row(columnCount(kind));
    for (std::string& cell : row)
        if (pick(rng) < 7) cell = std::to_string(rng() % 1000) + (pick(rng) == 0 ? "őű" : "");
    return row;
}

// One of the six kinds of step, as the commands change the tables.
void randomStep(std::mt19937& rng, RecordTables& t) {
    const auto kind = static_cast<ViewKind>(rng() % 3);
    const std::size_t rows = t.table(kind).rowCount();
    switch (rng() % 6) {
        case 0: t.appendRow(kind, randomRow(rng, kind)); break;  // an editor's New
        case 1:                                                   // an editor's Modify
            if (rows > 0) t.writeRow(kind, rng() % rows, randomRow(rng, kind));
            break;
        case 2:  // Delete
            if (rows > 0) {
                t.CurrentView = kind;
                t.clearSelection();
                t.table(kind).setState(rng() % rows, {true, true});
                t.deleteSelectedRow();
            }
            break;
        case 3:  // a protocol import, appending or replacing
        case 4:  // a report load, appending or replacing
            if (rng() % 2)
                for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) t.clearTable(k);
            for (int n = static_cast<int>(rng() % 5); n > 0; --n) {
                const ViewKind into = rng() % 4 == 0 ? ViewAccountChange : ViewRegister;
                t.appendRow(into, randomRow(rng, into));
            }
            break;
        case 5:  // the directory fill: empty company numbers filled
            for (std::size_t r = 0; r < t.table(ViewRegister).rowCount(); ++r)
                if (t.cell(ViewRegister, r, RegisterCol::companyNumber).empty() && rng() % 2)
                    t.writeCell(ViewRegister, r, RegisterCol::companyNumber, "0109" + std::to_string(r));
            break;
    }
}

}  // namespace

// Model-based: random steps with undo and redo interleaved; after every undo
// and redo the tables are exactly the model's; undoing everything gives the
// start back, redoing everything the end.
TEST(Undo, RandomStepsUndoAndRedoCellForCell) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        TestTables t;
        UndoHistory history;
        t.tables.setHistory(&history);
        for (int i = 0; i < 5; ++i) t.tables.appendRow(ViewRegister, randomRow(rng, ViewRegister));
        std::vector<Snapshot> done{snapshot(t.tables)}, undone;
        for (int op = 0; op < 40; ++op) {
            const unsigned what = rng() % 10;
            if (what < 2 && done.size() > 1) {
                ASSERT_TRUE(history.undo(t.tables).has_value());
                undone.push_back(done.back());
                done.pop_back();
            } else if (what < 4 && !undone.empty()) {
                ASSERT_TRUE(history.redo(t.tables).has_value());
                done.push_back(undone.back());
                undone.pop_back();
            } else {
                history.begin("lépés");
                randomStep(rng, t.tables);
                history.end();
                if (snapshot(t.tables) == done.back()) continue;  // nothing changed: no step
                done.push_back(snapshot(t.tables));
                undone.clear();
            }
            ASSERT_EQ(snapshot(t.tables), done.back()) << "after operation " << op;
        }
        const Snapshot end = done.back();
        while (history.undo(t.tables)) {}
        EXPECT_EQ(snapshot(t.tables), done.front());
        while (history.redo(t.tables)) {}
        EXPECT_EQ(snapshot(t.tables), undone.empty() ? end : undone.front());
    }
}

// The commands: each names its step in the menu, an undo shows the step's
// table with its rows selected and leaves the tables pending; the history
// keeps under its byte limit and forgets what it cannot keep.
TEST(Undo, CommandsNameTheirStepsAndUndoShowsTheRows) {
    TestTables t;
    AppState state(t.tables);
    FakeShell shell;
    onCreate(state, shell, freshTempDir("undo"));
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"A"});
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"B"});
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"C"});
    onCommand(state, shell, kCmdViewInstitution);
    t.inst.setState(1, {true, true});
    shell.answers = {true};
    onCommand(state, shell, kCmdDelete);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdUndo]), "Visszavonás: törlés\tCtrl+Z");
    EXPECT_TRUE(shell.enabled[kCmdUndo]);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "Ismétlés\tCtrl+Y");
    EXPECT_FALSE(shell.enabled[kCmdRedo]);

    state.tables.ReportPending = false;
    onCommand(state, shell, kCmdViewRegister);
    onCommand(state, shell, kCmdUndo);
    EXPECT_EQ(t.tables.cell(ViewInstitution, 1, InstitutionCol::name), "B");
    EXPECT_EQ(state.tables.CurrentView, ViewInstitution);
    EXPECT_EQ(t.inst.state(1), (RowState{true, true}));
    EXPECT_TRUE(state.tables.ReportPending && shell.enabled[kCmdSaveReport] && shell.enabled[kCmdModify]);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "Ismétlés: törlés\tCtrl+Y");
    EXPECT_FALSE(shell.enabled[kCmdUndo]);

    // A cancelled Delete is no step.
    shell.answers = {false};
    onCommand(state, shell, kCmdDelete);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "Ismétlés: törlés\tCtrl+Y");

    UndoHistory small(1000);
    t.tables.setHistory(&small);
    small.begin("nagy");
    for (int i = 0; i < 100; ++i) t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.clearTable(ViewRegister);
    small.end();
    EXPECT_FALSE(small.undoLabel().has_value());  // too large to keep: the history is empty
    EXPECT_EQ(small.bytes(), 0u);
}
