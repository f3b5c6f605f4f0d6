#include "util/file_lock.h"

#include <chrono>
#include <ctime>
#include <system_error>

#include "util/file_io.h"
#include "util/os_file.h"

namespace kovirant {
namespace {

constexpr int kPollMs = 50;
// A lock this old is a leftover even when its process id is in use again.
constexpr std::int64_t kLeftoverSeconds = 600;
// A lock file without a readable holder (being written) is judged only after this.
constexpr std::int64_t kUnwrittenSeconds = 2;

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t ageOfFile(const std::filesystem::path& file) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(file, ec);
    if (ec) return 0;
    const auto age = std::filesystem::file_time_type::clock::now() - written;
    return std::chrono::duration_cast<std::chrono::seconds>(age).count();
}

bool gone(const LockHolder& h, const std::filesystem::path& file, const ProcessIdentity& me) {
    if (h.machine.empty()) return ageOfFile(file) > kUnwrittenSeconds;
    const std::int64_t age = now() - h.since;
    if (h.machine == me.machine) return !processRunning(h.process) || age > kLeftoverSeconds;
    return age > kLockStaleSeconds;
}

}  // namespace

std::filesystem::path lockFileOf(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

std::string lockText(const LockHolder& h, std::uint64_t nonce) {
    return "machine=" + h.machine + "\r\nuser=" + h.user + "\r\nprocess=" + std::to_string(h.process) +
           "\r\ntime=" + std::to_string(h.since) + "\r\nnonce=" + std::to_string(nonce) + "\r\n";
}

LockHolder parseLockText(std::string_view text) {
    LockHolder h;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        auto number = [](std::string_view v) {
            long long n = 0;
            for (char c : v) {
                if (c < '0' || c > '9' || n > (1LL << 50)) return 0LL;
                n = n * 10 + (c - '0');
            }
            return n;
        };
        if (key == "machine") h.machine.assign(value);
        else if (key == "user") h.user.assign(value);
        else if (key == "process") h.process = number(value);
        else if (key == "time") h.since = number(value);
    }
    return h;
}

LockOutcome FileLock::acquire(const std::filesystem::path& lockFile, int waitMs) {
    release();
    const ProcessIdentity me = thisProcess();
    LockHolder mine{me.machine, me.user, me.process, now()};
    const auto nonce = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                       reinterpret_cast<std::uintptr_t>(this);
    const std::string content = lockText(mine, nonce);
    LockOutcome out;
    bool tookOver = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int err = createExclusive(lockFile, content);
        if (err == 0) {
            // Another program may have judged this file a leftover while it
            // was being written and put its own in place: only what is there counts.
            std::string there;
            if (readFile(lockFile, there) == 0 && there == content) {
                file_ = lockFile;
                content_ = content;
                held_ = true;
                out.status = tookOver ? LockStatus::TakenOver : LockStatus::Taken;
                return out;
            }
        } else if (!isAlreadyThere(err) && !isHeldElsewhere(err)) {
            out.status = LockStatus::Failed;
            out.errorCode = err;
            return out;
        }
        std::string text;
        if (readFile(lockFile, text) == 0) {
            const LockHolder holder = parseLockText(text);
            out.other = holder;
            if (gone(holder, lockFile, me)) {
                // Removed only if it is still the leftover that was judged.
                std::string again;
                if (readFile(lockFile, again) == 0 && again == text) {
                    std::error_code ec;
                    std::filesystem::remove(lockFile, ec);
                    tookOver = true;
                }
                continue;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            out.status = LockStatus::Busy;
            return out;
        }
        pauseMs(kPollMs);
    }
}

void FileLock::release() {
    if (!held_) return;
    held_ = false;
    std::string there;
    if (readFile(file_, there) == 0 && there == content_) {
        std::error_code ec;
        std::filesystem::remove(file_, ec);
    }
}

}  // namespace kovirant
