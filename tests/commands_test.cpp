#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/working_folder.h"
#include "app/editor_sessions.h"
#include "fake_shell.h"
#include "report/report_writer.h"
#include "test_support.h"

using namespace kovirant;

namespace {

std::string apehLineOfCode(char code = '1') {
    return "000001" "12345678" "ABC" "111111112222222233333333" "050301" + std::string(168, '.') + code;
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        onCreate(state, shell, dir);
    }
    void command(int id) { onCommand(state, shell, id); }
    void selectRow(ViewKind kind, std::size_t row) { t.tables.marks(kind).setState(row, {true, true}); }
    void fillDataSheet() { writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n"); }
    // A New-mode register editor that saves a valid record.
    void editorSavesValidRows() { shell.registerEditorSavesAValidRow(); }

    std::filesystem::path dir;
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
};

}  // namespace

TEST_F(CommandsTest, CreationReadsTheSettings) {
    EXPECT_EQ(state.settingsPath, dir / "Kovirant.ini");
    EXPECT_EQ(state.maxtk, 20);
    EXPECT_EQ(state.maxcf, 18);
    EXPECT_FALSE(state.DataSheetFilled);
    writeFile(dir / "Kovirant.ini", "[GENERAL]\nmaxtk=7\nmaxcf=x\n[ADATLAP]\nCnev=Bank\n");
    AppState s2(t.tables);
    onCreate(s2, shell, dir);
    EXPECT_EQ(s2.maxtk, 7);
    EXPECT_EQ(s2.maxcf, 0);
    EXPECT_TRUE(s2.DataSheetFilled);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(CommandsTest, CreationWithoutACurrentDirectory) {
    AppState s2(t.tables);
    onCreate(s2, shell, std::nullopt);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"Filerendszer hiba"});
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(shell.messages[0].ownedByMainWindow);
    EXPECT_EQ(s2.maxtk, 0);
    EXPECT_EQ(s2.maxcf, 0);
    EXPECT_FALSE(s2.DataSheetFilled);
}

TEST_F(CommandsTest, ViewSwitchingChecksExactlyOneItemAndChangesNothingElse) {
    shell.enabled[kCmdModify] = true;
    command(kCmdViewAccountChange);
    EXPECT_EQ(state.tables.CurrentView, ViewAccountChange);
    EXPECT_EQ(shell.shown, ViewAccountChange);
    EXPECT_EQ(shell.checked, (std::map<int, bool>{{kCmdViewRegister, false}, {kCmdViewInstitution, false},
                                                   {kCmdViewAccountChange, true}}));
    EXPECT_TRUE(shell.enabled[kCmdModify]);
    command(kCmdViewInstitution);
    EXPECT_EQ(state.tables.CurrentView, ViewInstitution);
    command(kCmdViewRegister);
    EXPECT_EQ(state.tables.CurrentView, ViewRegister);
    EXPECT_TRUE(shell.checked[kCmdViewRegister]);
    EXPECT_FALSE(shell.checked[kCmdViewInstitution]);
}

TEST_F(CommandsTest, NewSaveEnablesSaveReportAndSetsPending) {
    editorSavesValidRows();
    shell.enabled[kCmdModify] = shell.enabled[kCmdDelete] = true;
    command(kCmdNew);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_TRUE(shell.enabled[kCmdNew]);
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
    EXPECT_TRUE(state.tables.ReportPending);
}

TEST_F(CommandsTest, NewDiscardedGreysModifyAndDeleteOnly) {
    shell.enabled[kCmdModify] = shell.enabled[kCmdDelete] = true;
    command(kCmdNew);
    EXPECT_EQ(shell.editorRuns.size(), 1u);
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    EXPECT_FALSE(state.tables.ReportPending);
}

