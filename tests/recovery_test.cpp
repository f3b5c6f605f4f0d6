#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "app/commands.h"
#include "fake_shell.h"
#include "app/recovery_commands.h"
#include "directory/company_directory.h"
#include "recovery/change_journal.h"
#include "recovery/recovery_file.h"
#include "recovery/snapshot_job.h"
#include "util/file_io.h"
#include "test_support.h"

using namespace kovirant;

namespace {

std::size_t filesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// Rows the writer would refuse or cut: no company number, over-long cells,
// a short company number of an account change, an institution without one.
void fillAwkwardRows(RecordTables& t) {
    t.appendRow(ViewRegister, registerRow(""));
    t.appendRow(ViewRegister, registerRow("0109123456", "123456789012", std::string(30, '1'), "2005-03-01",
                                          "2006-01-01", "Törlés"));
    t.appendRow(ViewRegister, registerRow("01", "", "", "", "", ""));
    t.appendRow(ViewInstitution, InstitutionEntry{std::string(511, 'N'), "", "123456789", "12345", "Győr & <Vác>",
                                                  "Fő \"tér\"", "út", "12345678901", "1", "", "", "HibásAdat"});
    t.appendRow(ViewAccountChange, AccountChangeEntry{"12345678", "0109", std::string(24, '1'), "2001-01-01", "",
                                                      std::string(25, '2'), "2005-01-02", "2006-12-31"});
}

template <std::size_t N>
std::vector<std::array<std::string, N>> rows(const RecordTables& t, ViewKind kind) {
    std::vector<std::array<std::string, N>> out(static_cast<std::size_t>(t.rowCounter(kind)));
    for (std::size_t r = 0; r < out.size(); ++r) t.readRow(kind, r, out[r]);
    return out;
}

// The next start of the program in `dir`, its offer answered.
struct NextRun {
    TestTables fresh;
    AppState state{fresh.tables};
    NextRun(FakeShell& shell, const std::filesystem::path& dir, bool yes) {
        onCreate(state, shell, dir);
        shell.answers = {yes};
        offerRecovery(state, shell, 0);
    }
};

class RecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = freshTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        onCreate(state, shell, dir);
        file = recoveryPath(dir);
    }
    void afterCommand(int id) {
        onCommand(state, shell, id);
        keepRecovery(state, shell);
    }

    std::filesystem::path dir, file;
    TestTables t;
    AppState state{t.tables};
    FakeShell shell;
};

}  // namespace

TEST_F(RecoveryTest, EveryRowAndCellComesBackWhole) {
    fillAwkwardRows(t.tables);
    ASSERT_EQ(writeRecovery(file, t.tables, state.settings()), 0);
    const RecoveredRows found = readRecovery(file);
    ASSERT_EQ(found.status, RecoveryStatus::Read);
    TestTables back;
    restoreRows(found, back.tables);
    EXPECT_EQ((rows<RegisterCol::count>(back.tables, ViewRegister)), (rows<RegisterCol::count>(t.tables, ViewRegister)));
    EXPECT_EQ((rows<InstitutionCol::count>(back.tables, ViewInstitution)),
              (rows<InstitutionCol::count>(t.tables, ViewInstitution)));
    EXPECT_EQ((rows<AccountChangeCol::count>(back.tables, ViewAccountChange)),
              (rows<AccountChangeCol::count>(t.tables, ViewAccountChange)));
    EXPECT_EQ(back.tables.statusText(), " 3 tétel");  // the register rows came last
}

TEST_F(RecoveryTest, AFileCutShortAnywhereOrOfJunkIsDamaged) {
    fillAwkwardRows(t.tables);
    ASSERT_EQ(writeRecovery(file, t.tables, state.settings()), 0);
    const std::string whole = readFile(file);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        writeFile(file, whole.substr(0, n));
        const RecoveredRows found = readRecovery(file);
        ASSERT_EQ(found.status, RecoveryStatus::Damaged) << "cut at " << n;
    }
    writeFile(file, std::string("\x00\xFF junk \r\n", 10));
    const RecoveredRows junk = readRecovery(file);
    EXPECT_EQ(junk.status, RecoveryStatus::Damaged);
    std::filesystem::remove(file);
    const RecoveredRows none = readRecovery(file);
    EXPECT_EQ(none.status, RecoveryStatus::Missing);
}

