// The few file operations whose error codes or sharing only the operating
// system's own calls give. The implementations live in src/win32/os/ and
// src/os/posix/.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovirant {

// Moves `from` over `to`, replacing it, and flushes the move to the disk
// (the file's data first, the folder's entries after). Where another process
// has `to` open for a moment (Windows refuses the move then), it is tried
// again for up to a few seconds. Returns 0 or the system error code.
int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Flushes a folder's entries (the names made, moved or removed in it) to the
// disk. Returns 0 or the system error code; 0 where the system cannot flush a
// folder at all (some file systems, Wine).
int syncFolder(const std::filesystem::path& folder);

// An exclusive hold on a file, kept until the FileHold is destroyed or the
// process ends (also by a kill): another process cannot take it meanwhile.
class FileHold {
public:
    FileHold() = default;
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    bool held() const { return handle_ != kNone; }

    // Takes the hold of `file`: on Windows the file, made hidden and gone when
    // the hold ends; elsewhere a lock on its folder (one such hold a folder).
    // Returns 0 or the system error code; isHeldElsewhere tells a hold of
    // another process from other failures.
    int take(const std::filesystem::path& file);

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

// A file written at its end and flushed to the disk on demand: the recovery
// journal. Other processes may read it meanwhile.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile() { close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    bool isOpen() const { return handle_ != kNone; }

    // Opens `file`, creating it, and cuts it to its first `keep` bytes.
    // Returns 0 or the system error code.
    int open(const std::filesystem::path& file, std::uint64_t keep);
    // Writes at the end; 0 or the system error code.
    int append(std::string_view bytes);
    // What was appended, on the disk (FlushFileBuffers, fdatasync).
    int sync();
    void close();

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
    std::filesystem::path path_;
    std::uint64_t end_ = 0;
};

// A file mapped read-only into memory, its pages read in at once: a cache
// used in place rather than copied. Other programs may still replace or
// remove the file.
class MappedFile {
public:
    // Nothing when the file cannot be opened or mapped (or is empty).
    static std::shared_ptr<const MappedFile> open(const std::filesystem::path& file);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    std::string_view bytes() const { return {static_cast<const char*>(base_), size_}; }

private:
    MappedFile() = default;
    const void* base_ = nullptr;
    std::size_t size_ = 0;
};

// Waits this many milliseconds.
void pauseMs(int ms);

// Asks the system to back the untouched memory [data, data + size) with
// large pages where it can (Linux's transparent huge pages): one page fault
// per 2 MB instead of per 4 KB, which on some virtual machines is most of the
// time a large buffer takes to fill. Nothing where there is no such thing.
void adviseLargePages(void* data, std::size_t size);
// Room for `n` elements in `c` (a vector or a string), in memory that asked
// for large pages before anything touched it.
template <class Container>
void reserveLarge(Container& c, std::size_t n) {
    c.reserve(n);
    adviseLargePages(c.data(), c.capacity() * sizeof(*c.data()));
}
// `n` values of T{} in such memory.
template <class T>
std::vector<T> largeVector(std::size_t n) {
    std::vector<T> v;
    reserveLarge(v, n);
    v.assign(n, T{});
    return v;
}

// Makes `file` with `bytes` in it only if it does not exist yet (one process
// of any number wins); a write that fails removes what it made. Returns 0 or
// the system error code; isAlreadyThere tells the file that existed from
// other failures.
int createExclusive(const std::filesystem::path& file, std::string_view bytes);
bool isAlreadyThere(int errorCode);
// The same with the content written piece by piece: once the file is made,
// `fill` is called with a function that writes one piece (0 or the system
// error code) and returns 0 or the code of what failed, which removes the
// file. Flushed with its folder, as above.
using PieceWriter = std::function<int(std::string_view piece)>;
int createExclusive(const std::filesystem::path& file, const std::function<int(const PieceWriter&)>& fill);

// Who this process is: the machine's name, the user's, the process id.
struct ProcessIdentity {
    std::string machine;
    std::string user;
    long long process = 0;
};
ProcessIdentity thisProcess();
// The account this process runs as (UTF-8): Windows' user name; elsewhere
// the effective user's entry in the password database, never an
// environment variable anyone can set. Empty when it cannot be had.
std::string accountName();
// Whether a process of this machine with the id is running.
bool processRunning(long long id);

// Whether a folder lies on a network drive (a UNC path, or a drive the
// system reports as remote).
bool onNetworkDrive(const std::filesystem::path& folder);
// The user's folder for programs' local data (%LOCALAPPDATA%; elsewhere
// $XDG_STATE_HOME or ~/.local/state), or nothing.
std::optional<std::filesystem::path> localDataFolder();
// A group-policy path value under Software\Policies\Kovirant (the
// machine's, then the user's), environment variables expanded; nothing
// where there is none (and off Windows).
std::optional<std::filesystem::path> policyPath(std::string_view valueName);
// A group-policy REG_DWORD value there (the machine's, then the user's);
// nothing where there is none (and off Windows).
std::optional<unsigned long> policyNumber(std::string_view valueName);

// The code FileHold::take and removeUnlessHeld give when a running process
// holds the file (also what opening a file another process holds gives).
bool isHeldElsewhere(int errorCode);

// Marks a file this process writes as in use, so that removeUnlessHeld in
// another process leaves it (Windows' sharing does that by itself).
void markInUse(std::FILE* file);

// Removes `file` unless a running process has it open or holds it. Returns 0
// or the system error code.
int removeUnlessHeld(const std::filesystem::path& file);

// The tests' seam for crash states and failing calls: every file operation
// of the recovery and of the all-or-nothing writes, reported before it is
// made. A sink that returns non-zero makes the operation fail with that code.
struct FileEvent {
    enum class Kind { Open, Write, Sync, Rename, Remove, SyncFolder };
    FileEvent(Kind k, const std::filesystem::path* p, const std::filesystem::path* t = nullptr, std::uint64_t at = 0,
              std::string_view b = {})
        : kind(k), path(p), to(t), offset(at), bytes(b) {}
    Kind kind = Kind::Write;
    const std::filesystem::path* path = nullptr;  // Rename: from
    const std::filesystem::path* to = nullptr;    // Rename
    std::uint64_t offset = 0;                     // Write: where; Open: the bytes kept (created if missing)
    std::string_view bytes;                       // Write
};
void recordFileEvents(std::function<int(const FileEvent&)> sink);  // an empty one ends it
int fileEvent(const FileEvent& event);

}  // namespace kovirant