TEST_F(CommandsTest, ModifyRunsOnlyWithASelectionAndAlwaysEnablesSaveReport) {
    t.tables.appendRow(ViewRegister, registerRow(""));
    command(kCmdModify);
    EXPECT_TRUE(shell.editorRuns.empty());
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_FALSE(shell.enabled[kCmdModify]);

    selectRow(ViewRegister, 0);
    shell.registerEditor = [](const EditorRequest<RegisterEntryForm>& r) {
        EXPECT_EQ(r.initial.taxBaseNumber, "12345678");  // the selected row's form
        RegisterEntryForm f = r.initial;
        f.company = {"01", "09", "123456"};
        EXPECT_FALSE(r.save(f).has_value());
    };
    command(kCmdModify);
    EXPECT_EQ(shell.editorRuns.back(), (std::pair{ViewRegister, EditorMode::Modify}));
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, 0), "0109123456");
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_FALSE(t.tables.hasSelection());  // cleared afterwards
}

TEST_F(CommandsTest, ModifyInAnotherViewWithoutSelectionOpensNothing) {
    t.tables.appendRow(ViewRegister, registerRow(""));
    selectRow(ViewRegister, 0);
    onNotify(state, shell, ListNotification::Click);
    command(kCmdViewInstitution);
    EXPECT_TRUE(shell.enabled[kCmdModify]);
    command(kCmdModify);
    EXPECT_TRUE(shell.editorRuns.empty());
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
}

TEST_F(CommandsTest, DeleteAsksAndDeclineStillSetsPending) {
    t.tables.appendRow(ViewRegister, registerRow("1"));
    t.tables.appendRow(ViewRegister, registerRow("2"));
    selectRow(ViewRegister, 1);
    shell.enabled[kCmdModify] = shell.enabled[kCmdDelete] = true;
    shell.answers = {false};
    command(kCmdDelete);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"Biztosan törli a sort?\nTörzsszám: 12345678, jelzőszám: 111111112222222233333333"});
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);  // declined: the menu stays
    EXPECT_TRUE(shell.enabled[kCmdModify]);

    onKeyDown(state, shell, 0x2E);  // the Delete key, answered Yes
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, 0), "1");
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
}

TEST_F(CommandsTest, DeleteWithoutSelectionAsksNothing) {
    command(kCmdDelete);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
}

TEST_F(CommandsTest, ClicksSetModifyAndDeleteByTheSelection) {
    t.tables.appendRow(ViewRegister, registerRow("1"));
    shell.enabled[kCmdModify] = true;
    onNotify(state, shell, ListNotification::Click);
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
    EXPECT_TRUE(shell.enabled[kCmdNew]);
    onNotify(state, shell, ListNotification::DoubleClick);
    EXPECT_EQ(shell.modifyPosts, 0);
    selectRow(ViewRegister, 0);
    onNotify(state, shell, ListNotification::Click);
    EXPECT_TRUE(shell.enabled[kCmdModify]);
    EXPECT_TRUE(shell.enabled[kCmdDelete]);
    onNotify(state, shell, ListNotification::DoubleClick);
    EXPECT_EQ(shell.modifyPosts, 1);
    onNotify(state, shell, ListNotification::Other);
    EXPECT_TRUE(shell.enabled[kCmdModify]);
}

TEST_F(CommandsTest, SaveReportNeedsTheDataSheet) {
    command(kCmdSaveReport);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"A jelentés készítése előtt töltse ki az adatlapot!"});
    EXPECT_TRUE(shell.fileDialogs.empty());
    // After the data sheet is saved in the same run, it proceeds.
    DataSheetForm f = openDataSheet(state.settings());
    f.cjsz1 = "1"; f.cjsz2 = "10"; f.adoszam = "12345678"; f.Cnev = "Bank"; f.irsz = "1"; f.hely = "H";
    f.terulet = "T"; f.jelleg = 1; f.hazszam = "1"; f.Uemail = "a@b";
    EXPECT_FALSE(saveDataSheetDialog(state, f).has_value());
    EXPECT_TRUE(state.DataSheetFilled);
    command(kCmdSaveReport);
    ASSERT_EQ(shell.fileDialogs.size(), 1u);
    const FileDialogSpec& request = shell.fileDialogs[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(utf16ToCp1250(request.title), "Számla mentés file megadása");
    EXPECT_EQ(request.filterIndex, 2);
    EXPECT_EQ(request.defaultExtension, u"xml");
    EXPECT_EQ(request.initialDirectory, dir);  // the working folder, not "c:\"
    EXPECT_EQ(utf16ToCp1250(request.filters[0].description), "Minden állomány");
    EXPECT_EQ(request.filters[1].pattern, u"*.xml");
}