TEST_F(RecoveryTest, FollowsTheTablesWhilePendingAndGoesWhenNothingIs) {
    shell.registerEditorSavesAValidRow();
    afterCommand(kCmdNew);
    ASSERT_TRUE(std::filesystem::exists(file));
    const RecoveredRows found = readRecovery(file);
    EXPECT_EQ(found[ViewRegister].rowCount(), 1u);
    afterCommand(kCmdNew);
    const RecoveredRows two = readRecovery(file);
    EXPECT_EQ(two[ViewRegister].rowCount(), 2u);

    // A replacing load clears ReportPending: nothing is left to recover.
    shell.files = {dir / "missing.xml"};
    shell.answers = {false, true};
    afterCommand(kCmdLoadReport);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(shell.recoverySchedules.empty());
}

TEST_F(RecoveryTest, LeavingOnPurposeRemovesItAndNothingWritesItAgain) {
    t.tables.appendRow(ViewRegister, registerRow(""));
    state.tables.ReportPending = true;
    keepRecovery(state, shell);
    ASSERT_TRUE(std::filesystem::exists(file));
    shell.answers = {true};  // "Mégis kilép?" Yes
    afterCommand(kCmdExit);
    EXPECT_EQ(shell.quits, 1);
    EXPECT_FALSE(std::filesystem::exists(file));
}

// Above the row limit each command's changes go to the journal before the
// next input; what a kill leaves is the snapshot with the journal replayed.
// The snapshot, rewritten from a frozen copy on another thread, takes the
// journal's place; a kill between the two applies nothing twice.
TEST_F(RecoveryTest, LargeTablesKeepEveryChangeInTheJournal) {
    for (std::size_t i = 0; i < kRecoveryImmediateRows + 10; ++i)
        t.tables.appendRow(ViewRegister, registerRow("01091" + std::to_string(10000 + i)));
    state.tables.ReportPending = true;
    keepRecovery(state, shell);
    const std::filesystem::path journal = journalPath(dir);
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(std::filesystem::exists(journal));

    // What the next start finds, in a copy of the folder.
    int copies = 0;
    auto afterKill = [&] {
        const auto copy = freshTempDir("kill" + std::to_string(++copies));
        for (const auto& f : {file, journal})
            if (std::filesystem::exists(f)) std::filesystem::copy_file(f, copy / f.filename());
        return tableRows(NextRun(shell, copy, true).fresh.tables);
    };
    EXPECT_EQ(afterKill(), tableRows(t.tables));

    t.tables.marks(ViewRegister).setState(7, {true, true});
    shell.answers = {true};
    afterCommand(kCmdDelete);
    EXPECT_EQ(afterKill(), tableRows(t.tables));
    EXPECT_NE(shell.lastText().find("(cégjegyzék: 20009,"), std::string::npos) << shell.lastText();

    // Idle: the snapshot is written from a copy on another thread, as the
    // window has it written, while changes come in: the other rows are
    // rewritten twice too, so that the blocks the copy reads hold no live
    // row and the table needs room again.
    writePendingRecovery(state, shell);
    ASSERT_EQ(shell.snapshotJobs.size(), 1u);
    std::thread writing([job = shell.snapshotJobs[0]] { job->run(); });
    state.tables.writeCell(ViewRegister, 3, RegisterCol::companyNumber, "0109999999");
    keepRecovery(state, shell);
    for (const char* opening : {"2026-01-01", "2026-01-02"})
        for (std::size_t row = 0; row < t.tables.table(ViewRegister).rowCount(); ++row)
            if (row != 3) state.tables.writeCell(ViewRegister, row, RegisterCol::openingDate, opening);
    keepRecovery(state, shell);
    writing.join();
    snapshotJobDone(state, shell);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(readRecovery(file)[ViewRegister].cell(3, RegisterCol::companyNumber), "0109110003");  // as it was copied
    EXPECT_TRUE(std::filesystem::exists(journal));
    EXPECT_EQ(afterKill(), tableRows(t.tables));

    // The next snapshot holds every change: the journal goes.
    const std::string journalBytes = readFile(journal);
    writePendingRecovery(state, shell);
    ASSERT_EQ(shell.snapshotJobs.size(), 2u);
    shell.snapshotJobs[1]->run();
    snapshotJobDone(state, shell);
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_EQ(afterKill(), tableRows(t.tables));
    writeFile(journal, journalBytes);  // as a kill before the journal went leaves it
    EXPECT_EQ(afterKill(), tableRows(t.tables));
    std::filesystem::remove(journal);

    // A job called off (the report saved meanwhile) leaves nothing behind.
    t.tables.writeCell(ViewRegister, 4, RegisterCol::companyNumber, "0109888888");
    keepRecovery(state, shell);
    writePendingRecovery(state, shell);
    state.recovery.snapshotBytes = 0;
    ASSERT_EQ(shell.snapshotJobs.size(), 2u);  // an eighth of the snapshot it is not worth
    state.recovery.snapshotOnDisk = false;
    writePendingRecovery(state, shell);
    ASSERT_EQ(shell.snapshotJobs.size(), 3u);
    state.tables.ReportPending = false;
    keepRecovery(state, shell);
    shell.snapshotJobs[2]->run();
    snapshotJobDone(state, shell);
    EXPECT_EQ(filesIn(dir), 0u);
}

