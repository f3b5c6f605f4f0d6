// Keeping the unsaved tables safe: the decisions. While a report is pending
// the recovery files follow every change (the snapshot of the tables, and
// the journal of the changes made since it); they go when nothing is pending
// or the officer leaves on purpose; at start-up the files found go on from
// where they stand. Each call gives what the front end must do or say; the
// texts and the questions are the window's (app/recovery_commands).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "records/record_tables.h"
#include "recovery/change_journal.h"
#include "recovery/recovery_file.h"
#include "recovery/recovery_scan.h"
#include "recovery/snapshot_job.h"
#include "util/os_file.h"

namespace kovirant {

// Up to this many rows the snapshot itself is rewritten after each command;
// beyond, each command's changes are appended to the journal, and the
// snapshot is rewritten on another thread when the program has been idle for
// kRecoveryIdleMs and the journal has grown past kSnapshotPaysBytes or an
// eighth of the snapshot.
inline constexpr std::size_t kRecoveryImmediateRows = 20000;
inline constexpr int kRecoveryIdleMs = 500;
inline constexpr std::uint64_t kSnapshotPaysBytes = std::uint64_t{16} << 20;

// Where the recovery files (the snapshot and its journal) stand against the
// tables.
struct RecoveryState {
    bool onDisk = false;                // the files hold the tables as of writtenAt
    unsigned long long writtenAt = 0;   // the tables' change count they hold
    unsigned long long collectedFrom = 0;  // the change count the journal's collection starts at
    bool waiting = false;               // a snapshot is to be considered when idle
    bool warned = false;                // the officer was told it cannot be written
    bool dropped = false;               // the officer left on purpose: kept no more
    FileHold hold;                      // this run's claim on the file's name
    bool heldElsewhere = false;         // another running copy keeps the file
    bool untouchable = false;           // left files could not be read: never written or removed by this run
    bool journalLeft = false;           // a journal the snapshot supersedes could not be removed: tried again
    bool toldJournalLeft = false;

    ChangeJournal journal;              // collects every change; its file follows them
    JournalPosition at;                 // the chain of files and its last change on disk
    bool snapshotOnDisk = false;        // the snapshot of this chain is there
    std::uint64_t snapshotSequence = 0; // the last change it holds
    std::uint64_t snapshotBytes = 0;
    std::unique_ptr<SnapshotJob> job;   // a snapshot being written on another thread
};

// What a call of the keeper asks of the front end.
struct KeeperOutcome {
    enum class Warning {
        None,
        CannotWrite,    // `file` could not be written (`errorCode`): the rows are only in memory
        HeldElsewhere,  // another running copy keeps the recovery file of this folder
        CannotRemove,   // `file`, superseded by the snapshot, could not be removed (`errorCode`): tried again
    };
    Warning warning = Warning::None;  // told once a run
    std::string_view file;            // kRecoveryFileName or kJournalFileName
    int errorCode = 0;
    bool scheduleIdle = false;        // call whenIdle once the program has been idle kRecoveryIdleMs
    SnapshotJob* startJob = nullptr;  // run it on another thread, then call jobDone
};

// The keeper over the run's recovery state, the tables and the folder the
// files are kept in; made for each call.
class RecoveryKeeper {
public:
    RecoveryKeeper(RecoveryState& state, const RecordTables& tables, std::filesystem::path settingsPath,
                   std::filesystem::path folder)
        : r_(state), tables_(tables), settingsPath_(std::move(settingsPath)), folder_(std::move(folder)) {}

    // After every command, before the next input: the command's changes on
    // the disk, or the files removed when nothing is pending.
    KeeperOutcome afterCommand(bool pending);
    // When idle: the snapshot rewritten on another thread if that pays.
    KeeperOutcome whenIdle(bool pending);
    // A snapshot job is over: its file takes the snapshot's place, unless
    // the job was called off.
    KeeperOutcome jobDone();
    // The officer leaves on purpose: nothing to recover.
    void drop();

    // At start-up: whether this run may use the recovery files (another
    // running copy's are that copy's); takes the run's hold of them.
    bool ownsFiles();
    // The rows found were taken back: the files go on from where they stand
    // (later changes appended to the journal, its torn end cut off, or
    // rewriting the snapshot).
    KeeperOutcome goOnFrom(const RecoveryScan& found);
    // The rows found were taken back but the files were damaged: a new chain
    // of files holds them from now on.
    KeeperOutcome startAfresh(bool pending);

    // A file of the recovery could not be written: told once a run.
    KeeperOutcome cannotWrite(std::string_view file, int code);

    std::filesystem::path file() const { return recoveryPath(folder_); }
    std::filesystem::path journal() const { return journalPath(folder_); }
    std::filesystem::path jobFile() const { return folder_ / std::string(kSnapshotJobFileName); }

private:
    void startCollecting();
    void ensureGeneration();
    void callOffJob();
    KeeperOutcome closeJournal();
    void retryLeftJournal();
    void removeFiles();
    KeeperOutcome writeSnapshotNow();
    bool journalIsOurs() const;
    KeeperOutcome appendToJournal();
    bool snapshotPays() const;
    KeeperOutcome scheduled();

    RecoveryState& r_;
    const RecordTables& tables_;
    std::filesystem::path settingsPath_;
    std::filesystem::path folder_;
};

}  // namespace kovirant