TEST_F(CommandsTest, SaveReportOutcomes) {
    fillDataSheet();
    onCreate(state, shell, dir);
    ASSERT_TRUE(state.DataSheetFilled);
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.appendRow(ViewRegister, registerRow(""));
    state.tables.ReportPending = true;
    shell.enabled[kCmdSaveReport] = true;

    shell.files = {dir / "r.xml"};
    command(kCmdSaveReport);  // the faulty row
    EXPECT_EQ(shell.lastText(), "Hibás cégszám a kiemelt sorban!");
    EXPECT_EQ(utf16ToCp1250(shell.messages.back().caption), "Hiba");
    EXPECT_EQ(shell.messages.back().icon, MessageIcon::Warning);
    EXPECT_TRUE(shell.enabled[kCmdModify]);
    EXPECT_TRUE(shell.enabled[kCmdDelete]);
    EXPECT_EQ(t.tables.marks(ViewRegister).state(1), (RowState{true, true}));
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);

    shell.files = {dir / "missing" / "r.xml"};
    t.tables.clearTable(ViewRegister);
    command(kCmdSaveReport);
    EXPECT_EQ(shell.lastText(), "Rendszerhiba (jelentés állomány létrehozása)");
    EXPECT_EQ(utf16ToCp1250(shell.messages.back().caption), "Jelentés");
    EXPECT_EQ(shell.messages.back().icon, MessageIcon::Error);
    EXPECT_TRUE(state.tables.ReportPending);

    shell.files = {std::nullopt};  // cancelled
    command(kCmdSaveReport);
    EXPECT_TRUE(state.tables.ReportPending);

    shell.files = {dir / "r.xml"};
    command(kCmdSaveReport);
    EXPECT_EQ(shell.lastText(), "A jelentés sikeresen elkészült");
    EXPECT_FALSE(state.tables.ReportPending);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    EXPECT_TRUE(std::filesystem::exists(dir / "r.xml"));

    // Each save starts in the folder of the last report written; a failed one does not count.
    std::filesystem::create_directory(dir / "reports");
    for (const auto& [chosen, startsIn] :
         {std::pair{dir / "reports" / "r2.xml", dir}, {dir / "missing" / "r3.xml", dir / "reports"},
          {dir / "r4.xml", dir / "reports"}}) {
        shell.files = {chosen};
        command(kCmdSaveReport);
        EXPECT_EQ(shell.fileDialogs.back().initialDirectory, startsIn) << chosen;
    }
}

TEST_F(CommandsTest, LoadGreysSaveReportAndCancelKeepsItGrey) {
    shell.enabled[kCmdSaveReport] = true;
    state.lastApehFile = dir / "old" / "prev.txt";
    command(kCmdLoadApeh);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    ASSERT_EQ(shell.fileDialogs.size(), 1u);
    const FileDialogSpec& request = shell.fileDialogs[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.initialDirectory, dir / "old");
    EXPECT_EQ(request.initialName, "prev.txt");
    EXPECT_EQ(utf16ToCp1250(request.title), "APEH protokoll forrás file megnyitása");
    EXPECT_EQ(utf16ToCp1250(request.filters[1].description), "szöveg");
    EXPECT_EQ(request.filters[1].pattern, u"*.txt");
    EXPECT_EQ(request.defaultExtension, u"txt");
    command(kCmdLoadReport);
    EXPECT_EQ(utf16ToCp1250(shell.fileDialogs[1].title), "Kovirant forrás file megnyitása");
    EXPECT_EQ(shell.fileDialogs[1].filters[1].pattern, u"*.XML");
    EXPECT_EQ(shell.fileDialogs[1].defaultExtension, u"xml");
    EXPECT_TRUE(shell.fileDialogs[1].initialName.empty());  // not the protocol's name
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
}

