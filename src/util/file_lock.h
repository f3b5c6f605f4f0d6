// A lock on a shared file that several programs, on one machine or on
// several, respect: a lock file beside it, made exclusively, that names its
// holder (machine, user, process, time). A holder that is gone (on this
// machine no such process; from another machine older than two minutes) has
// its lock taken over.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kovirant {

struct LockHolder {
    std::string machine;  // UTF-8
    std::string user;     // UTF-8
    long long process = 0;
    std::int64_t since = 0;  // seconds since 1970
};

enum class LockStatus {
    Taken,
    TakenOver,  // from a holder that was gone: `other` names it
    Busy,       // held by `other` for longer than the wait
    Failed,     // the lock file could not be made: `errorCode`
};

struct LockOutcome {
    LockStatus status = LockStatus::Failed;
    LockHolder other;
    int errorCode = 0;
    bool held() const { return status == LockStatus::Taken || status == LockStatus::TakenOver; }
};

inline constexpr int kLockWaitMs = 10000;
inline constexpr std::int64_t kLockStaleSeconds = 120;

// "<file>.lock"
std::filesystem::path lockFileOf(const std::filesystem::path& file);

class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    LockOutcome acquire(const std::filesystem::path& lockFile, int waitMs = kLockWaitMs);
    // Removes the lock file if it is still this one's.
    void release();

private:
    std::filesystem::path file_;
    std::string content_;
    bool held_ = false;
};

// The text of a lock file, and back (a field missing stays empty or 0).
std::string lockText(const LockHolder& holder, std::uint64_t nonce);
LockHolder parseLockText(std::string_view text);

}  // namespace kovirant
