#include "app/recovery_commands.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "recovery/recovery_file.h"
#include "recovery/recovery_scan.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

std::filesystem::path folderOf(const AppState& state) {
    return state.recoveryFolder.empty() ? state.settingsPath.parent_path() : state.recoveryFolder;
}
std::filesystem::path fileOf(const AppState& state) { return recoveryPath(folderOf(state)); }
std::filesystem::path journalOf(const AppState& state) { return journalPath(folderOf(state)); }
std::filesystem::path jobFileOf(const AppState& state) {
    return folderOf(state) / std::string(kSnapshotJobFileName);
}

void removeQuietly(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

// Each file by its own name.
std::string fileWords(std::string_view file) {
    return file == kJournalFileName ? "a változásnapló (" + std::string(file) + ")"
                                    : "a visszaállítási állomány (" + std::string(file) + ")";
}

void warnOnce(AppState& state, Shell& shell, std::string_view file, int code) {
    if (state.recovery.warned) return;
    state.recovery.warned = true;
    const std::string text = "A nem mentett sorok védelme nem működik: " + fileWords(file) + " nem írható, Hibakód=" +
                             std::to_string(code) + ". A sorok a jelentés mentéséig csak a memóriában vannak.";
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
}

// Takes this run's hold of the recovery file; false while another running
// copy in the same folder has it. Decided once: a copy that started second
// never writes the file, so it cannot overwrite rows the first one left.
bool ownsRecoveryFile(AppState& state) {
    RecoveryState& r = state.recovery;
    if (r.hold.held()) return true;
    if (r.heldElsewhere) return false;
    const int err = r.hold.take(recoveryHoldPath(folderOf(state)));
    r.heldElsewhere = err != 0 && isHeldElsewhere(err);
    // Where no hold can be made at all, the file's own write decides.
    return !r.heldElsewhere;
}

void warnHeldElsewhere(AppState& state, Shell& shell) {
    if (state.recovery.warned) return;
    state.recovery.warned = true;
    const std::string text =
        "A nem mentett sorok védelme ebben az ablakban nem működik: a Kovirant egy másik példánya már fut ebben a "
        "mappában, és az a saját sorait őrzi a visszaállítási állományban (" + std::string(kRecoveryFileName) +
        "). Az itt felvitt sorok a jelentés mentéséig csak a memóriában vannak.";
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
}

// The journal collects from here on.
void startCollecting(AppState& state) {
    state.recovery.journal.discardPending();
    state.recovery.collectedFrom = state.tables.changeCount();
}

// A chain of files is told from another by its generation.
void ensureGeneration(RecoveryState& r) {
    if (r.at.generation != 0) return;
    const auto now = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    r.at.generation = (now ^ reinterpret_cast<std::uintptr_t>(&r)) | 1;
}

// A job still writing cannot put its file in place any more.
void callOffJob(RecoveryState& r) {
    if (r.job) r.job->cancelled = true;
}

// Also a journal this run could not open again stays no longer.
void closeJournal(AppState& state) {
    state.recovery.journal.close();
    removeQuietly(journalOf(state));
}

void removeFiles(AppState& state) {
    RecoveryState& r = state.recovery;
    callOffJob(r);
    if (r.untouchable) return;
    if (!r.onDisk && !r.snapshotOnDisk && !r.journal.isOpen()) return;
    // The journal first: without it the snapshot alone is still whole.
    closeJournal(state);
    removeQuietly(fileOf(state));
    r.onDisk = false;
    r.snapshotOnDisk = false;
}

// Small tables: the snapshot itself, written now; the journal goes.
void writeSnapshotNow(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    callOffJob(r);
    ensureGeneration(r);
    const JournalPosition at{r.at.generation, r.at.sequence + 1};
    if (const int err = writeRecovery(fileOf(state), state.tables, state.settings(), at)) {
        warnOnce(state, shell, kRecoveryFileName, err);
        return;
    }
    r.at = at;
    r.snapshotOnDisk = true;
    r.snapshotSequence = at.sequence;
    std::error_code ec;
    r.snapshotBytes = std::filesystem::file_size(fileOf(state), ec);
    r.onDisk = true;
    r.writtenAt = state.tables.changeCount();
    closeJournal(state);
}

bool journalIsOurs(const AppState& state) {
    std::error_code ec;
    return std::filesystem::file_size(journalOf(state), ec) == state.recovery.journal.size() && !ec;
}

// Large tables: the command's changes appended to the journal. When the
// files do not hold the tables as they were before the command, the record
// holds the whole tables instead.
void appendToJournal(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    ensureGeneration(r);
    // A journal removed or replaced from outside holds none of this run's
    // changes: the whole tables go into a fresh one.
    if (r.journal.isOpen() && !journalIsOurs(state)) {
        r.journal.close();
        r.onDisk = false;
    }
    const bool delta = r.onDisk && r.writtenAt == r.collectedFrom;
    int err = 0;
    if (!delta) {
        r.journal.collectWholeTables(state.tables);
        err = r.journal.create(journalOf(state), r.at.generation, r.snapshotOnDisk ? r.snapshotSequence : 0);
    } else if (!r.journal.isOpen()) {
        err = r.journal.create(journalOf(state), r.at.generation, r.snapshotSequence);
    }
    if (err == 0) err = r.journal.commit(r.at.sequence + 1);
    if (err != 0) {
        r.onDisk = false;  // the next change writes the whole tables
        warnOnce(state, shell, kJournalFileName, err);
        return;
    }
    ++r.at.sequence;
    r.onDisk = true;
    r.writtenAt = state.tables.changeCount();
    if (!r.waiting) {
        r.waiting = true;
        shell.scheduleRecovery(kRecoveryIdleMs);
    }
}

bool snapshotPays(const RecoveryState& r) {
    const std::uint64_t journal = r.journal.size() - kJournalHeaderSize;
    return !r.snapshotOnDisk || journal >= kSnapshotPaysBytes || journal * 8 >= r.snapshotBytes;
}

}  // namespace

