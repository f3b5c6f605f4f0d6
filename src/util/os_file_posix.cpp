#ifndef _WIN32
#include <fcntl.h>
#include <time.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "util/os_file.h"

namespace kovirant {

int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    errno = 0;
    if (std::rename(from.c_str(), to.c_str()) != 0) return errno != 0 ? errno : EIO;
    return 0;
}

int AppendFile::open(const std::filesystem::path& file, std::uint64_t keep) {
    close();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno != 0 ? errno : EIO;
    if (::ftruncate(fd, static_cast<off_t>(keep)) != 0 || ::lseek(fd, 0, SEEK_END) < 0) {
        const int err = errno != 0 ? errno : EIO;
        ::close(fd);
        return err;
    }
    handle_ = fd;
    return 0;
}

int AppendFile::append(std::string_view bytes) {
    if (handle_ == kNone) return EBADF;
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
#endif
