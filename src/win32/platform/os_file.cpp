// Windows side of util/os_file.h, linked into the core of the Windows build.
#include <windows.h>

#include "util/os_file.h"

namespace kovirant {
namespace {

int lastError() {
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

}  // namespace

int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return lastError();
}

int AppendFile::open(const std::filesystem::path& file, std::uint64_t keep) {
    close();
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(keep);
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(h) ||
        !SetFilePointerEx(h, none, nullptr, FILE_END)) {
        const int err = lastError();
        CloseHandle(h);
        return err;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

int AppendFile::append(std::string_view bytes) {
    if (handle_ == kNone) return ERROR_INVALID_HANDLE;
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (DWORD{1} << 26) ? (DWORD{1} << 26) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), chunk, &written, nullptr)) return lastError();
        bytes.remove_prefix(written);
    }
    return 0;
}

int AppendFile::sync() {
    if (handle_ == kNone) return ERROR_INVALID_HANDLE;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) ? 0 : lastError();
}

void AppendFile::close() {
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = kNone;
}

FileHold::~FileHold() {
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

int FileHold::take(const std::filesystem::path& file) {
    // Shared with no one for writing or deleting; gone when the last handle
    // closes, so a killed process leaves nothing behind.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

void pauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

bool isHeldElsewhere(int errorCode) {
    return errorCode == ERROR_SHARING_VIOLATION || errorCode == ERROR_LOCK_VIOLATION;
}

void markInUse(std::FILE*) {}  // a file opened by the C runtime is not shared for deletion

int removeUnlessHeld(const std::filesystem::path& file) {
    if (DeleteFileW(file.c_str())) return 0;
    return lastError();
}

}  // namespace kovirant
