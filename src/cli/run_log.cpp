#include "cli/run_log.h"

#include <string>

#include "text/cp1250.h"

namespace kovirant::cli {

int RunLog::open(const std::filesystem::path& file, const std::vector<Argument>& args, std::time_t now) {
    clearSystemError();
    OpenedFile opened = openFile(file, "ab");
    if (!opened) return opened.error;
    file_ = std::move(opened.file);
    char stamp[32] = {};
    if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
    std::string head = std::string("== ") + stamp + " kovirant-cli";
    for (const Argument& a : args) head += " " + a.text;
    append(head + "\n");
    return error_;
}

void RunLog::append(std::string_view bytes) {
    if (file_ == nullptr || error_ != 0 || bytes.empty()) return;
    clearSystemError();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) error_ = lastSystemError();
}

Io RunLog::tee(const Io& io) {
    Io logged = io;
    logged.out = [this, out = io.out](std::string_view s) {
        out(s);
        append(s);
    };
    logged.err = [this, err = io.err](std::string_view s) {
        err(s);
        append(s);
    };
    return logged;
}

int RunLog::close(int exitStatus) {
    append(cp1250ToUtf8("== kilépési kód: ") + std::to_string(exitStatus) + "\n");
    if (file_ != nullptr) {
        clearSystemError();
        if (error_ == 0 && !flushToDisk(file_.get())) error_ = lastSystemError();
        std::FILE* f = file_.release();
        clearSystemError();
        if (std::fclose(f) != 0 && error_ == 0) error_ = lastSystemError();
    }
    return error_;
}

}  // namespace kovirant::cli
