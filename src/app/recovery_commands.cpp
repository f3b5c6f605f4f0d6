#include "app/recovery_commands.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "recovery/recovery_file.h"
#include "recovery/recovery_scan.h"
#include "text/cp1250.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

std::filesystem::path folderOf(const AppState& state) {
    return state.recoveryFolder.empty() ? state.settingsPath.parent_path() : state.recoveryFolder;
}

RecoveryKeeper keeperOf(AppState& state) {
    return RecoveryKeeper(state.recovery, state.tables, state.settingsPath, folderOf(state));
}

// Each file by its own name.
std::string fileWords(std::string_view file) {
    return file == kJournalFileName ? "a változásnapló (" + std::string(file) + ")"
                                    : "a visszaállítási állomány (" + std::string(file) + ")";
}

// What the keeper asks: a warning told, the idle rewrite scheduled, a
// snapshot started on another thread.
void carryOut(Shell& shell, const KeeperOutcome& o) {
    std::string text;
    if (o.warning == KeeperOutcome::Warning::CannotWrite)
        text = "A nem mentett sorok védelme nem működik: " + fileWords(o.file) + " nem írható, Hibakód=" +
               std::to_string(o.errorCode) + ". A sorok a jelentés mentéséig csak a memóriában vannak.";
    else if (o.warning == KeeperOutcome::Warning::HeldElsewhere)
        text = "A nem mentett sorok védelme ebben az ablakban nem működik: a Kovirant egy másik példánya már fut ebben a "
               "mappában, és az a saját sorait őrzi a visszaállítási állományban (" + std::string(kRecoveryFileName) +
               "). Az itt felvitt sorok a jelentés mentéséig csak a memóriában vannak.";
    else if (o.warning == KeeperOutcome::Warning::CannotRemove)
        text = "A nem mentett sorokat a visszaállítási állomány őrzi, de " + fileWords(o.file) +
               " nem törölhető, Hibakód=" + std::to_string(o.errorCode) +
               " (talán egy másik program, például víruskereső használja). Minden változás után újra megpróbálom; "
               "addig sem íródik hozzá semmi.";
    if (!text.empty()) shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
    if (o.scheduleIdle) shell.scheduleRecovery(kRecoveryIdleMs);
    if (o.startJob) shell.startSnapshot(*o.startJob);
}

}  // namespace

void keepRecovery(AppState& state, Shell& shell) {
    carryOut(shell, keeperOf(state).afterCommand(state.tables.ReportPending));
}

void writePendingRecovery(AppState& state, Shell& shell) {
    carryOut(shell, keeperOf(state).whenIdle(state.tables.ReportPending));
}

void snapshotJobDone(AppState& state, Shell& shell) { carryOut(shell, keeperOf(state).jobDone()); }

void dropRecovery(AppState& state) { keeperOf(state).drop(); }

namespace {

std::string asideList(const std::vector<AsideOutcome>& aside) {
    std::string names;
    for (const AsideOutcome& a : aside) {
        if (!a.moved()) continue;
        if (!names.empty()) names += ", ";
        names += utf16ToCp1250(a.aside.filename().u16string());
    }
    return names;
}

// "(cégjegyzék: 3, pénzintézet: 1, számlaszámváltozás: 1)"
std::string perTable(const RecoveredRows& rows) {
    return "(cégjegyzék: " + std::to_string(rows[ViewRegister].rowCount()) + ", pénzintézet: " +
           std::to_string(rows[ViewInstitution].rowCount()) + ", számlaszámváltozás: " +
           std::to_string(rows[ViewAccountChange].rowCount()) + ")";
}

constexpr std::string_view kNoAdvice =
    "\n\nNem: a sorokat egy dátummal jelölt állományba teszem félre, amelyet később az \"XML állomány "
    "betöltése...\" paranccsal is betölthet.";

// What of the files could not be used, each named by its own name.
std::string damageText(const RecoveryScan& found) {
    std::string text = "Az előző futásból maradt ";
    if (found.snapshotThere && found.rows.status != RecoveryStatus::Read)
        text += fileWords(kRecoveryFileName) + " csonka vagy sérült";
    else if (found.snapshotThere) text += fileWords(kRecoveryFileName) + " ép";
    else text += fileWords(kRecoveryFileName) + " hiányzik";
    if (found.journalThere) {
        text += ", " + fileWords(kJournalFileName) + " ";
        text += found.lostChanges > 0 ? std::to_string(found.lostChanges) + " változását nem tudtam beolvasni"
                                      : "sérült";
    }
    return text + ".";
}

// The rows go back into the tables, pending, and are kept safe at once.
void takeBack(AppState& state, Shell& shell, const RecoveryScan& found) {
    restoreRows(found.rows, state.tables);
    state.tables.ReportPending = true;
    shell.enableMenuItem(kCmdSaveReport, true);
}

// Some of the files could not be used: the originals are set aside, never
// removed, and what was intact is offered.
void offerDamaged(AppState& state, Shell& shell, RecoveryScan& found, std::time_t now) {
    const RecoveryKeeper keeper = keeperOf(state);
    const std::filesystem::path file = keeper.file();
    std::vector<AsideOutcome> aside;
    if (found.snapshotThere) aside.push_back(putAside(file, now));
    if (found.journalThere) aside.push_back(putAside(keeper.journal(), now));
    std::string text = damageText(found);
    const std::string names = asideList(aside);
    if (!names.empty()) text += " Az eredetieket félretettem ezen a néven: " + names + ".";
    if (found.rows.rows() == 0) {
        text += " Ép sort nem találtam bennük.";
        shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
        return;
    }
    text += "\n\nAmi ép: " + std::to_string(found.rows.rows()) + " nem mentett sor " + perTable(found.rows) +
            ". Visszatöltsem őket?" + std::string(kNoAdvice);
    if (!shell.askYesNo(messageBox(text, kProgramCaption, MessageIcon::Warning, true))) {
        RecordTables rows = found.rows.tables();
        const std::filesystem::path kept = asideName(file, now);
        if (const int err = writeRecovery(kept, rows, state.settings()))
            carryOut(shell, keeperOf(state).cannotWrite(kRecoveryFileName, err));
        return;
    }
    takeBack(state, shell, found);
    // New files of a new chain hold the rows from here on.
    carryOut(shell, keeperOf(state).startAfresh(state.tables.ReportPending));
}

}  // namespace