TEST_F(CommandsTest, ApehImportSetsPendingBeepsAndWarns) {
    writeFile(dir / "a.txt", apehLineOfCode() + "\r\n" + apehLineOfCode('2') + "\r\n");
    shell.files = {dir / "a.txt"};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_EQ(shell.beeps, (std::vector<int>{500, 1000, 1500}));
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"A jelentés készítése előtt ne felejtse el a cégszámokat megadni!"});
    EXPECT_EQ(shell.status[0], (dir / "a.txt").u16string());
    EXPECT_EQ(state.lastApehFile, dir / "a.txt");
    EXPECT_TRUE(state.lastXmlFile.empty());
}

TEST_F(CommandsTest, ApehImportStoppedKeepsItsRowsPendingAndTheMenuGrey) {
    writeFile(dir / "a.txt", apehLineOfCode() + "\r\nbad\r\n" + apehLineOfCode() + "\r\n");
    shell.files = {dir / "a.txt"};
    shell.answers = {false};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_TRUE(state.tables.ReportPending);  // exit asks before the row is lost
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    EXPECT_EQ(shell.texts().front(), "A sor nem 216 karakter hosszú: 2. sor. Folytatja ?");
    EXPECT_EQ(shell.beeps.size(), 3u);  // the register table has a row
}

TEST_F(CommandsTest, AppendOrReplaceQuestions) {
    writeFile(dir / "a.txt", apehLineOfCode() + "\r\n");
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank"});
    state.tables.ReportPending = true;

    // No, then No again: nothing loaded, nothing changed.
    shell.files = {dir / "a.txt"};
    shell.answers = {false, false};
    command(kCmdLoadApeh);
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.texts()[0], "Hozzáfűzzük az új állományt a meglévő adatokhoz?");
    EXPECT_EQ(shell.messages[0].caption, (dir / "a.txt").u16string());
    EXPECT_EQ(shell.texts()[1], "Ugye kiírta a jelentést?");
    EXPECT_FALSE(shell.messages[0].defaultNo);  // Yes appends
    EXPECT_TRUE(shell.messages[1].defaultNo);   // Yes empties the tables
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 1);
    EXPECT_TRUE(state.tables.ReportPending);

    // Yes appends.
    shell.messages.clear();
    shell.files = {dir / "a.txt"};
    shell.answers = {true};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);

    // No, then Yes: all three tables emptied, rows start again at 0.
    shell.files = {dir / "a.txt"};
    shell.answers = {false, true};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 0);
    EXPECT_EQ(t.tables.cell(ViewRegister, 0, 0), "");
}

TEST_F(CommandsTest, LoadWithOnlyInstitutionRowsAsksNothing) {
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank"});
    SettingsFile settings(dir / "Kovirant.ini");
    TestTables source;
    source.tables.appendRow(ViewRegister, registerRow("0109123456"));
    ASSERT_EQ(WriteReport(dir / "r.xml", source.tables, settings).status, ReportStatus::Written);
    shell.files = {dir / "r.xml"};
    command(kCmdLoadReport);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 1);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_FALSE(state.tables.ReportPending);  // a reload leaves it
}

TEST_F(CommandsTest, LoadOfAMissingFileShowsTheSystemError) {
    shell.files = {dir / "gone.xml"};
    command(kCmdLoadReport);
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"Rendszerhiba (file megnyitása)"});
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(shell.messages[0].ownedByMainWindow);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    shell.files = {dir / "gone.txt"};
    command(kCmdLoadApeh);
    EXPECT_EQ(shell.lastText(), "Rendszerhiba (file megnyitása)");
    EXPECT_FALSE(state.tables.ReportPending);
}

TEST_F(CommandsTest, ExitAsksOnlyWhilePending) {
    command(kCmdExit);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(shell.quits, 1);
    state.tables.ReportPending = true;
    shell.answers = {false};
    EXPECT_FALSE(onClose(state, shell));
    EXPECT_EQ(shell.texts(), std::vector<std::string>{"Nem készítette el a jelentést. Mégis kilép?"});
    EXPECT_TRUE(shell.messages[0].defaultNo);
    EXPECT_EQ(shell.quits, 1);
    EXPECT_TRUE(onClose(state, shell));
    EXPECT_EQ(shell.quits, 2);
}

