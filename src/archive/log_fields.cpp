#include "archive/log_fields.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "archive/report_archive.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/sha256.h"
#include "util/system_log.h"

namespace kovirant::archive_log {

std::string headerLine() {
    return cp1250ToUtf8(
        "Időpont;Művelet;Felhasználó;Gép;Jelentés;Másolat;SHA-256;Cégjegyzék;Cégnyilvántartás;"
        "Számlaszámváltozás;Program;Előző sor SHA-256");
}

bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || (n > 1 && c < 0xC2) || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string utf8Path(const std::filesystem::path& p) {
    const std::u8string u = p.u8string();
    const std::string s(u.begin(), u.end());
    return isUtf8(s) ? s : cp1250ToUtf8(s);
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    if (text.starts_with(kMark)) text.remove_prefix(kMark.size());
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    return lines;
}

std::filesystem::path logOf(const std::filesystem::path& folder) { return folder / std::string(kArchiveLogName); }
std::filesystem::path headOf(const std::filesystem::path& folder) {
    return folder / (std::string(kArchiveLogName) + ".sha256");
}
std::filesystem::path pendingOf(const std::filesystem::path& folder) {
    return folder / (std::string(kArchiveLogName) + ".folyamatban");
}

bool copyStaysInside(std::string_view copy) {
    if (copy.empty() || copy.front() == '/' || copy.front() == '\\' || copy.find(':') != std::string_view::npos)
        return false;
    std::size_t at = 0;
    while (at <= copy.size()) {
        const std::size_t end = std::min(copy.find_first_of("/\\", at), copy.size());
        const std::string_view part = copy.substr(at, end - at);
        if (part == ".." || part.empty()) return false;
        at = end + 1;
    }
    return true;
}

std::vector<std::string> headHashes(const std::filesystem::path& folder, int& errorCode) {
    std::string head;
    errorCode = readFile(headOf(folder), head);
    std::vector<std::string> hashes;
    for (std::string_view line : linesOf(head))
        if (line.size() >= 64) hashes.emplace_back(line.substr(0, 64));
    return hashes;
}

std::string escapedName(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

void appendField(std::string& line, std::string_view value) {
    if (!line.empty()) line += ';';
    if (value.find_first_of(";\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (char c : value) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

bool validTime(std::string_view t) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        if (!isDigit(t[i])) return false;
    auto num = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = 0; i < n; ++i) v = v * 10 + (t[at + i] - '0');
        return v;
    };
    const int year = num(0, 4), month = num(5, 2), day = num(8, 2);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    if (month == 2 && day == 29 && !(year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) return false;
    return num(11, 2) < 24 && num(14, 2) < 60 && num(17, 2) < 60;
}

std::function<void(std::string_view)>& anchorSink() {
    static std::function<void(std::string_view)> sink = [](std::string_view text) { writeSystemLog(text); };
    return sink;
}

void removeCopy(const std::filesystem::path& copy) {
    std::error_code ec;
    std::filesystem::permissions(copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
    std::filesystem::remove(copy, ec);
}

std::string stamp(std::time_t now, const char* format) {
    char text[32] = {};
    if (const std::tm* t = std::localtime(&now)) std::strftime(text, sizeof text, format, t);
    return text;
}

std::string finishInterrupted(const std::filesystem::path& folder, std::string_view log) {
    std::string pending;
    if (readFile(pendingOf(folder), pending) != 0) return {};
    const std::string planned(pending.substr(0, pending.find_first_of("\r\n")));
    std::error_code ec;
    std::string removed;
    const std::size_t slash = planned.find('/');
    if (copyStaysInside(planned) && slash != std::string::npos) {
        std::set<std::string> logged;
        for (std::string_view line : linesOf(log)) {
            const std::vector<std::string> f = splitFields(line);
            if (f.size() == kFields) logged.insert(f[5]);
        }
        const std::string stem = planned.substr(slash + 1);
        for (std::filesystem::directory_iterator it(folder / logPath(planned.substr(0, slash)), ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = utf8Path(it->path().filename());
            const std::string copy = planned.substr(0, slash + 1) + name;
            if (name.starts_with(stem) && !logged.count(copy) && it->is_regular_file(ec)) {
                removeCopy(it->path());
                removed = copy;
            }
        }
    }
    std::filesystem::remove(pendingOf(folder), ec);
    return removed;
}

LogAppend beginAppend(const std::filesystem::path& folder, std::string log, std::string when, std::string user,
                      std::string machine, std::string program) {
    LogAppend a{std::move(log), std::move(when), std::move(user), std::move(machine), std::move(program), {}, {}, {}, {}};
    if (a.log.empty()) a.log = std::string(kMark) + headerLine() + "\r\n";
    if (a.log.back() != '\n') a.log += "\r\n";  // a line cut by hand stays as it is, the new one on its own
    const std::vector<std::string_view> lines = linesOf(a.log);
    a.previous = hexOf(sha256(lines.empty() ? std::string_view() : lines.back()));
    int headErr = 0;
    const std::vector<std::string> head = headHashes(folder, headErr);
    const bool hasLines = lines.size() > 1;
    // (A log without lines is proven by no proof, or by the header's hash:
    // its first archiving stopped before the log was written.)
    const bool proven = std::find(head.begin(), head.end(), a.previous) != head.end() ||
                        (!hasLines && head.empty() && isMissingFile(headErr));
    if (proven) return a;
    const std::string claimed = head.empty() ? std::string("(nincs)") : head.front();
    a.headMismatch = hasLines ? "az utolsó sor SHA-256-ja " + a.previous + ", a " + std::string(kArchiveLogName) +
                                    ".sha256 szerint " + claimed
                              : "a napló üres vagy hiányzik, a " + std::string(kArchiveLogName) +
                                    ".sha256 szerint utolsó sora " + claimed;
    addLine(a, kActionMismatch, {cp1250ToUtf8(a.headMismatch), "", claimed, "", "", ""});
    return a;
}

void addLine(LogAppend& a, std::string_view action, const std::array<std::string, 6>& fields) {
    std::string line;
    appendField(line, a.when);
    appendField(line, cp1250ToUtf8(action));
    appendField(line, escapedName(a.user));
    appendField(line, escapedName(a.machine));
    for (const std::string& f : fields) appendField(line, f);
    appendField(line, a.program);
    appendField(line, a.previous);
    a.log += line + "\r\n";
    a.previousOfLast = a.previous;
    a.previous = hexOf(sha256(line));
    a.anchored.push_back({a.previous, a.previousOfLast});
}

int commitAppend(const std::filesystem::path& folder, const LogAppend& a, std::filesystem::path& failed) {
    // The proof names the new line before the log holds it: a stop between
    // the two replacements leaves a log whose last line is still proven.
    const std::string before = a.headMismatch.empty() ? a.previousOfLast : std::string();
    if (const int err = replaceFile(headOf(folder), (before.empty() ? "" : before + "\r\n") + a.previous + "\r\n")) {
        failed = headOf(folder);
        return err;
    }
    // The whole log replaced at once: a line is there whole or not at all.
    if (const int err = replaceFile(logOf(folder), a.log)) {
        if (!before.empty()) replaceFile(headOf(folder), before + "\r\n");
        failed = logOf(folder);
        return err;
    }
    std::error_code ec;
    std::filesystem::remove(pendingOf(folder), ec);
    // The line is in the log: a failed last rewrite of the proof leaves both hashes, and both hold.
    replaceFile(headOf(folder), a.previous + "\r\n");
    const std::string where = utf8Path(std::filesystem::absolute(logOf(folder), ec));
    for (const ArchiveAnchor& anchor : a.anchored)
        anchorSink()(cp1250ToUtf8("Kovirant archívum: sor SHA-256=") + anchor.sha256 + cp1250ToUtf8(" előző=") +
                     anchor.previous + " (" + where + ")");
    return 0;
}

}  // namespace kovirant::archive_log

namespace kovirant {

void setAnchorSink(std::function<void(std::string_view)> sink) {
    archive_log::anchorSink() = sink ? std::move(sink) : [](std::string_view text) { writeSystemLog(text); };
}

}  // namespace kovirant