// What a power loss or a damaged disk leaves of the journal. A tail that
// cannot be a record is a torn end; damage in the middle gives back the
// changes before it and sets the original aside, never deleted; a journal
// that cannot be read is left alone. No keeps the rows in a file a load by
// hand reads.
TEST_F(RecoveryTest, ADamagedJournalGivesBackEveryIntactChange) {
    for (std::size_t i = 0; i <= kRecoveryImmediateRows; ++i) t.tables.appendRow(ViewRegister, registerRow(""));
    state.tables.ReportPending = true;
    keepRecovery(state, shell);
    for (int i = 0; i < 3; ++i) {
        t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank " + std::to_string(i)});
        keepRecovery(state, shell);
    }
    const std::string bytes = readFile(journalPath(dir));
    const JournalContents whole = parseJournal(bytes);
    ASSERT_EQ(whole.records.size(), 4u);
    auto at = [&](std::size_t record) {
        return static_cast<std::size_t>(whole.records[record].payload.data() - whole.bytes.data());
    };
    auto flipped = [&](std::size_t offset) {
        std::string b = bytes;
        b[offset] = static_cast<char>(b[offset] ^ 0x04);
        return b;
    };
    struct Case {
        const char* what;
        std::string journal;
        std::size_t institutions;  // come back
        const char* text;          // in the message
        bool setAside;             // the original kept beside the rows
    } cases[] = {
        {"the last record torn", bytes.substr(0, bytes.size() - 3), 2, "Visszatöltsem", false},
        {"40 zero bytes after the records", bytes + std::string(40, '\0'), 3, "Visszatöltsem", false},
        {"4096 zero bytes after the records", bytes + std::string(4096, '\0'), 3, "Visszatöltsem", false},
        {"garbage after the records", bytes + "\x01\x02garbage", 3, "Visszatöltsem", false},
        {"a changed length byte in a middle record", flipped(at(2) - 16), 1, "2 változását nem tudtam", true},
        {"a record in the middle damaged", flipped(at(2) + 3), 1, "2 változását nem tudtam", true},
        {"the last complete record damaged", flipped(at(3) + 3), 2, "Az utolsó változás nem olvasható", false},
    };
    const auto copy = freshTempDir("damaged");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& e : std::filesystem::directory_iterator(copy)) std::filesystem::remove(e.path());
        writeFile(journalPath(copy), c.journal);
        EXPECT_EQ(NextRun(shell, copy, false).fresh.tables.totalRows(), 0u);
        EXPECT_NE(shell.lastText().find(c.text), std::string::npos) << shell.lastText();
        ASSERT_EQ(filesIn(copy), c.setAside ? 2u : 1u);
        for (const auto& e : std::filesystem::directory_iterator(copy)) {
            if (e.path().extension() == ".naplo") {
                EXPECT_EQ(readFile(e.path()), c.journal);  // never cut or removed before it is set aside
                continue;
            }
            const RecoveredRows kept = readRecovery(e.path());
            EXPECT_EQ(kept[ViewRegister].rowCount(), kRecoveryImmediateRows + 1);
            EXPECT_EQ(kept[ViewInstitution].rowCount(), c.institutions);
        }
    }

    // One that cannot be read (another program holds it) is neither offered,
    // moved nor removed, also when this run writes its small tables.
    for (const auto& e : std::filesystem::directory_iterator(copy)) std::filesystem::remove(e.path());
    std::filesystem::create_directory(journalPath(copy));
    NextRun next(shell, copy, true);
    EXPECT_EQ(shell.messages.back().icon, MessageIcon::Warning);
    EXPECT_NE(shell.lastText().find("Kovirant-visszaallitas.naplo"), std::string::npos);
    next.fresh.tables.appendRow(ViewRegister, registerRow(""));
    next.state.tables.ReportPending = true;
    keepRecovery(next.state, shell);
    EXPECT_TRUE(std::filesystem::is_directory(journalPath(copy)));
    EXPECT_FALSE(std::filesystem::exists(recoveryPath(copy)));
}