TEST_F(CommandsTest, OtherCommandsRunTheirDialogsOrNothing) {
    command(kCmdDataSheet);
    command(kCmdAbout);
    command(12345);
    EXPECT_EQ(shell.dataSheetRuns, 1);
    EXPECT_EQ(shell.aboutRuns, 1);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(CommandsTest, ApehImportStoppedAtTheFirstLineLeavesPendingAsItWas) {
    writeFile(dir / "a.txt", "bad\r\n");
    shell.files = {dir / "a.txt"};
    shell.answers = {false};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 0);
    EXPECT_FALSE(state.tables.ReportPending);
}

TEST_F(CommandsTest, AnEditWhileTheSuccessMessageIsOpenStaysPending) {
    fillDataSheet();
    onCreate(state, shell, dir);
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    state.tables.ReportPending = true;
    shell.enabled[kCmdSaveReport] = true;
    shell.files = {dir / "r.xml"};
    bool pendingWhileShown = true, menuWhileShown = true;
    shell.whileMessageShown = [&] {
        pendingWhileShown = state.tables.ReportPending;
        menuWhileShown = shell.enabled[kCmdSaveReport];
        editorSavesValidRows();
        command(kCmdNew);  // the box has no owner: the officer adds a row meanwhile
        shell.whileMessageShown = nullptr;
    };
    command(kCmdSaveReport);
    EXPECT_EQ(shell.texts().front(), "A jelentés sikeresen elkészült");
    EXPECT_FALSE(pendingWhileShown);
    EXPECT_FALSE(menuWhileShown);
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
}

TEST_F(CommandsTest, TheFaultyRowStopShowsTheRegisterTableBeforeTheMessage) {
    fillDataSheet();
    onCreate(state, shell, dir);
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    t.tables.appendRow(ViewRegister, registerRow(""));
    t.tables.marks(ViewRegister).setState(0, {true, true});
    command(kCmdViewAccountChange);
    ViewKind shownAtMessage = ViewAccountChange;
    shell.whileMessageShown = [&] { shownAtMessage = shell.shown; };
    shell.files = {dir / "r.xml"};
    command(kCmdSaveReport);
    EXPECT_EQ(shell.lastText(), "Hibás cégszám a kiemelt sorban!");
    EXPECT_EQ(shownAtMessage, ViewRegister);
    EXPECT_EQ(state.tables.CurrentView, ViewRegister);
    // The faulty row alone is selected and focused.
    EXPECT_EQ(t.tables.marks(ViewRegister).state(1), (RowState{true, true}));
    EXPECT_EQ(t.tables.marks(ViewRegister).state(0), RowState{});
    EXPECT_EQ(shell.checked, (std::map<int, bool>{{kCmdViewRegister, true}, {kCmdViewInstitution, false},
                                                   {kCmdViewAccountChange, false}}));
}

TEST_F(CommandsTest, ATargetThatCannotBeReplacedIsAFileThatCannotBeCreated) {
    fillDataSheet();
    onCreate(state, shell, dir);
    std::filesystem::create_directory(dir / "r.xml");
    shell.files = {dir / "r.xml"};
    command(kCmdSaveReport);
    EXPECT_EQ(shell.lastText(), "Rendszerhiba (jelentés állomány létrehozása)");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "r.xml"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // no temporary file left
}

