// The learning after a save (or a reload), one operation for the window and
// the console program: under the directory's lock, the file is read as it is
// now, this run's lines are learnt into it and it is replaced atomically, so
// that officers saving at the same time never drop each other's lines.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "directory/company_directory.h"
#include "util/file_lock.h"

namespace kovirant {

enum class LearningStatus {
    NothingNew,      // nothing to learn, the file untouched
    Learnt,          // `learnt` entries added or changed, the file replaced
    Unreadable,      // the file could not be read: never replaced
    Unintelligible,  // a file the program cannot write: never appended to
    Busy,            // another program held the lock for too long: nothing learnt
    LockFailed,      // the lock file could not be made (the share is gone)
    WriteFailed,     // the replacement failed; the old file is whole
};

struct LearningOutcome {
    LearningStatus status = LearningStatus::NothingNew;
    std::size_t learnt = 0;
    int errorCode = 0;
    LockHolder holder;      // Busy: who holds the lock; tookOver: whose lock was taken over
    bool tookOver = false;  // the lock of a program that was gone was taken over
    bool ok() const { return status == LearningStatus::NothingNew || status == LearningStatus::Learnt; }
};

// `learn` teaches the directory read under the lock and returns how many
// entries it added or changed.
LearningOutcome learnIntoDirectory(const std::filesystem::path& file, CompanyNumberLimits limits,
                                   const std::function<std::size_t(CompanyDirectory&)>& learn,
                                   int waitMs = kLockWaitMs);

// What the officer is told (Windows-1250), empty when there is nothing to
// say: a failure with the file's path and the system's error code, a lock
// taken over, who holds a busy one.
std::string learningText(const LearningOutcome& outcome, const std::filesystem::path& file);

}  // namespace kovirant
