#include "util/file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "util/os_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kovirant {

namespace {

constexpr std::string_view kTempPrefix = "~kov";
constexpr std::string_view kTempSuffix = ".tmp";

// "~kov<process>_<digits>.tmp", the names temporarySibling makes: the
// process that writes it, or nothing when the name is not such.
std::optional<long long> temporaryOwner(std::string_view name) {
    if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return std::nullopt;
    name = name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
    const std::size_t sep = name.find('_');
    if (sep == 0 || sep == std::string_view::npos || sep + 1 == name.size() || sep > 18) return std::nullopt;
    long long owner = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i == sep) continue;
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        if (i < sep) owner = owner * 10 + (name[i] - '0');
    }
    return owner;
}

// A name beside `target` for a temporary file that does not exist yet,
// carrying this process's id: only a dead owner's are left-overs.
std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const long long self = thisProcess().process;
    std::filesystem::path dir = target.parent_path();
    for (;;) {
        std::string name = std::string(kTempPrefix) + std::to_string(self) + "_" +
                           std::to_string(counter++) + std::string(kTempSuffix);
        std::filesystem::path candidate = dir / name;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec)) return candidate;
    }
}

bool syncFile(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return ::_commit(::_fileno(f)) == 0;
#else
    return ::fsync(::fileno(f)) == 0;
#endif
}

}  // namespace

void clearSystemError() {
    errno = 0;
#ifdef _WIN32
    _doserrno = 0;
#endif
}

int lastSystemError() {
#ifdef _WIN32
    // The C runtime keeps the code GetLastError gave the failed call.
    if (_doserrno != 0) return static_cast<int>(_doserrno);
#endif
    return errno != 0 ? errno : EIO;
}

bool isMissingFile(int errorCode) {
#ifdef _WIN32
    return errorCode == 2 || errorCode == 3;  // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
#else
    return errorCode == ENOENT || errorCode == ENOTDIR;
#endif
}

OpenedFile openFile(const std::filesystem::path& path, const char* mode) {
    clearSystemError();
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    FilePtr f(::_wfopen(path.c_str(), wmode.c_str()));
#else
    FilePtr f(std::fopen(path.c_str(), mode));
#endif
    const int error = f ? 0 : lastSystemError();
    return {std::move(f), error};
}

int readFile(const std::filesystem::path& path, std::string& out) {
    OpenedFile opened = openFile(path, "rb");
    if (!opened) return opened.error;
    out.clear();
    std::FILE* f = opened.file.get();
    // The whole file in one read where its size is plausible (a folder or a
    // device reports none or nonsense), then whatever more there is.
    long size = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::rewind(f);
    clearSystemError();
    if (size > 0 && size < (1L << 29)) {
        reserveLarge(out, static_cast<std::size_t>(size));
        out.resize(static_cast<std::size_t>(size));
        out.resize(std::fread(out.data(), 1, out.size(), f));
    }
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return std::ferror(f) == 0 ? 0 : lastSystemError();
}

namespace {
FileFaults injectedFaults;
std::function<int(const FileEvent&)> eventSink;
}  // namespace

void recordFileEvents(std::function<int(const FileEvent&)> sink) { eventSink = std::move(sink); }

int fileEvent(const FileEvent& event) { return eventSink ? eventSink(event) : 0; }

int removeFile(const std::filesystem::path& file) {
    if (const int err = fileEvent({FileEvent::Kind::Remove, &file})) return err;
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return ec && !isMissingFile(ec.value()) ? ec.value() : 0;
}

void injectFileFaults(const FileFaults& faults) { injectedFaults = faults; }

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    if (injectedFaults.spareFiles > 0) --injectedFaults.spareFiles;
    else faults_ = injectedFaults;
}

AtomicFile::~AtomicFile() {
    if (committed_ || temp_.empty()) return;
    file_.reset();
    removeFile(temp_);
}

int AtomicFile::open() {
    temp_ = temporarySibling(target_);
    if (const int err = fileEvent({FileEvent::Kind::Open, &temp_})) {
        temp_.clear();
        return err;
    }
    OpenedFile opened = openFile(temp_, "wb");
    if (!opened) {
        temp_.clear();  // nothing was made
        return opened.error;
    }
    file_ = std::move(opened.file);
    markInUse(file_.get());
    return 0;
}

int AtomicFile::write(std::string_view bytes) {
    if (++writes_ == faults_.failWrite) return ENOSPC;
    if (const int err = fileEvent({FileEvent::Kind::Write, &temp_, nullptr, written_, bytes})) return err;
    written_ += bytes.size();
    clearSystemError();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) return lastSystemError();
    return 0;
}

int AtomicFile::finish() {
    if (const int err = fileEvent({FileEvent::Kind::Sync, &temp_})) {
        file_.reset();
        return err;
    }
    clearSystemError();
    int err = syncFile(file_.get()) ? 0 : lastSystemError();
    clearSystemError();
    if (std::fclose(file_.release()) != 0 && err == 0) err = lastSystemError();
    if (err == 0 && faults_.failClose) err = EIO;
    return err;
}

int AtomicFile::replaceTarget() {
    const int err = renameReplacing(temp_, target_);
    if (err == 0) committed_ = true;
    return err;
}

int AtomicFile::commit() {
    const int err = finish();
    return err != 0 ? err : replaceTarget();
}

bool isStaleTemporary(const std::filesystem::path& file) {
    // Wide names are compared as their ASCII: the temporary names are.
    const std::u8string u8 = file.filename().u8string();
    const std::optional<long long> owner =
        temporaryOwner(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()));
    return owner && !processRunning(*owner);  // a running copy's file is being written
}

std::size_t removeStaleTemporaries(const std::filesystem::path& folder,
                                   const std::function<bool(const std::filesystem::path&)>& keep) {
    std::size_t removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!isStaleTemporary(it->path())) continue;
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) continue;
        if (keep && keep(it->path())) continue;
        if (removeUnlessHeld(it->path()) == 0) ++removed;
    }
    return removed;
}

int replaceFile(const std::filesystem::path& target, std::string_view bytes) {
    AtomicFile file(target);
    if (int err = file.open()) return err;
    if (int err = file.write(bytes)) return err;
    return file.commit();
}

bool flushToDisk(std::FILE* file) { return syncFile(file); }

}  // namespace kovirant