// Each rule of the menu tables, started from the state opposite to its result.
TEST_F(CommandsTest, AReplacingLoadClearsPendingAndAnAppendingOneKeepsIt) {
    SettingsFile settings(dir / "Kovirant.ini");
    TestTables source;
    source.tables.appendRow(ViewRegister, registerRow("0109123456"));
    ASSERT_EQ(WriteReport(dir / "r.xml", source.tables, settings).status, ReportStatus::Written);
    t.tables.appendRow(ViewRegister, registerRow("0109000001"));
    state.tables.ReportPending = true;

    shell.files = {dir / "r.xml"};
    shell.answers = {true};  // append
    command(kCmdLoadReport);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 2);
    EXPECT_TRUE(state.tables.ReportPending);

    shell.files = {dir / "r.xml"};
    shell.answers = {false, true};  // replace; the report was written
    command(kCmdLoadReport);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
    EXPECT_FALSE(state.tables.ReportPending);
}

TEST_F(CommandsTest, NoThenNoLeavesTheMenuAndTheStatusAsTheyWere) {
    writeFile(dir / "a.txt", apehLineOfCode() + "\r\n");
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    state.tables.ReportPending = true;
    shell.status[0] = u"before";
    shell.enabled[kCmdSaveReport] = false;
    shell.files = {dir / "a.txt"};
    shell.answers = {false, false};
    command(kCmdLoadReport);
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
    EXPECT_EQ(shell.status[0], u"before");
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
}

TEST_F(CommandsTest, TheXmlLoadGreysAnEnabledSaveReport) {
    shell.enabled[kCmdSaveReport] = true;
    command(kCmdLoadReport);  // cancelled
    EXPECT_FALSE(shell.enabled[kCmdSaveReport]);
}

TEST_F(CommandsTest, AClickWithoutSelectionGreysAnEnabledDeleteAndOtherNotificationsLeaveTheMenu) {
    t.tables.appendRow(ViewRegister, registerRow("1"));
    shell.enabled[kCmdDelete] = true;
    shell.enabled[kCmdNew] = false;
    onNotify(state, shell, ListNotification::Click);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
    EXPECT_TRUE(shell.enabled[kCmdNew]);
    selectRow(ViewRegister, 0);  // a selection by the keyboard
    onNotify(state, shell, ListNotification::Other);
    EXPECT_FALSE(shell.enabled[kCmdModify]);
    EXPECT_FALSE(shell.enabled[kCmdDelete]);
}

TEST_F(CommandsTest, SavesInTheOtherEditorsSetPendingAndEnableSaveReport) {
    const InstitutionForm inst = institutionFormOf({"Bank", "0110012345", "12345678", "1051", "Budapest", "Nádor",
                                                    "utca", "16", "87654321", "", "", "Módosítás"});
    const AccountChangeForm acc = accountChangeFormOf({"12345678", "", std::string(24, '1'), "2001-01-01", "2005-01-01",
                                                       std::string(24, '4'), "2005-01-02", ""});
    for (ViewKind kind : {ViewInstitution, ViewAccountChange}) {
        SCOPED_TRACE(kind);
        state.tables.ReportPending = false;
        shell.enabled[kCmdSaveReport] = shell.enabled[kCmdNew] = false;
        std::optional<EditorMessage> message;
        if (kind == ViewInstitution) message = saveInstitutionEditor(state, shell, openInstitutionEditor(state, EditorMode::New), inst);
        else message = saveAccountChangeEditor(state, shell, openAccountChangeEditor(state, EditorMode::New), acc);
        ASSERT_FALSE(message.has_value()) << message->text;
        EXPECT_EQ(t.tables.rowCounter(kind), 1);
        EXPECT_TRUE(state.tables.ReportPending);
        EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
        EXPECT_TRUE(shell.enabled[kCmdNew]);
    }
}

TEST_F(CommandsTest, DeleteInAMultiSelectTableClearsTheRemainingSelection) {
    command(kCmdViewInstitution);
    for (const char* name : {"A", "B", "C"}) t.tables.appendRow(ViewInstitution, InstitutionEntry{name});
    selectRow(ViewInstitution, 0);
    selectRow(ViewInstitution, 2);
    command(kCmdDelete);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 2);
    EXPECT_FALSE(t.tables.hasSelection());
}