// A journal removed from outside while the program runs: the next change
// puts the whole tables into a fresh one, so nothing is lost to it.
TEST_F(RecoveryTest, AJournalRemovedFromOutsideIsWrittenAfresh) {
    for (std::size_t i = 0; i <= kRecoveryImmediateRows; ++i) t.tables.appendRow(ViewRegister, registerRow(""));
    state.tables.ReportPending = true;
    keepRecovery(state, shell);
    std::filesystem::remove(journalPath(dir));
    t.tables.appendRow(ViewInstitution, InstitutionEntry{"Bank"});
    keepRecovery(state, shell);
    const auto copy = freshTempDir("removed");  // this run still holds its folder
    std::filesystem::copy_file(journalPath(dir), journalPath(copy));
    NextRun next(shell, copy, true);
    EXPECT_EQ(next.fresh.tables.totalRows(), kRecoveryImmediateRows + 2);
}

TEST_F(RecoveryTest, StartUpOffersTheRowsBack) {
    fillAwkwardRows(t.tables);
    ASSERT_EQ(writeRecovery(file, t.tables, state.settings()), 0);
    TestTables fresh;
    AppState next(fresh.tables);
    onCreate(next, shell, dir);

    shell.answers = {true};
    offerRecovery(next, shell, 0);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Question);
    EXPECT_TRUE(shell.messages[0].ownedByMainWindow);
    EXPECT_NE(shell.lastText().find("5 nem mentett sorral"), std::string::npos) << shell.lastText();
    EXPECT_EQ(fresh.tables.totalRows(), 5u);
    EXPECT_TRUE(next.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_EQ(fresh.tables.statusText(), " 3 tétel");
    EXPECT_TRUE(std::filesystem::exists(file));  // still unsaved
}

