#include "util/file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kovirant {

FilePtr openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(::_wfopen(path.c_str(), wmode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

bool readWholeFile(const std::filesystem::path& path, std::string& out) {
    FilePtr f = openFile(path, "rb");
    if (!f) return false;
    out.clear();
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.append(buf, n);
    return std::ferror(f.get()) == 0;
}

int lastSystemError() {
#ifdef _WIN32
    if (_doserrno != 0) return static_cast<int>(_doserrno);
#endif
    return errno != 0 ? errno : EIO;
}

bool syncFile(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return ::_commit(::_fileno(f)) == 0;
#else
    return ::fsync(::fileno(f)) == 0;
#endif
}

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::filesystem::path dir = target.parent_path();
    for (;;) {
        std::string name = "~kov" + std::to_string(stamp % 1000000007ULL) + "_" + std::to_string(counter++) + ".tmp";
        std::filesystem::path candidate = dir / name;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec)) return candidate;
    }
}

int renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec ? (ec.value() != 0 ? ec.value() : EIO) : 0;
}

int replaceFile(const std::filesystem::path& target, std::string_view bytes) {
    const std::filesystem::path temp = temporarySibling(target);
    errno = 0;
    FilePtr f = openFile(temp, "wb");
    if (!f) return lastSystemError();
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    ok = ok && syncFile(f.get());
    int err = ok ? 0 : lastSystemError();
    if (std::fclose(f.release()) != 0 && err == 0) err = lastSystemError();
    if (err == 0) err = renameOver(temp, target);
    if (err != 0) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
    }
    return err;
}

}  // namespace kovirant