TEST_F(CommandsTest, AViewSwitchLeavesSelectionAndStatusText) {
    t.tables.appendRow(ViewRegister, registerRow("1"));
    selectRow(ViewRegister, 0);
    shell.status[0] = u"file";
    const std::string rows = t.tables.statusText();
    command(kCmdViewInstitution);
    command(kCmdViewRegister);
    EXPECT_EQ(t.tables.marks(ViewRegister).state(0), (RowState{true, true}));
    EXPECT_EQ(shell.status[0], u"file");
    EXPECT_EQ(t.tables.statusText(), rows);
}

// The working folder on a managed desktop: the first configured folder that is
// set decides, made when missing; one that cannot be made is named with the
// system's code and the current directory is used.
TEST(WorkingFolder, PolicyThenInstallerThenTheCurrentDirectory) {
    const std::filesystem::path base = freshTempDir("working-folder");
    const std::filesystem::path current = base / "current";
    const std::optional<std::filesystem::path> none;
    const std::optional<std::filesystem::path> machine = base / "gep" / "Kovirant";
    const std::optional<std::filesystem::path> user = base / "felhasznalo";
    const std::optional<std::filesystem::path> configured[] = {none, user, machine};
    WorkingFolder chosen = chooseWorkingFolder(configured, current);
    EXPECT_EQ(chosen.folder, user);
    EXPECT_TRUE(std::filesystem::is_directory(*user));
    EXPECT_FALSE(std::filesystem::exists(*machine));

    const std::optional<std::filesystem::path> unset[] = {none, none, none};
    EXPECT_EQ(chooseWorkingFolder(unset, current).folder, current);

    writeFile(base / "fajl", "");
    const std::optional<std::filesystem::path> blocked[] = {base / "fajl" / "alatta", user, none};
    chosen = chooseWorkingFolder(blocked, current);
    EXPECT_EQ(chosen.folder, current);
    EXPECT_EQ(chosen.refused, base / "fajl" / "alatta");
    EXPECT_NE(chosen.errorCode, 0);
    EXPECT_NE(workingFolderMessage(chosen).find("Hibakód="), std::string::npos);
}

// A policy value that names an unset variable (left as %...% after the
// expansion) or is not an absolute path is refused with a message naming it,
// never used as a folder under wherever the program was started.
TEST(WorkingFolder, APolicyValueThatIsNoAbsolutePathIsRefused) {
    const std::filesystem::path base = freshTempDir("policy-value");
    const struct {
        std::filesystem::path value;
        const char* why;  // nullptr: usable
    } cases[] = {
        {base / "kozos" / "Archivum", nullptr},
        {base / "100%" / "Archivum", nullptr},
        {"%KOZOS%/Archivum", "környezeti változó nincs beállítva"},
        {base / "%KOZOS%" / "Archivum", "környezeti változó nincs beállítva"},
        {"Archivum", "nem teljes elérési út"},
        {"./kozos/Cegtar.csv", "nem teljes elérési út"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.string());
        const std::string fault = policyValueFault("Archivum", c.value);
        if (!c.why) {
            EXPECT_EQ(fault, "");
            continue;
        }
        EXPECT_NE(fault.find("Archivum értéke (" + c.value.string() + ")"), std::string::npos) << fault;
        EXPECT_NE(fault.find(c.why), std::string::npos) << fault;
        const std::optional<std::filesystem::path> configured[] = {c.value};
        const WorkingFolder chosen = chooseWorkingFolder(configured, base);
        EXPECT_EQ(chosen.folder, base);
        EXPECT_NE(workingFolderMessage(chosen).find("Munkamappa értéke"), std::string::npos) << workingFolderMessage(chosen);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "%KOZOS%"));
}