TEST_F(RecoveryTest, NoOrDamagePutsTheFileAsideAndLoadsNothing) {
    t.tables.appendRow(ViewRegister, registerRow(""));
    ASSERT_EQ(writeRecovery(file, t.tables, state.settings()), 0);
    const std::string bytes = readFile(file);
    TestTables fresh;
    AppState next(fresh.tables);
    onCreate(next, shell, dir);
    shell.answers = {false};
    offerRecovery(next, shell, 0);
    EXPECT_EQ(fresh.tables.totalRows(), 0u);
    EXPECT_FALSE(next.tables.ReportPending);
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(filesIn(dir), 1u);
    const auto aside = std::filesystem::directory_iterator(dir)->path();
    EXPECT_EQ(readFile(aside), bytes);  // never deleted
    EXPECT_EQ(aside.extension(), ".xml");

    writeFile(file, bytes.substr(0, bytes.size() / 2));
    offerRecovery(next, shell, 0);
    EXPECT_EQ(shell.messages.back().icon, MessageIcon::Warning);
    EXPECT_NE(shell.lastText().find("sérült"), std::string::npos);
    EXPECT_EQ(fresh.tables.totalRows(), 0u);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(filesIn(dir), 2u);
}

TEST_F(RecoveryTest, AFolderWithoutWriteAccessIsToldOnce) {
    AppState blocked(t.tables);
    blocked.settingsPath = "/proc/Kovirant.ini";  // no file can be made there, not even by root
    t.tables.appendRow(ViewRegister, registerRow(""));
    blocked.tables.ReportPending = true;
    keepRecovery(blocked, shell);
    t.tables.appendRow(ViewRegister, registerRow(""));
    keepRecovery(blocked, shell);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Warning);
    EXPECT_NE(shell.lastText().find("Hibakód="), std::string::npos);
}

// A recovery file set aside and loaded by hand, as its message advises, brings
// every row back (an import's rows lack their company number) and is pending
// work; a report loaded the same way stays as it was.
TEST_F(RecoveryTest, ASetAsideFileLoadedByHandBringsEveryRowBackAsPending) {
    fillAwkwardRows(t.tables);
    const auto before = rows<RegisterCol::count>(t.tables, ViewRegister);
    const std::filesystem::path aside = dir / "felretett.xml";
    ASSERT_EQ(writeRecovery(aside, t.tables, state.settings()), 0);
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) t.tables.clearTable(k);
    state.tables.ReportPending = false;
    shell.files = {aside};
    onCommand(state, shell, kCmdLoadReport);
    EXPECT_EQ(rows<RegisterCol::count>(t.tables, ViewRegister), before);
    EXPECT_EQ(t.tables.rowCounter(ViewInstitution), 1);
    EXPECT_TRUE(state.tables.ReportPending);
    EXPECT_TRUE(shell.enabled[kCmdSaveReport]);
    EXPECT_FALSE(std::filesystem::exists(directoryPath(dir)));  // unsaved rows teach nothing
    shell.answers = {false};
    onCommand(state, shell, kCmdExit);
    EXPECT_EQ(shell.quits, 0);  // exit asks
}

// Two copies in one folder: the first keeps the file; the second neither
// writes nor removes it, offers nothing at start-up and says once why its
// rows are not protected.
TEST_F(RecoveryTest, ASecondCopyInTheFolderLeavesTheFirstCopysFile) {
    t.tables.appendRow(ViewRegister, registerRow(""));
    state.tables.ReportPending = true;
    keepRecovery(state, shell);
    ASSERT_TRUE(std::filesystem::exists(file));
    const std::string kept = readFile(file);

    TestTables other;
    AppState second(other.tables);
    FakeShell secondShell;
    onCreate(second, secondShell, dir);
    offerRecovery(second, secondShell, 0);
    EXPECT_TRUE(secondShell.messages.empty());
    EXPECT_EQ(other.tables.totalRows(), 0u);
    for (int i = 0; i < 2; ++i) {
        other.tables.appendRow(ViewRegister, registerRow("0109123456"));
        second.tables.ReportPending = true;
        keepRecovery(second, secondShell);
    }
    ASSERT_EQ(secondShell.messages.size(), 1u);
    EXPECT_NE(secondShell.lastText().find("másik példánya"), std::string::npos);
    second.tables.ReportPending = false;  // saved: the first copy's file must stay
    keepRecovery(second, secondShell);
    dropRecovery(second);
    EXPECT_EQ(readFile(file), kept);
}

