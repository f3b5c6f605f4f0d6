// File access with wide paths on Windows, error codes of the system, and
// files replaced all-or-nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kovirant {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// An opened file, or the system error code of the failed open.
struct OpenedFile {
    FilePtr file;
    int error = 0;
    explicit operator bool() const { return file != nullptr; }
};

// fopen with a binary or text mode; on Windows the path stays wide.
OpenedFile openFile(const std::filesystem::path& path, const char* mode);

// Reads a whole file. Returns 0 or the system error code.
int readFile(const std::filesystem::path& path, std::string& out);

// True for the codes that mean the file (or its folder) is not there.
bool isMissingFile(int errorCode);

// Forgets the last system error, so the next failure's code is its own.
void clearSystemError();
// The system's code of the last failed call made since clearSystemError():
// on Windows the code GetLastError gave it, elsewhere errno.
int lastSystemError();

// The tests' seam for failing disks: every AtomicFile made after the call
// fails its n-th write (1-based; 0 never) with ENOSPC and, with failClose,
// its finish with EIO; the first `spareFiles` of them are left alone.
// FileFaults{} ends it.
struct FileFaults {
    int failWrite = 0;
    bool failClose = false;
    int spareFiles = 0;
};
void injectFileFaults(const FileFaults& faults);

// A file written beside its target and put in the target's place only by
// commit(), so the target holds either its old or its complete new content.
// Destroyed without a successful commit, it removes its temporary file.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. Returns 0 or the system error code.
    int open();

    // Writes bytes; returns 0 or the system error code.
    int write(std::string_view bytes);
    // Flushes to the disk and closes. Returns 0 or the system error code of
    // the failed write, flush or close.
    int finish();
    // Moves the finished file over the target. Returns 0 or the system error
    // code; on failure the target is as it was.
    int replaceTarget();
    // Both of the above.
    int commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    FilePtr file_;
    bool committed_ = false;
    int writes_ = 0;
    std::uint64_t written_ = 0;
    FileFaults faults_;
};

// Removes the temporary files that AtomicFile left in `folder` (a killed
// save's): those whose process (named in the file's name) is not running on
// this machine and that no process holds open; nothing else, and none that
// `keep` keeps. Returns how many went.
std::size_t removeStaleTemporaries(const std::filesystem::path& folder,
                                   const std::function<bool(const std::filesystem::path&)>& keep = {});

// Whether a file is a temporary file of AtomicFile whose process is not
// running on this machine.
bool isStaleTemporary(const std::filesystem::path& file);

// Removes a file; 0 when it is gone (also when it was not there), else the
// system error code.
int removeFile(const std::filesystem::path& file);

// Flushes an open file's writes to the disk. False when that failed
// (lastSystemError() tells why).
bool flushToDisk(std::FILE* file);

// Writes `bytes` as the whole new content of `target`, all-or-nothing.
// Returns 0 or the system error code.
int replaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace kovirant