void offerRecovery(AppState& state, Shell& shell, std::time_t now) {
    if (state.settingsPath.empty()) return;
    RecoveryKeeper keeper = keeperOf(state);
    // The files of a copy still running are that copy's, not left over.
    if (!keeper.ownsFiles()) return;
    // Files an earlier version kept in a working folder on the network come here once.
    moveLeftRecoveryFiles(state.settingsPath.parent_path(), folderOf(state));
    const std::filesystem::path file = keeper.file();
    const std::filesystem::path journalFile = keeper.journal();
    // A snapshot or journal a stop left before its move is read, never just removed.
    RecoveryScan found = scanRecoveryWithLeftSnapshots(file, journalFile, leftSnapshots(folderOf(state)));
    if (!found.unreadableFile.empty()) {
        // Never lose what could not be read: both files stay as they are.
        state.recovery.untouchable = true;
        const std::string name = utf16ToCp1250(found.unreadableFile.filename().u16string());
        const std::string text =
            "Az előző futásból maradt " + fileWords(name) + " nem olvasható (Hibakód=" +
            std::to_string(found.errorCode) +
            "), talán egy másik program (például víruskereső) használja. Nem töltöttem vissza semmit, és egyik "
            "állományhoz sem nyúltam: zárja be a másik programot, majd indítsa újra a Kovirantot. Addig az itt "
            "felvitt sorok a jelentés mentéséig csak a memóriában vannak.";
        shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
        return;
    }
    if (found.nothing()) return;
    if (found.onlyAnEmptyStart()) {
        removeFile(journalFile);  // made, but a kill came before its header was whole
        return;
    }
    if (found.damaged) return offerDamaged(state, shell, found, now);
    if (found.rows.rows() == 0) {  // nothing was unsaved but the flag, or it was saved
        if (removeRecoveryFiles(folderOf(state), found.at) == 0) removeFile(savedMarkPath(folderOf(state)));
        return;
    }
    std::string text = "A program előző futása " + std::to_string(found.rows.rows()) + " nem mentett sorral ért véget " +
                       perTable(found.rows) + ".";
    if (found.lastUnreadable)
        text += " Az utolsó változás nem olvasható vissza a változásnaplóból (" + std::string(kJournalFileName) +
                "), az nincs benne.";
    text += " Visszatöltsem őket?" + std::string(kNoAdvice);
    if (!shell.askYesNo(messageBox(text, kProgramCaption, MessageIcon::Question, true))) {
        if (!found.replayed && found.snapshotThere && !found.journalThere) {
            putAside(file, now);
            return;
        }
        // The rows as they were: the snapshot with the journal replayed, in
        // one file that a load by hand reads; the originals go only when it is written.
        RecordTables merged = found.rows.tables();
        if (writeRecovery(asideName(file, now), merged, state.settings()) == 0) {
            removeRecoveryFiles(folderOf(state), found.at);
        } else {
            if (found.snapshotThere) putAside(file, now);
            if (found.journalThere) putAside(journalFile, now);
        }
        return;
    }
    takeBack(state, shell, found);
    carryOut(shell, keeper.goOnFrom(found));
}

}  // namespace kovirant
