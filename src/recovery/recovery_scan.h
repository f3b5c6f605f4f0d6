// What an earlier run left in the recovery files, decided before anything is
// offered: the snapshot with every intact record of its journal replayed,
// what could not be read, and whether the files may be touched at all.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "recovery/change_journal.h"
#include "recovery/recovery_file.h"

namespace kovirant {

struct RecoveryScan {
    RecoveredRows rows;  // the snapshot's rows with the journal's intact records replayed
    JournalContents journal;
    bool snapshotThere = false;
    bool journalThere = false;
    JournalPosition at;              // the chain and its last change replayed
    bool replayed = false;           // the journal changed the snapshot's rows
    bool damaged = false;            // some of it could not be used: the files are set aside
    std::size_t lostChanges = 0;     // records of the journal that could not be read or applied
    bool lastUnreadable = false;     // the last change was written whole but fails its check
    // A file that is there but could not be read (another program holds it):
    // nothing may be offered, moved or removed.
    std::filesystem::path unreadableFile;
    int errorCode = 0;

    bool nothing() const { return !snapshotThere && !journalThere; }
    // A journal made but killed before its header was whole, beside no snapshot.
    bool onlyAnEmptyStart() const {
        return !snapshotThere && !damaged && journal.completeBytes < kJournalHeaderSize;
    }
};

RecoveryScan scanRecovery(const std::filesystem::path& snapshotFile, const std::filesystem::path& journalFile);

// Snapshots a stop left before their rename (the idle snapshot's file, a
// write's temporary file of a process gone, carrying the recovery mark) are
// never removed unread: the newest of them that is whole and newer than what
// the files give takes the snapshot's place, the others go. Then the scan.
RecoveryScan scanRecoveryWithLeftSnapshots(const std::filesystem::path& snapshotFile,
                                           const std::filesystem::path& journalFile,
                                           const std::vector<std::filesystem::path>& left);
// Those files in the recovery folder.
std::vector<std::filesystem::path> leftSnapshots(const std::filesystem::path& folder);

}  // namespace kovirant
