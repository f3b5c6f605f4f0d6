#include <fcntl.h>
#include <time.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/os_file.h"

namespace kovirant {

std::shared_ptr<const MappedFile> MappedFile::open(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    void* base = MAP_FAILED;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
        flags |= MAP_POPULATE;
#endif
        base = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, flags, fd, 0);
    }
    ::close(fd);
    if (base == MAP_FAILED) return nullptr;
    std::shared_ptr<MappedFile> mapped(new MappedFile());
    mapped->base_ = base;
    mapped->size_ = static_cast<std::size_t>(st.st_size);
    return mapped;
}

MappedFile::~MappedFile() {
    if (base_ != nullptr) munmap(const_cast<void*>(base_), size_);
}

namespace {

std::filesystem::path folderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

int syncFolder(const std::filesystem::path& folder) {
    if (const int err = fileEvent({FileEvent::Kind::SyncFolder, &folder})) return err;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;  // a folder that cannot be opened to read cannot be flushed either
    int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err == EINVAL || err == ENOTSUP || err == EROFS || err == EBADF) err = 0;  // no such flush here
    return err;
}

// The rename is on the disk only once its folder is flushed; a folder left
// is flushed too, so the name never stays in both.
int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (const int err = fileEvent({FileEvent::Kind::Rename, &from, &to})) return err;
    errno = 0;
    if (std::rename(from.c_str(), to.c_str()) != 0) return errno != 0 ? errno : EIO;
    const std::filesystem::path folder = folderOf(to);
    if (const std::filesystem::path left = folderOf(from); left != folder)
        if (const int err = syncFolder(left)) return err;
    return syncFolder(folder);
}

int AppendFile::open(const std::filesystem::path& file, std::uint64_t keep) {
    close();
    if (const int err = fileEvent({FileEvent::Kind::Open, &file, nullptr, keep})) return err;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno != 0 ? errno : EIO;
    if (::ftruncate(fd, static_cast<off_t>(keep)) != 0 || ::lseek(fd, 0, SEEK_END) < 0) {
        const int err = errno != 0 ? errno : EIO;
        ::close(fd);
        return err;
    }
    handle_ = fd;
    path_ = file;
    end_ = keep;
    return 0;
}

int AppendFile::append(std::string_view bytes) {
    if (handle_ == kNone) return EBADF;
    if (const int err = fileEvent({FileEvent::Kind::Write, &path_, nullptr, end_, bytes})) return err;
    end_ += bytes.size();
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno != 0 ? errno : EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int AppendFile::sync() {
    if (handle_ == kNone) return EBADF;
    if (const int err = fileEvent({FileEvent::Kind::Sync, &path_})) return err;
    return ::fdatasync(static_cast<int>(handle_)) == 0 ? 0 : (errno != 0 ? errno : EIO);
}

void AppendFile::close() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

FileHold::~FileHold() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
}

// The folder itself is locked, so no file is left behind in it.
int FileHold::take(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno != 0 ? errno : EIO;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = fd;
    return 0;
}

int createExclusive(const std::filesystem::path& file, std::string_view bytes) {
    return createExclusive(file, [bytes](const PieceWriter& write) { return write(bytes); });
}

namespace {

// Speed: writeback starts per piece, so the fsync after them waits for the last (300 MB copy: fsync 0.40 s -> 0.06 s).
void startWriteback(int fd, off_t from, off_t length) {
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(fd, from, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)from, (void)length;
#endif
}

}  // namespace

int createExclusive(const std::filesystem::path& file, const std::function<int(const PieceWriter&)>& fill) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno != 0 ? errno : EIO;
    // A short write (a full disk) is written on: the next one tells why.
    off_t written = 0;
    const PieceWriter write = [fd, &written](std::string_view piece) {
        const off_t from = written;
        while (!piece.empty()) {
            errno = 0;
            const ssize_t n = ::write(fd, piece.data(), piece.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return errno != 0 ? errno : EIO;
            piece.remove_prefix(static_cast<std::size_t>(n));
            written += n;
        }
        startWriteback(fd, from, written - from);
        return 0;
    };
    int err = fill(write);
    // The pieces' writeback covers the file's bytes, all of which the fsync makes durable.
    assert(err != 0 || ::lseek(fd, 0, SEEK_CUR) == written);
    if (err == 0 && ::fsync(fd) != 0) err = errno != 0 ? errno : EIO;
    ::close(fd);
    if (err != 0) ::unlink(file.c_str());  // never a half file (a full disk, a share gone)
    return err != 0 ? err : syncFolder(folderOf(file));
}

bool isAlreadyThere(int errorCode) { return errorCode == EEXIST; }

ProcessIdentity thisProcess() {
    ProcessIdentity me;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) me.machine = host;
    me.user = accountName();
    me.process = ::getpid();
    return me;
}

std::string accountName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) return pw->pw_name;
    return {};
}

bool processRunning(long long id) {
    if (id <= 0) return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

// Network file systems by the type the kernel reports for the folder (NFS,
// SMB, CIFS, SMB2), else by their names in /proc/mounts (sshfs among them).
bool onNetworkDrive(const std::filesystem::path& folder) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::weakly_canonical(folder, ec);
    constexpr unsigned long kRemoteTypes[] = {0x6969, 0x517B, 0xFF534D42, 0xFE534D42};
    struct statfs fs {};
    if (::statfs(real.c_str(), &fs) == 0)
        for (unsigned long type : kRemoteTypes)
            if (static_cast<unsigned long>(fs.f_type) == type) return true;
    std::FILE* mounts = std::fopen("/proc/mounts", "r");
    if (mounts == nullptr) return false;
    char device[512], point[512], type[64];
    std::size_t best = 0;
    bool remote = false;
    while (std::fscanf(mounts, "%511s %511s %63s %*[^\n]", device, point, type) == 3) {
        const std::string p = point;
        const std::string r = real.string();
        if (r.compare(0, p.size(), p) != 0 || p.size() < best) continue;
        best = p.size();
        const std::string t = type;
        remote = t == "cifs" || t == "smb3" || t == "nfs" || t == "nfs4" || t.rfind("fuse.sshfs", 0) == 0;
    }
    std::fclose(mounts);
    return remote;
}

std::optional<std::filesystem::path> localDataFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::filesystem::path(state);
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".local" / "state";
    return std::nullopt;
}

std::optional<std::filesystem::path> policyPath(std::string_view) { return std::nullopt; }
std::optional<unsigned long> policyNumber(std::string_view) { return std::nullopt; }

void adviseLargePages(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr std::size_t kLarge = std::size_t{1} << 21;
    char* const begin = static_cast<char*>(data);
    const std::size_t misaligned = reinterpret_cast<std::uintptr_t>(begin) & (kLarge - 1);
    const std::size_t skip = misaligned == 0 ? 0 : kLarge - misaligned;  // to the first whole large page
    if (size <= skip) return;
    const std::size_t whole = (size - skip) & ~(kLarge - 1);
    if (whole > 0) ::madvise(begin + skip, whole, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

void pauseMs(int ms) {
    const timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    ::nanosleep(&t, nullptr);
}

bool isHeldElsewhere(int errorCode) { return errorCode == EWOULDBLOCK || errorCode == EAGAIN; }

void markInUse(std::FILE* file) {
    if (file != nullptr) ::flock(::fileno(file), LOCK_EX | LOCK_NB);
}

int removeUnlessHeld(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno != 0 ? errno : EIO;
    // Held: flock fails; free: the file goes while this lock keeps others out.
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(file.c_str()) == 0;
    const int err = removed ? 0 : errno;
    ::close(fd);
    return err;
}

}  // namespace kovirant