void keepRecovery(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    if (state.settingsPath.empty() || r.dropped || r.untouchable) return startCollecting(state);
    if (!ownsRecoveryFile(state)) {
        if (state.tables.ReportPending) warnHeldElsewhere(state, shell);
        return startCollecting(state);
    }
    if (!state.tables.ReportPending) {
        removeFiles(state);
        return startCollecting(state);
    }
    if (r.onDisk && r.writtenAt == state.tables.changeCount()) return startCollecting(state);
    if (state.tables.totalRows() <= kRecoveryImmediateRows) writeSnapshotNow(state, shell);
    else appendToJournal(state, shell);
    startCollecting(state);
}

void writePendingRecovery(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    r.waiting = false;
    if (state.settingsPath.empty() || r.dropped || !state.tables.ReportPending || !r.onDisk) return;
    if (r.job || !r.journal.isOpen() || r.journal.size() <= kJournalHeaderSize || !snapshotPays(r)) return;
    r.job = std::make_unique<SnapshotJob>(state.tables, state.settingsPath, folderOf(state), r.at);
    shell.startSnapshot(*r.job);
}

void snapshotJobDone(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    if (!r.job) return;
    const std::unique_ptr<SnapshotJob> job = std::move(r.job);
    const std::filesystem::path written = jobFileOf(state);
    if (job->cancelled || job->result != 0 || job->at.generation != r.at.generation) {
        removeQuietly(written);
        return;
    }
    if (const int err = renameReplacing(written, fileOf(state))) {
        removeQuietly(written);
        warnOnce(state, shell, kRecoveryFileName, err);
        return;
    }
    r.snapshotOnDisk = true;
    r.snapshotSequence = job->at.sequence;
    r.snapshotBytes = job->bytes;
    // Every change is in the snapshot: the journal starts afresh with the
    // next one. Otherwise its records up to the snapshot's are passed over.
    if (r.at.sequence == job->at.sequence) closeJournal(state);
    else if (!r.waiting) {
        r.waiting = true;
        shell.scheduleRecovery(kRecoveryIdleMs);
    }
}

