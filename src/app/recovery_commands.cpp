#include "app/recovery_commands.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "recovery/recovery_file.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

std::filesystem::path folderOf(const AppState& state) { return state.settingsPath.parent_path(); }
std::filesystem::path fileOf(const AppState& state) { return recoveryPath(folderOf(state)); }
std::filesystem::path journalOf(const AppState& state) { return journalPath(folderOf(state)); }
std::filesystem::path jobFileOf(const AppState& state) {
    return folderOf(state) / std::string(kSnapshotJobFileName);
}

void removeQuietly(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

void warnOnce(AppState& state, Shell& shell, std::string_view file, int code) {
    if (state.recovery.warned) return;
    state.recovery.warned = true;
    char text[400];
    std::snprintf(text, sizeof text,
                  "A nem mentett sorok védelme nem működik: a visszaállítási állomány (%s) nem írható, "
                  "Hibakód=%d. A sorok a jelentés mentéséig csak a memóriában vannak.",
                  std::string(file).c_str(), code);
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

// Large tables: the command's changes appended to the journal. When the
// files do not hold the tables as they were before the command, the record
// holds the whole tables instead.
void appendToJournal(AppState& state, Shell& shell) {
    RecoveryState& r = state.recovery;
    ensureGeneration(r);
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
    if (state.settingsPath.empty() || r.dropped) return startCollecting(state);
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
    r.job = std::make_unique<SnapshotJob>(state.tables, state.settingsPath, r.at);
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

// The snapshot with the journal's records replayed; `damaged` when they do
// not belong together or a record does not fit.
struct Recovered {
    RecoveredRows rows;
    JournalContents journal;
    bool damaged = false;
    JournalPosition at;     // the chain and its last change
    bool snapshot = false;  // a snapshot file is there
    bool replayed = false;  // the journal changed the snapshot's rows
};

Recovered recover(const std::filesystem::path& snapshotFile, const std::filesystem::path& journalFile) {
    Recovered out;
    out.rows = readRecovery(snapshotFile);
    out.journal = readJournal(journalFile);
    out.snapshot = out.rows.status != RecoveryStatus::Missing;
    const bool snapshot = out.rows.status == RecoveryStatus::Read;
    const JournalContents& j = out.journal;
    out.damaged = (out.rows.status != RecoveryStatus::Missing && !snapshot) ||
                  (j.status != JournalStatus::Missing && j.status != JournalStatus::Read);
    out.at = out.rows.at;
    if (out.damaged || j.completeBytes < kJournalHeaderSize) return out;  // no journal, or one cut short at its start
    // A snapshot without a note (an earlier version's) takes only a journal
    // that builds on nothing: one whose first record holds the whole tables.
    const JournalPosition& s = out.rows.at;
    if (j.baseSequence > s.sequence || (snapshot && s.generation != 0 && j.generation != s.generation)) {
        out.damaged = true;
        return out;
    }
    out.at.generation = j.generation;
    RecordTables tables(out.rows.reg, out.rows.inst, out.rows.acc);
    for (const JournalRecord& rec : j.records) {
        if (rec.sequence <= out.at.sequence) continue;  // already in the snapshot
        if (rec.sequence != out.at.sequence + 1 || !applyJournalRecord(rec.payload, tables)) {
            out.damaged = true;
            return out;
        }
        out.at.sequence = rec.sequence;
        out.replayed = true;
    }
    if (!snapshot) out.rows.status = RecoveryStatus::Read;
    return out;
}

std::string asideList(const std::vector<AsideOutcome>& aside) {
    std::string names;
    for (const AsideOutcome& a : aside) {
        if (!a.moved()) continue;
        if (!names.empty()) names += ", ";
        names += utf16ToCp1250(a.aside.filename().u16string());
    }
    return names;
}

}  // namespace

void offerRecovery(AppState& state, Shell& shell, std::time_t now) {
    if (state.settingsPath.empty()) return;
    // The files of a copy still running are that copy's, not left over.
    if (!ownsRecoveryFile(state)) return;
    removeQuietly(jobFileOf(state));  // a snapshot a kill stopped half-way
    const std::filesystem::path file = fileOf(state);
    const std::filesystem::path journalFile = journalOf(state);
    Recovered found = recover(file, journalFile);
    const bool hasSnapshot = found.snapshot;
    const bool hasJournal = found.journal.status != JournalStatus::Missing;
    if (!hasSnapshot && !hasJournal) return;
    if (!hasSnapshot && !found.damaged && found.journal.completeBytes < kJournalHeaderSize) {
        removeQuietly(journalFile);  // made, but a kill came before its header was whole
        return;
    }

    if (found.damaged || found.rows.status != RecoveryStatus::Read) {
        std::vector<AsideOutcome> aside;
        if (hasSnapshot) aside.push_back(putAside(file, now));
        if (hasJournal) aside.push_back(putAside(journalFile, now));
        std::string text;
        if (hasJournal)
            text = "Az előző futásból maradt visszaállítási állomány (" + std::string(kRecoveryFileName) +
                   ") és változásnaplója (" + std::string(kJournalFileName) +
                   ") sérült, nem összetartozó vagy nem olvasható, ezért nem töltöttem vissza.";
        else
            text = "Az előző futásból maradt visszaállítási állomány (" + std::string(kRecoveryFileName) +
                   ") sérült vagy nem olvasható, ezért nem töltöttem vissza.";
        const int code = found.rows.errorCode != 0 ? found.rows.errorCode : found.journal.errorCode;
        if (code != 0) text += " Hibakód=" + std::to_string(code) + ".";
        const std::string names = asideList(aside);
        if (!names.empty()) text += " Félretettem ezen a néven: " + names;
        shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Warning, true));
        return;
    }
    if (found.rows.rows() == 0) {  // nothing was unsaved but the flag
        removeQuietly(journalFile);
        removeQuietly(file);
        return;
    }
    const RecoveredRows& rows = found.rows;
    char text[600];
    std::snprintf(text, sizeof text,
                  "A program előző futása %zu nem mentett sorral ért véget (cégjegyzék: %zu, pénzintézet: %zu, "
                  "számlaszámváltozás: %zu). Visszatöltsem őket?\n\nNem: a sorokat egy dátummal jelölt állományba "
                  "teszem félre, amelyet később az \"XML állomány betöltése...\" paranccsal is betölthet.",
                  rows.rows(), rows.reg.rowCount(), rows.inst.rowCount(), rows.acc.rowCount());
    if (!shell.askYesNo(messageBox(text, kProgramCaption, MessageIcon::Question, true))) {
        if (!found.replayed && hasSnapshot) {
            putAside(file, now);
            removeQuietly(journalFile);
            return;
        }
        // The rows as they were: the snapshot with the journal replayed, in
        // one file that a load by hand reads.
        RecordTables merged(found.rows.reg, found.rows.inst, found.rows.acc);
        if (writeRecovery(asideName(file, now), merged, state.settings()) == 0) {
            removeQuietly(journalFile);
            removeQuietly(file);
        } else {
            if (hasSnapshot) putAside(file, now);
            putAside(journalFile, now);
        }
        return;
    }
    restoreRows(found.rows, state.tables);
    state.tables.ReportPending = true;
    shell.enableMenuItem(kCmdSaveReport, true);

    // The files go on from where they stand: later changes are appended to
    // the journal (its torn end cut off) or rewrite the snapshot.
    RecoveryState& r = state.recovery;
    r.at = found.at;
    r.snapshotOnDisk = hasSnapshot;
    r.snapshotSequence = found.rows.at.sequence;
    std::error_code ec;
    r.snapshotBytes = hasSnapshot ? std::filesystem::file_size(file, ec) : 0;
    // A snapshot without a note cannot carry a journal of changes: the next
    // change writes the whole tables.
    r.onDisk = !hasSnapshot || found.rows.at.generation != 0 || found.journal.completeBytes >= kJournalHeaderSize;
    if (found.journal.completeBytes >= kJournalHeaderSize) {
        if (r.journal.reopen(journalFile, found.journal.completeBytes) != 0) r.onDisk = false;
        if (found.replayed && !r.waiting) {
            r.waiting = true;
            shell.scheduleRecovery(kRecoveryIdleMs);
        }
    } else {
        removeQuietly(journalFile);
    }
    r.writtenAt = state.tables.changeCount();
    startCollecting(state);
}

}  // namespace kovirant