// A killed save leaves its temporary file; the next start and the next save
// remove the program's own stale ones, never one still being written nor any
// other file.
TEST_F(RecoveryTest, StaleTemporaryFilesOfAKilledSaveGo) {
    writeFile(dir / "~kov999999999_4.tmp", "half a report");  // of a process that is not running
    // A running process's, not (or not yet) held: a parallel run's save.
    const std::string running = "~kov" + std::to_string(::getpid()) + "_7.tmp";
    writeFile(dir / running, "being written");
    writeFile(dir / "~kovabc.tmp", "not ours");
    writeFile(dir / "jegyzet.tmp", "not ours");
    AtomicFile writing(dir / "other.xml");
    ASSERT_EQ(writing.open(), 0);
    ASSERT_EQ(writing.write("being written"), 0);
    TestTables fresh;
    AppState next(fresh.tables);
    onCreate(next, shell, dir);
    EXPECT_FALSE(std::filesystem::exists(dir / "~kov999999999_4.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / running));
    std::filesystem::remove(dir / running);
    EXPECT_TRUE(std::filesystem::exists(dir / "~kovabc.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "jegyzet.tmp"));
    EXPECT_EQ(filesIn(dir), 3u);  // the file being written is still there
    EXPECT_EQ(writing.commit(), 0);

    writeFile(dir / "~kov999999999_9.tmp", "");
    t.tables.appendRow(ViewRegister, registerRow("0109123456"));
    writeFile(dir / "Kovirant.ini", "[ADATLAP]\r\nCnev=Bank\r\n");
    state.DataSheetFilled = true;
    shell.files = {dir / "r.xml"};
    onCommand(state, shell, kCmdSaveReport);
    EXPECT_FALSE(std::filesystem::exists(dir / "~kov999999999_9.tmp"));
}

// A working folder on the network keeps its recovery files on this machine,
// in a folder of its own; a file an earlier version left in the working
// folder is brought there at the next start and offered.
TEST_F(RecoveryTest, ANetworkWorkingFolderKeepsTheRowsOnThisMachine) {
    const std::filesystem::path share = "/mnt/kozos/anna";
    const std::filesystem::path local = freshTempDir("local");
    const std::filesystem::path kept = recoveryFolderFor(share, true, local);
    EXPECT_EQ(kept.parent_path(), local / "Kovirant");
    EXPECT_EQ(kept.filename().string().rfind("anna-", 0), 0u);
    EXPECT_NE(kept, recoveryFolderFor("/mnt/masik/anna", true, local));  // two folders of one name
    EXPECT_EQ(recoveryFolderFor(share, false, local), share);
    EXPECT_EQ(recoveryFolderFor(share, true, std::nullopt), share);

    fillAwkwardRows(t.tables);
    const auto working = freshTempDir("earlier-version");
    ASSERT_EQ(writeRecovery(recoveryPath(working), t.tables, state.settings()), 0);
    TestTables fresh;
    AppState next(fresh.tables);
    onCreate(next, shell, working);
    next.recoveryFolder = kept;
    shell.answers = {true};
    offerRecovery(next, shell, 0);
    EXPECT_EQ(fresh.tables.totalRows(), t.tables.totalRows());
    EXPECT_FALSE(std::filesystem::exists(recoveryPath(working)));
    next.tables.appendRow(ViewRegister, registerRow(""));
    keepRecovery(next, shell);
    EXPECT_TRUE(std::filesystem::exists(recoveryPath(kept)));
    EXPECT_FALSE(std::filesystem::exists(recoveryPath(working)));
}