TEST_F(CommandsTest, TheDeleteQuestionNamesTheRowOfEachTable) {
    AccountChangeEntry change{};
    change[AccountChangeCol::taxBaseNumber] = "87654321";
    change[AccountChangeCol::originalAccountNumber] = "1234567812345678";
    change[AccountChangeCol::newAccountNumber] = "8765432187654321";
    InstitutionEntry bank{};
    bank[InstitutionCol::taxBaseNumber] = "11223344";
    t.tables.appendRow(ViewAccountChange, change);
    t.tables.appendRow(ViewInstitution, bank);
    const struct {
        int view;
        ViewKind kind;
        const char* question;
    } cases[] = {
        {kCmdViewAccountChange, ViewAccountChange, "Biztosan törli a sort?\nTörzsszám: 87654321, jelzőszám: 1234567812345678"},
        {kCmdViewInstitution, ViewInstitution, "Biztosan törli a sort?\nTörzsszám: 11223344"},
    };
    for (const auto& c : cases) {
        command(c.view);
        selectRow(c.kind, 0);
        shell.messages.clear();
        shell.answers = {false};
        command(kCmdDelete);
        EXPECT_EQ(shell.texts(), std::vector<std::string>{c.question});
    }
}

// Three faulty lines are asked about one by one; at the fourth the officer is
// offered to skip the rest without a question, and those are listed at the end.
TEST_F(CommandsTest, ManyFaultyProtocolLinesAskOnceForTheRest) {
    std::string protocol;
    for (int i = 1; i <= 8; ++i) protocol += (i % 2 == 0 ? apehLineOfCode() : std::string("rossz")) + "\r\n";
    writeFile(dir / "a.txt", protocol);
    const std::string offer = "A fájlban további hibás sorok lehetnek. Átlépjem őket kérdés nélkül?";

    shell.files = {dir / "a.txt"};
    command(kCmdLoadApeh);  // every answer Yes
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 4);
    EXPECT_EQ(shell.texts(), (std::vector<std::string>{
                                 "A sor nem 216 karakter hosszú: 1. sor. Folytatja ?",
                                 "A sor nem 216 karakter hosszú: 3. sor. Folytatja ?",
                                 "A sor nem 216 karakter hosszú: 5. sor. Folytatja ?",
                                 offer,
                                 "Kérdés nélkül átlépett hibás sorok (1):\n7. sor: A sor nem 216 karakter hosszú",
                                 "A jelentés készítése előtt ne felejtse el a cégszámokat megadni!",
                             }));

    // No to the offer: each line is asked about as before.
    t.tables.clearTable(ViewRegister);
    shell.messages.clear();
    shell.files = {dir / "a.txt"};
    shell.answers = {true, true, true, false, true};
    command(kCmdLoadApeh);
    EXPECT_EQ(t.tables.rowCounter(ViewRegister), 4);
    ASSERT_EQ(shell.messages.size(), 6u);
    EXPECT_EQ(shell.texts()[3], offer);
    EXPECT_EQ(shell.texts()[4], "A sor nem 216 karakter hosszú: 7. sor. Folytatja ?");
}

// Undoing a load that appended to the register and the institution rows
// leaves the officer on the table looked at, not on an emptied other one.
TEST_F(CommandsTest, UndoOfALoadStaysOnTheTableLookedAt) {
    SettingsFile settings(dir / "Kovirant.ini");
    TestTables source;
    source.tables.appendRow(ViewRegister, registerRow("0109123456"));
    InstitutionEntry bank{"Bank", "0110041234", "12345678"};
    source.tables.appendRow(ViewInstitution, bank);
    ASSERT_EQ(WriteReport(dir / "r.xml", source.tables, settings).status, ReportStatus::Written);
    for (const auto& [view, kind] : {std::pair{kCmdViewRegister, ViewRegister}, {kCmdViewInstitution, ViewInstitution}}) {
        t.tables.appendRow(ViewRegister, registerRow("0109000001"));
        command(kCmdViewRegister);
        shell.files = {dir / "r.xml"};
        shell.answers = {true};  // append
        command(kCmdLoadReport);
        ASSERT_EQ(t.tables.rowCounter(ViewRegister), 2);
        command(view);
        command(kCmdUndo);
        EXPECT_EQ(t.tables.rowCounter(ViewRegister), 1);
        EXPECT_EQ(state.tables.CurrentView, kind);
        EXPECT_EQ(shell.shown, kind);
        command(kCmdRedo);
        EXPECT_EQ(shell.shown, kind);
        for (ViewKind k : kAllKinds) t.tables.clearTable(k);
    }
}
