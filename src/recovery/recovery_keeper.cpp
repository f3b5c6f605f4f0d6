#include "recovery/recovery_keeper.h"

#include <chrono>
#include <system_error>

#include "report/settings.h"
#include "util/file_io.h"

namespace kovirant {

KeeperOutcome RecoveryKeeper::cannotWrite(std::string_view file, int code) {
    KeeperOutcome o;
    if (r_.warned) return o;
    r_.warned = true;
    o.warning = KeeperOutcome::Warning::CannotWrite;
    o.file = file;
    o.errorCode = code;
    return o;
}

// The idle rewrite is asked for once until it runs.
KeeperOutcome RecoveryKeeper::scheduled() {
    KeeperOutcome o;
    if (!r_.waiting) {
        r_.waiting = true;
        o.scheduleIdle = true;
    }
    return o;
}

// Takes this run's hold of the recovery file; false while another running
// copy in the same folder has it. Decided once: a copy that started second
// never writes the file, so it cannot overwrite rows the first one left.
bool RecoveryKeeper::ownsFiles() {
    if (r_.hold.held()) return true;
    if (r_.heldElsewhere) return false;
    const int err = r_.hold.take(recoveryHoldPath(folder_));
    r_.heldElsewhere = err != 0 && isHeldElsewhere(err);
    // Where no hold can be made at all, the file's own write decides.
    return !r_.heldElsewhere;
}

// The journal collects from here on.
void RecoveryKeeper::startCollecting() {
    r_.journal.discardPending();
    r_.collectedFrom = tables_.changeCount();
}

// A chain of files is told from another by its generation.
void RecoveryKeeper::ensureGeneration() {
    if (r_.at.generation != 0) return;
    const auto now = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    r_.at.generation = (now ^ reinterpret_cast<std::uintptr_t>(&r_)) | 1;
}

// A job still writing cannot put its file in place any more.
void RecoveryKeeper::callOffJob() {
    if (r_.job) r_.job->cancelled = true;
}

// The snapshot holds every change: the journal goes (also one this run could
// not open again). One that cannot be removed is never added to (the next
// journal is written beside it and moved over it), is tried again after each
// command, and is told once.
KeeperOutcome RecoveryKeeper::closeJournal() {
    r_.journal.close();
    const int err = removeFile(journal());
    r_.journalLeft = err != 0;
    KeeperOutcome o;
    if (err == 0 || r_.toldJournalLeft) return o;
    r_.toldJournalLeft = true;
    o.warning = KeeperOutcome::Warning::CannotRemove;
    o.file = kJournalFileName;
    o.errorCode = err;
    return o;
}

void RecoveryKeeper::retryLeftJournal() {
    if (r_.journalLeft && !r_.journal.isOpen()) r_.journalLeft = removeFile(journal()) != 0;
}

// After a save or on leaving: under a mark that what they hold was saved.
void RecoveryKeeper::removeFiles() {
    callOffJob();
    if (r_.untouchable) return;
    if (!r_.onDisk && !r_.snapshotOnDisk && !r_.journal.isOpen() && !r_.journalLeft) return;
    r_.journal.close();
    r_.journalLeft = removeRecoveryFiles(folder_, r_.at) != 0 && std::filesystem::exists(journal());
    r_.onDisk = false;
    r_.snapshotOnDisk = false;
}

// Small tables: the snapshot itself, written now; the journal goes.
KeeperOutcome RecoveryKeeper::writeSnapshotNow() {
    callOffJob();
    ensureGeneration();
    const JournalPosition at{r_.at.generation, r_.at.sequence + 1};
    if (const int err = writeRecovery(file(), tables_, SettingsFile(settingsPath_), at))
        return cannotWrite(kRecoveryFileName, err);
    r_.at = at;
    r_.snapshotOnDisk = true;
    r_.snapshotSequence = at.sequence;
    std::error_code ec;
    r_.snapshotBytes = std::filesystem::file_size(file(), ec);
    r_.onDisk = true;
    r_.writtenAt = tables_.changeCount();
    return closeJournal();
}

bool RecoveryKeeper::journalIsOurs() const {
    std::error_code ec;
    return std::filesystem::file_size(journal(), ec) == r_.journal.size() && !ec;
}

// Large tables: the command's changes appended to the journal. When the
// files do not hold the tables as they were before the command, the record
// holds the whole tables instead.
KeeperOutcome RecoveryKeeper::appendToJournal() {
    ensureGeneration();
    // A journal removed or replaced from outside holds none of this run's
    // changes: the whole tables go into a fresh one.
    if (r_.journal.isOpen() && !journalIsOurs()) {
        r_.journal.close();
        r_.onDisk = false;
    }
    const bool delta = r_.onDisk && r_.writtenAt == r_.collectedFrom;
    int err = 0;
    if (!delta) {
        r_.journal.collectWholeTables(tables_);
        err = r_.journal.create(journal(), r_.at.generation, r_.snapshotOnDisk ? r_.snapshotSequence : 0);
    } else if (!r_.journal.isOpen()) {
        err = r_.journal.create(journal(), r_.at.generation, r_.snapshotSequence);
    }
    if (err == 0) err = r_.journal.commit(r_.at.sequence + 1);
    if (err != 0) {
        r_.onDisk = false;  // the next change writes the whole tables
        return cannotWrite(kJournalFileName, err);
    }
    ++r_.at.sequence;
    r_.onDisk = true;
    r_.writtenAt = tables_.changeCount();
    return scheduled();
}

bool RecoveryKeeper::snapshotPays() const {
    const std::uint64_t bytes = r_.journal.size() - kJournalHeaderSize;
    return !r_.snapshotOnDisk || bytes >= kSnapshotPaysBytes || bytes * 8 >= r_.snapshotBytes;
}

KeeperOutcome RecoveryKeeper::afterCommand(bool pending) {
    KeeperOutcome o;
    if (settingsPath_.empty() || r_.dropped || r_.untouchable) {
        startCollecting();
        return o;
    }
    if (!ownsFiles()) {
        if (pending && !r_.warned) {
            r_.warned = true;
            o.warning = KeeperOutcome::Warning::HeldElsewhere;
        }
        startCollecting();
        return o;
    }
    if (!pending) {
        removeFiles();
        startCollecting();
        return o;
    }
    retryLeftJournal();
    if (r_.onDisk && r_.writtenAt == tables_.changeCount()) {
        startCollecting();
        return o;
    }
    o = tables_.totalRows() <= kRecoveryImmediateRows ? writeSnapshotNow() : appendToJournal();
    startCollecting();
    return o;
}

KeeperOutcome RecoveryKeeper::whenIdle(bool pending) {
    r_.waiting = false;
    KeeperOutcome o;
    if (settingsPath_.empty() || r_.dropped || !pending || !r_.onDisk) return o;
    if (r_.job || !r_.journal.isOpen() || r_.journal.size() <= kJournalHeaderSize || !snapshotPays()) return o;
    r_.job = std::make_unique<SnapshotJob>(tables_, settingsPath_, folder_, r_.at);
    o.startJob = r_.job.get();
    return o;
}

KeeperOutcome RecoveryKeeper::jobDone() {
    if (!r_.job) return {};
    const std::unique_ptr<SnapshotJob> job = std::move(r_.job);
    const std::filesystem::path written = jobFile();
    if (job->cancelled || job->result != 0 || job->at.generation != r_.at.generation) {
        removeFile(written);
        return {};
    }
    if (const int err = renameReplacing(written, file())) {
        removeFile(written);
        return cannotWrite(kRecoveryFileName, err);
    }
    r_.snapshotOnDisk = true;
    r_.snapshotSequence = job->at.sequence;
    r_.snapshotBytes = job->bytes;
    // Every change is in the snapshot: the journal starts afresh with the
    // next one. Otherwise its records up to the snapshot's are passed over.
    if (r_.at.sequence == job->at.sequence) return closeJournal();
    return scheduled();
}

void RecoveryKeeper::drop() {
    r_.waiting = false;
    r_.dropped = true;
    removeFiles();
}

KeeperOutcome RecoveryKeeper::startAfresh(bool pending) {
    r_.at = {};
    r_.onDisk = false;
    return afterCommand(pending);
}

KeeperOutcome RecoveryKeeper::goOnFrom(const RecoveryScan& found) {
    KeeperOutcome o;
    const bool hasSnapshot = found.snapshotThere;
    r_.at = found.at;
    r_.snapshotOnDisk = hasSnapshot;
    r_.snapshotSequence = found.rows.at.sequence;
    std::error_code ec;
    r_.snapshotBytes = hasSnapshot ? std::filesystem::file_size(file(), ec) : 0;
    // A journal of which the snapshot holds every change (a stop between the
    // snapshot's rename and the journal's removal) is never added to: after
    // its last record the next change would follow a gap. It goes, and the
    // next change starts a fresh journal after the snapshot.
    const bool superseded = hasSnapshot && found.journalThere && !found.replayed;
    const bool journalGoesOn =
        !superseded && found.journal.completeBytes >= kJournalHeaderSize && found.journal.version == kJournalVersion;
    // A snapshot without a note cannot carry a journal of changes, nor can a
    // journal of an earlier version be added to: the next change writes the
    // whole tables.
    r_.onDisk = journalGoesOn || (hasSnapshot && found.rows.at.generation != 0 && !found.replayed);
    if (journalGoesOn) {
        if (r_.journal.reopen(journal(), found.journal.completeBytes) != 0) r_.onDisk = false;
        if (found.replayed) o = scheduled();
    } else if (superseded || found.journal.completeBytes < kJournalHeaderSize) {
        o = closeJournal();
    }
    r_.writtenAt = tables_.changeCount();
    startCollecting();
    return o;
}

}  // namespace kovirant
