// Windows side of util/os_file.h, linked into the core of the Windows build.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "util/os_file.h"

namespace kovirant {
namespace {

int lastError() {
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

}  // namespace

std::shared_ptr<const MappedFile> MappedFile::open(const std::filesystem::path& file) {
    HANDLE f = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    const void* base = nullptr;
    if (GetFileSizeEx(f, &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= static_cast<std::size_t>(-1)) {
        if (HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
            base = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(m);  // the view keeps the mapping
        }
    }
    CloseHandle(f);
    if (base == nullptr) return nullptr;
    std::shared_ptr<MappedFile> mapped(new MappedFile());
    mapped->base_ = base;
    mapped->size_ = static_cast<std::size_t>(size.QuadPart);
    return mapped;
}

MappedFile::~MappedFile() {
    if (base_ != nullptr) UnmapViewOfFile(base_);
}

namespace {

std::filesystem::path folderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(L".") : folder;
}

// The file's data on the disk before its name moves (MOVEFILE_WRITE_THROUGH
// promises that only for a move made as a copy).
void flushFile(const std::filesystem::path& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(h);
    CloseHandle(h);
}

}  // namespace

// A folder's handle (FILE_FLAG_BACKUP_SEMANTICS) flushes its entries; where
// the system refuses that (FAT, a share, Wine), there is nothing more to do.
int syncFolder(const std::filesystem::path& folder) {
    if (const int err = fileEvent({FileEvent::Kind::SyncFolder, &folder})) return err;
    HANDLE h = CreateFileW(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FlushFileBuffers(h);
    CloseHandle(h);
    return 0;
}

int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (const int err = fileEvent({FileEvent::Kind::Rename, &from, &to})) return err;
    flushFile(from);
    // Windows refuses to replace a file that another process has open to read
    // (a colleague's run reading the archive's log or the directory, a virus
    // scanner): they hold it for moments, so the move is tried again for a
    // while before the refusal counts.
    constexpr DWORD kPatienceMs = 3000;
    DWORD waited = 0;
    for (DWORD pause = 2;; pause = pause < 64 ? pause * 2 : pause) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const std::filesystem::path folder = folderOf(to);
            if (const std::filesystem::path left = folderOf(from); left != folder) syncFolder(left);
            return syncFolder(folder);
        }
        const int err = lastError();
        const bool held = err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
        if (!held || waited >= kPatienceMs) return err;
        Sleep(pause);
        waited += pause;
    }
}

int AppendFile::open(const std::filesystem::path& file, std::uint64_t keep) {
    close();
    if (const int err = fileEvent({FileEvent::Kind::Open, &file, nullptr, keep})) return err;
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
    path_ = file;
    end_ = keep;
    return 0;
}

int AppendFile::append(std::string_view bytes) {
    if (handle_ == kNone) return ERROR_INVALID_HANDLE;
    if (const int err = fileEvent({FileEvent::Kind::Write, &path_, nullptr, end_, bytes})) return err;
    end_ += bytes.size();
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
    if (const int err = fileEvent({FileEvent::Kind::Sync, &path_})) return err;
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

// Large pages need a privilege an officer's account does not hold.
void adviseLargePages(void*, std::size_t) {}

namespace {

std::string utf8Of(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring expanded(const std::wstring& value) {
    const DWORD needed = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    std::wstring out(needed, L'\0');
    if (needed == 0 || ExpandEnvironmentStringsW(value.c_str(), out.data(), needed) == 0) return value;
    out.resize(wcsnlen(out.c_str(), out.size()));
    return out;
}

}  // namespace

int createExclusive(const std::filesystem::path& file, std::string_view bytes) {
    return createExclusive(file, [bytes](const PieceWriter& write) { return write(bytes); });
}

int createExclusive(const std::filesystem::path& file, const std::function<int(const PieceWriter&)>& fill) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    const PieceWriter write = [h](std::string_view piece) {
        while (!piece.empty()) {
            const DWORD size = static_cast<DWORD>(std::min<std::size_t>(piece.size(), std::size_t{1} << 30));
            DWORD written = 0;
            if (!WriteFile(h, piece.data(), size, &written, nullptr)) return lastError();
            if (written == 0) return static_cast<int>(ERROR_HANDLE_DISK_FULL);
            piece.remove_prefix(written);
        }
        return 0;
    };
    int err = fill(write);
    if (err == 0 && !FlushFileBuffers(h)) err = lastError();
    CloseHandle(h);
    if (err != 0) DeleteFileW(file.c_str());  // never a half file (a full disk, a share gone)
    return err != 0 ? err : syncFolder(folderOf(file));
}

bool isAlreadyThere(int errorCode) { return errorCode == ERROR_FILE_EXISTS || errorCode == ERROR_ALREADY_EXISTS; }

ProcessIdentity thisProcess() {
    ProcessIdentity me;
    wchar_t name[256] = {};
    DWORD n = 256;
    if (GetComputerNameW(name, &n)) me.machine = utf8Of(std::wstring(name, n));
    wchar_t user[256] = {};
    n = 256;
    if (GetUserNameW(user, &n) && n > 0) me.user = utf8Of(std::wstring(user, n - 1));
    me.process = static_cast<long long>(GetCurrentProcessId());
    return me;
}

std::string accountName() {
    wchar_t user[256] = {};
    DWORD n = 256;
    if (GetUserNameW(user, &n) && n > 0) return utf8Of(std::wstring(user, n - 1));
    return {};
}

bool processRunning(long long id) {
    if (id <= 0) return false;
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (h == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but another user's
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

bool onNetworkDrive(const std::filesystem::path& folder) {
    const std::wstring p = folder.wstring();
    if (p.size() >= 2 && (p[0] == L'\\' || p[0] == L'/') && (p[1] == L'\\' || p[1] == L'/')) return true;  // UNC
    if (p.size() < 2 || p[1] != L':') return false;
    const wchar_t root[] = {p[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

std::optional<std::filesystem::path> localDataFolder() {
    const std::wstring value = expanded(L"%LOCALAPPDATA%");
    if (value.empty() || value[0] == L'%') return std::nullopt;
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> policyPath(std::string_view valueName) {
    const std::wstring name(valueName.begin(), valueName.end());  // ASCII names
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DWORD bytes = 0;
        const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
        const wchar_t* key = L"Software\\Policies\\Kovirant";
        if (RegGetValueW(root, key, name.c_str(), flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes < 2) continue;
        std::wstring value(bytes / sizeof(wchar_t), L'\0');
        if (RegGetValueW(root, key, name.c_str(), flags, nullptr, value.data(), &bytes) != ERROR_SUCCESS) continue;
        value.resize(wcsnlen(value.c_str(), value.size()));
        if (!value.empty()) return std::filesystem::path(expanded(value));
    }
    return std::nullopt;
}

std::optional<unsigned long> policyNumber(std::string_view valueName) {
    const std::wstring name(valueName.begin(), valueName.end());  // ASCII names
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DWORD value = 0, bytes = sizeof value;
        if (RegGetValueW(root, L"Software\\Policies\\Kovirant", name.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                         &bytes) == ERROR_SUCCESS)
            return value;
    }
    return std::nullopt;
}

bool isHeldElsewhere(int errorCode) {
    return errorCode == ERROR_SHARING_VIOLATION || errorCode == ERROR_LOCK_VIOLATION;
}

void markInUse(std::FILE*) {}  // a file opened by the C runtime is not shared for deletion

int removeUnlessHeld(const std::filesystem::path& file) {
    if (DeleteFileW(file.c_str())) return 0;
    return lastError();
}

}  // namespace kovirant
