#include <gtest/gtest.h>

#include "app/commands.h"
#include "fake_shell.h"
#include "records/undo_history.h"
#include "test_support.h"

using namespace kovirant;

// Model-based: random steps with undo and redo interleaved; after every undo
// and redo the tables are exactly the model's; undoing everything gives the
// start back, redoing everything the end.
TEST(Undo, RandomStepsUndoAndRedoCellForCell) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        TestTables t;
        UndoHistory history;
        t.tables.addListener(&history);
        for (int i = 0; i < 5; ++i) t.tables.appendRow(ViewRegister, randomRow(rng, ViewRegister));
        std::vector<TableRows> done{tableRows(t.tables)}, undone;
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
                randomTableStep(rng, t.tables);
                history.end();
                if (tableRows(t.tables) == done.back()) continue;  // nothing changed: no step
                done.push_back(tableRows(t.tables));
                undone.clear();
            }
            ASSERT_EQ(tableRows(t.tables), done.back()) << "after operation " << op;
        }
        const TableRows end = done.back();
        while (history.undo(t.tables)) {}
        EXPECT_EQ(tableRows(t.tables), done.front());
        while (history.redo(t.tables)) {}
        EXPECT_EQ(tableRows(t.tables), undone.empty() ? end : undone.front());
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
    t.tables.marks(ViewInstitution).setState(1, {true, true});
    shell.answers = {true};
    onCommand(state, shell, kCmdDelete);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdUndo]), "&Visszavonás: törlés\tCtrl+Z");
    EXPECT_TRUE(shell.enabled[kCmdUndo]);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "&Ismétlés\tCtrl+Y");
    EXPECT_FALSE(shell.enabled[kCmdRedo]);

    state.tables.ReportPending = false;
    onCommand(state, shell, kCmdViewRegister);
    onCommand(state, shell, kCmdUndo);
    EXPECT_EQ(t.tables.cell(ViewInstitution, 1, InstitutionCol::name), "B");
    EXPECT_EQ(state.tables.CurrentView, ViewInstitution);
    EXPECT_EQ(t.tables.marks(ViewInstitution).state(1), (RowState{true, true}));
    EXPECT_TRUE(state.tables.ReportPending && shell.enabled[kCmdSaveReport] && shell.enabled[kCmdModify]);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "&Ismétlés: törlés\tCtrl+Y");
    EXPECT_FALSE(shell.enabled[kCmdUndo]);

    // A cancelled Delete is no step.
    shell.answers = {false};
    onCommand(state, shell, kCmdDelete);
    EXPECT_EQ(utf16ToCp1250(shell.menuTexts[kCmdRedo]), "&Ismétlés: törlés\tCtrl+Y");

    UndoHistory small(1000);
    t.tables.addListener(&small);
    small.begin("nagy");
    for (int i = 0; i < 100; ++i) t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.clearTable(ViewRegister);
    small.end();
    EXPECT_FALSE(small.undoLabel().has_value());  // too large to keep: the history is empty
    EXPECT_EQ(small.bytes(), 0u);
}