void dropRecovery(AppState& state) {
    state.recovery.waiting = false;
    state.recovery.dropped = true;
    removeFiles(state);
}

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
    return "(cégjegyzék: " + std::to_string(rows.reg.rowCount()) + ", pénzintézet: " +
           std::to_string(rows.inst.rowCount()) + ", számlaszámváltozás: " + std::to_string(rows.acc.rowCount()) + ")";
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
    const std::filesystem::path file = fileOf(state);
    std::vector<AsideOutcome> aside;
    if (found.snapshotThere) aside.push_back(putAside(file, now));
    if (found.journalThere) aside.push_back(putAside(journalOf(state), now));
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
        RecordTables rows(found.rows.reg, found.rows.inst, found.rows.acc);
        const std::filesystem::path kept = asideName(file, now);
        if (const int err = writeRecovery(kept, rows, state.settings()))
            warnOnce(state, shell, kRecoveryFileName, err);
        return;
    }
    takeBack(state, shell, found);
    // New files of a new chain hold the rows from here on.
    state.recovery.at = {};
    state.recovery.onDisk = false;
    keepRecovery(state, shell);
}

}  // namespace

void offerRecovery(AppState& state, Shell& shell, std::time_t now) {
    if (state.settingsPath.empty()) return;
    // The files of a copy still running are that copy's, not left over.
    if (!ownsRecoveryFile(state)) return;
    removeQuietly(jobFileOf(state));  // a snapshot a kill stopped half-way
    // Files an earlier version kept in a working folder on the network come here once.
    moveLeftRecoveryFiles(state.settingsPath.parent_path(), folderOf(state));
    const std::filesystem::path file = fileOf(state);
    const std::filesystem::path journalFile = journalOf(state);
    RecoveryScan found = scanRecovery(file, journalFile);
    RecoveryState& r = state.recovery;
    if (!found.unreadableFile.empty()) {
        // Never lose what could not be read: both files stay as they are.
        r.untouchable = true;
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
        removeQuietly(journalFile);  // made, but a kill came before its header was whole
        return;
    }
    if (found.damaged) return offerDamaged(state, shell, found, now);
    if (found.rows.rows() == 0) {  // nothing was unsaved but the flag
        removeQuietly(journalFile);
        removeQuietly(file);
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
        RecordTables merged(found.rows.reg, found.rows.inst, found.rows.acc);
        if (writeRecovery(asideName(file, now), merged, state.settings()) == 0) {
            removeQuietly(journalFile);
            removeQuietly(file);
        } else {
            if (found.snapshotThere) putAside(file, now);
            if (found.journalThere) putAside(journalFile, now);
        }
        return;
    }
    takeBack(state, shell, found);

    // The files go on from where they stand: later changes are appended to
    // the journal (its torn end cut off) or rewrite the snapshot.
    const bool hasSnapshot = found.snapshotThere;
    r.at = found.at;
    r.snapshotOnDisk = hasSnapshot;
    r.snapshotSequence = found.rows.at.sequence;
    std::error_code ec;
    r.snapshotBytes = hasSnapshot ? std::filesystem::file_size(file, ec) : 0;
    const bool journalGoesOn = found.journal.completeBytes >= kJournalHeaderSize && found.journal.version == kJournalVersion;
    // A snapshot without a note cannot carry a journal of changes, nor can a
    // journal of an earlier version be added to: the next change writes the
    // whole tables.
    r.onDisk = (!hasSnapshot || found.rows.at.generation != 0 || journalGoesOn) &&
               (found.journal.completeBytes < kJournalHeaderSize || journalGoesOn);
    if (journalGoesOn) {
        if (r.journal.reopen(journalFile, found.journal.completeBytes) != 0) r.onDisk = false;
        if (found.replayed && !r.waiting) {
            r.waiting = true;
            shell.scheduleRecovery(kRecoveryIdleMs);
        }
    } else if (found.journal.completeBytes < kJournalHeaderSize) {
        removeQuietly(journalFile);
    }
    r.writtenAt = state.tables.changeCount();
    startCollecting(state);
}

}  // namespace kovirant
