#include "archive/report_archive.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <system_error>

#include "archive/report_copy.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/sha256.h"
#include "util/system_log.h"

namespace kovirant {
namespace {

constexpr std::string_view kMark = "\xEF\xBB\xBF";
// The header line, as written (UTF-8).
std::string headerLine() {
    return cp1250ToUtf8(
        "Időpont;Művelet;Felhasználó;Gép;Jelentés;Másolat;SHA-256;Cégjegyzék;Cégnyilvántartás;"
        "Számlaszámváltozás;Program;Előző sor SHA-256");
}
constexpr std::size_t kFields = 12;

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

// A path's text in UTF-8: a name of raw bytes that are no UTF-8 (a file a
// Windows tool named on a Linux share) is read as Windows-1250.
std::string utf8Path(const std::filesystem::path& p) {
    const std::u8string u = p.u8string();
    const std::string s(u.begin(), u.end());
    return isUtf8(s) ? s : cp1250ToUtf8(s);
}

// A field that is a name: control characters (a line feed in a file name)
// as \xNN, so that one log line stays one line.
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

// A field as a spreadsheet reads it back.
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

// The log's lines without their ends (the mark taken off the first).
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
// An archiving under way: the copy it made, until its line is in the log.
std::filesystem::path pendingOf(const std::filesystem::path& folder) {
    return folder / (std::string(kArchiveLogName) + ".folyamatban");
}

// The files directly in the archive's folder that are the log's own.
bool logsOwnFile(const std::string& name) {
    const std::string log(kArchiveLogName);
    return name == log || name == log + ".sha256" || name == log + ".lock" || name == log + ".folyamatban" ||
           (name.starts_with("szamlatortenet-") && name.ends_with(".cache"));
}

// "YYYY-MM-DD HH:MM:SS" with a real day and time.
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

// A copy's path as the log holds it stays inside the archive: relative, no
// "..", no drive.
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

std::function<void(std::string_view)>& anchorSink() {
    static std::function<void(std::string_view)> sink = [](std::string_view text) { writeSystemLog(text); };
    return sink;
}

// A file of the archive made writable again and removed.
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

// The copy's folder (the year) and name without its number and extension:
// "YYYY-MM-DD_HHMMSS_<report's name>", in UTF-8 without control characters.
struct CopyName {
    std::string folder, stem, extension;
};
CopyName copyNameOf(const std::filesystem::path& report, const std::string& when) {
    auto named = [](const std::filesystem::path& part) {
        std::string text = utf8Path(part);
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
        return text;
    };
    CopyName n;
    n.folder = when.substr(0, 4);
    // "YYYY-MM-DD HH:MM:SS" -> "YYYY-MM-DD_HHMMSS_"
    n.stem = when.substr(0, 10) + "_";
    for (char c : when.substr(11))
        if (c != ':') n.stem += c;
    n.stem += '_';
    n.stem += named(report.stem());
    n.extension = named(report.extension());
    return n;
}

// A free name for the copy, made exclusively: another officer's copy of
// the same second takes another.
// The report is copied in pieces and hashed as they pass (`copied`).
int makeCopy(const std::filesystem::path& folder, const CopyName& name, std::FILE* report, PieceCopy& copied,
             std::filesystem::path& copy) {
    const std::filesystem::path year = folder / name.folder;
    std::error_code ec;
    std::filesystem::create_directories(year, ec);
    if (ec) return ec.value();
    for (int n = 1; n < 1000; ++n) {
        std::string file = name.stem;
        if (n > 1) file.append("_").append(std::to_string(n));
        file += name.extension;
        copy = year / std::filesystem::path(std::u8string(file.begin(), file.end()));
        const int err = createExclusive(copy, [&](const PieceWriter& write) {
            copied = copyHashing(report, write);
            return copied.error();
        });
        if (err == 0) {
            using std::filesystem::perms;
            std::filesystem::permissions(copy, perms::owner_write | perms::group_write | perms::others_write,
                                         std::filesystem::perm_options::remove, ec);
            return 0;
        }
        if (!isAlreadyThere(err)) return err;
    }
    return EEXIST;
}

}  // namespace

std::filesystem::path logPath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path defaultArchiveFolder(const std::filesystem::path& settingsFolder) {
    return settingsFolder / std::string(kArchiveFolderName);
}

bool insideArchive(const std::filesystem::path& folder, const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::path f = std::filesystem::weakly_canonical(std::filesystem::absolute(file, ec), ec);
    const std::filesystem::path d = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
    auto fi = f.begin();
    bool lexically = true;
    for (auto di = d.begin(); di != d.end(); ++di, ++fi) {
        if (di->empty() && std::next(di) == d.end()) break;  // a folder named with its trailing separator
        if (fi == f.end() || *fi != *di) {
            lexically = false;
            break;
        }
    }
    if (lexically) return true;
    // Another spelling of the same folder (letter case, a short name, a link): a folder above
    // the file that is the archive's.
    if (!std::filesystem::exists(d, ec)) return false;
    for (std::filesystem::path up = f.parent_path(); !up.empty() && up != up.parent_path(); up = up.parent_path())
        if (std::filesystem::exists(up, ec) && std::filesystem::equivalent(up, d, ec)) return true;
    return false;
}

void setAnchorSink(std::function<void(std::string_view)> sink) {
    anchorSink() = sink ? std::move(sink) : [](std::string_view text) { writeSystemLog(text); };
}

namespace {

// Under the log's lock: an archiving stopped before its line was written
// (a kill) left the name of its copy in the pending file ("<year>/<stem>");
// a copy of that name the log does not hold goes (every copy is made under
// the lock, so it can only be that one's). Returns the copy removed, if any.
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

// The hashes naplo.csv.sha256 proves: its first line the log's last line;
// a second one, written before the log was replaced, the line being appended.
std::vector<std::string> headHashes(const std::filesystem::path& folder, int& errorCode) {
    std::string head;
    errorCode = readFile(headOf(folder), head);
    std::vector<std::string> hashes;
    for (std::string_view line : linesOf(head))
        if (line.size() >= 64) hashes.emplace_back(line.substr(0, 64));
    return hashes;
}

ArchiveOutcome archiveInPieces(const std::filesystem::path& folder, const std::filesystem::path& report,
                               const ArchiveEntry& entry, std::time_t now) {
    ArchiveOutcome out;
    // The report is copied and hashed a piece at a time under the lock;
    // opened first, so that one that cannot be read takes no lock.
    std::error_code ec;
    const OpenedFile source = openFile(report, "rb");
    if (!source) {
        out.status = ArchiveStatus::CannotRead;
        out.failed = report;
        out.errorCode = source.error;
        return out;
    }
    std::filesystem::create_directories(folder, ec);
    // Only a real time names the copy's folder and file.
    const std::string when = validTime(entry.time) ? entry.time : stamp(now, "%Y-%m-%d %H:%M:%S");
    // The copy is made under the lock, so that one whose line cannot be
    // written is never left behind.
    FileLock lock;
    const LockOutcome locked = lock.acquire(lockFileOf(logOf(folder)));
    if (!locked.held()) {
        out.status = locked.status == LockStatus::Busy ? ArchiveStatus::Busy : ArchiveStatus::LogFailed;
        out.holder = locked.other;
        out.failed = logOf(folder);
        out.errorCode = locked.errorCode;
        return out;
    }
    if (locked.status == LockStatus::TakenOver) {
        out.tookOver = true;
        out.holder = locked.other;
    }
    bool announced = false;  // this run's pending note is there
    auto failed = [&](ArchiveStatus status, const std::filesystem::path& file, int err) {
        if (!out.copy.empty() && status != ArchiveStatus::CannotCopy) removeCopy(out.copy);
        std::error_code gone;
        if (announced) std::filesystem::remove(pendingOf(folder), gone);
        out.status = status;
        out.failed = file;
        out.errorCode = err;
        return out;
    };
    std::string log;
    const int readErr = readFile(logOf(folder), log);
    if (readErr != 0 && !isMissingFile(readErr)) return failed(ArchiveStatus::LogFailed, logOf(folder), readErr);
    out.interrupted = finishInterrupted(folder, log);
    if (log.empty()) log = std::string(kMark) + headerLine() + "\r\n";
    if (log.back() != '\n') log += "\r\n";  // a line cut by hand stays as it is, the new one on its own
    std::vector<std::string_view> lines = linesOf(log);
    std::string previous = hexOf(sha256(lines.empty() ? std::string_view() : lines.back()));
    const ProcessIdentity me = thisProcess();
    auto stampFields = [&](std::string& line, std::string_view action) {
        appendField(line, when);
        appendField(line, cp1250ToUtf8(action));
        appendField(line, escapedName(me.user));
        appendField(line, escapedName(me.machine));
    };
    // The last line must be the one naplo.csv.sha256 proves: a log whose
    // last line (and copy) was removed, or whose proof was rewritten, is said
    // and recorded in the chain, never signed anew without a word.
    std::vector<ArchiveAnchor> anchored;  // what goes to the system's log once the log holds it
    int headErr = 0;
    const std::vector<std::string> head = headHashes(folder, headErr);
    const bool hasLines = lines.size() > 1;
    // (A log without lines is proven by no proof, or by the header's hash:
    // its first archiving stopped before the log was written.)
    const bool proven = std::find(head.begin(), head.end(), previous) != head.end() ||
                        (!hasLines && head.empty() && isMissingFile(headErr));
    if (!proven) {
        const std::string claimed = head.empty() ? std::string("(nincs)") : head.front();
        out.headMismatch = hasLines ? "az utolsó sor SHA-256-ja " + previous + ", a " + std::string(kArchiveLogName) +
                                          ".sha256 szerint " + claimed
                                    : "a napló üres vagy hiányzik, a " + std::string(kArchiveLogName) +
                                          ".sha256 szerint utolsó sora " + claimed;
        std::string note;
        stampFields(note, kActionMismatch);
        appendField(note, cp1250ToUtf8(out.headMismatch));
        appendField(note, "");
        appendField(note, claimed);
        for (int i = 0; i < 3; ++i) appendField(note, "");
        appendField(note, entry.program);
        appendField(note, previous);
        log += note + "\r\n";
        anchored.push_back({hexOf(sha256(note)), previous});
        previous = hexOf(sha256(note));
    }
    // The copy's name announced in the pending file first: a kill from here
    // on leaves a copy the next archiving removes, not a finding for ever.
    const CopyName name = copyNameOf(report, when);
    std::string planned = name.folder;
    planned.append("/").append(name.stem).append("\r\n");
    if (const int err = replaceFile(pendingOf(folder), planned))
        return failed(ArchiveStatus::LogFailed, pendingOf(folder), err);
    announced = true;
    PieceCopy copied;
    if (const int err = makeCopy(folder, name, source.file.get(), copied, out.copy)) {
        const std::filesystem::path where = copied.readError != 0 ? report : out.copy.empty() ? folder : out.copy;
        out.copy.clear();
        return failed(copied.readError != 0 ? ArchiveStatus::CannotRead : ArchiveStatus::CannotCopy, where, err);
    }
    out.sha256 = hexOf(copied.digest);
    std::string line;
    stampFields(line, entry.action);
    appendField(line, escapedName(utf8Path(std::filesystem::absolute(report, ec))));
    // With '/': the log verifies on either system (an archive on a share).
    const std::u8string copy = std::filesystem::relative(out.copy, folder, ec).generic_u8string();
    appendField(line, std::string(copy.begin(), copy.end()));
    appendField(line, out.sha256);
    for (std::size_t n : entry.rows) appendField(line, std::to_string(n));
    appendField(line, entry.program);
    appendField(line, previous);
    log += line + "\r\n";
    const std::string lineHash = hexOf(sha256(line));
    anchored.push_back({lineHash, previous});
    // The proof names the new line before the log holds it: a stop between
    // the two replacements leaves a log whose last line is still proven.
    const std::string before = out.headMismatch.empty() ? previous : std::string();
    if (const int err = replaceFile(headOf(folder), (before.empty() ? "" : before + "\r\n") + lineHash + "\r\n"))
        return failed(ArchiveStatus::LogFailed, headOf(folder), err);
    // The whole log replaced at once: a line is there whole or not at all.
    if (const int err = replaceFile(logOf(folder), log)) {
        if (!before.empty()) replaceFile(headOf(folder), before + "\r\n");
        return failed(ArchiveStatus::LogFailed, logOf(folder), err);
    }
    std::filesystem::remove(pendingOf(folder), ec);
    // The line is in the log: a failed last rewrite of the proof leaves both hashes, and both hold.
    replaceFile(headOf(folder), lineHash + "\r\n");
    const std::string where = utf8Path(std::filesystem::absolute(logOf(folder), ec));
    for (const ArchiveAnchor& a : anchored)
        anchorSink()(cp1250ToUtf8("Kovirant archívum: sor SHA-256=") + a.sha256 + cp1250ToUtf8(" előző=") + a.previous +
                     " (" + where + ")");
    return out;
}

// An allocation that failed (a report too large for the 32-bit program's
// address space beside its rows) is an outcome with its code, never an abort.
ArchiveOutcome outOfMemory(ArchiveStatus status, const std::filesystem::path& file) {
    ArchiveOutcome out;
    out.status = status;
    out.failed = file;
    out.errorCode = ENOMEM;
    return out;
}

}  // namespace

ArchiveOutcome archiveReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                             const ArchiveEntry& entry, std::time_t now) {
    try {
        return archiveInPieces(folder, report, entry, now);
    } catch (const std::bad_alloc&) {
        return outOfMemory(ArchiveStatus::CannotCopy, folder);
    }
}

ArchiveOutcome archiveWrittenReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const RecordTables& tables, std::string program, std::time_t now) {
    ArchiveEntry entry;
    for (ViewKind k : kAllKinds) entry.rows[k] = tables.table(k).rowCount();
    entry.program = std::move(program);
    return archiveReport(folder, report, entry, now);
}

namespace {

// The report's "<Időpecsét>" text, and its "YYYY-MM-DD HH:MM:SS" when it
// is a real YYYY-MM-DDTHH:MM:SS time (a zone or fraction after it allowed).
struct ReportStamp {
    bool found = false;
    std::string text;  // as the report has it (cut to 40 characters)
    std::string time;  // empty: not a time
};
ReportStamp reportTime(std::string_view bytes) {
    ReportStamp out;
    const std::string_view tag = "<Időpecsét>";
    const std::size_t at = bytes.find(tag);
    if (at == std::string_view::npos) return out;
    out.found = true;
    const std::string_view rest = bytes.substr(at + tag.size());
    out.text = std::string(rest.substr(0, std::min<std::size_t>(rest.find('<'), 40)));
    std::string t = out.text.substr(0, 19);
    if (t.size() == 19 && t[10] == 'T') {
        t[10] = ' ';
        if (validTime(t) && (out.text.size() == 19 || !isDigit(out.text[19]))) out.time = t;
    }
    return out;
}

// Whether the report declares itself UTF-8 (or starts with its mark).
bool declaresUtf8(std::string_view bytes) {
    if (bytes.starts_with(kMark)) return true;
    if (!bytes.starts_with("<?xml")) return false;
    std::string head(bytes.substr(0, std::min(bytes.find("?>"), std::size_t{200})));
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head.find("encoding=\"utf-8\"") != std::string::npos || head.find("encoding='utf-8'") != std::string::npos;
}

// How many row elements the report holds: every <Pénzintézet>, <CégMutató>
// and <Tulajdonos> start tag, whatever the order of its attributes.
std::size_t rowElementsOf(std::string_view text) {
    std::size_t n = 0;
    for (std::string_view tag : {std::string_view("<Pénzintézet"), std::string_view("<CégMutató"),
                                 std::string_view("<Tulajdonos")}) {
        for (std::size_t at = text.find(tag); at != std::string_view::npos; at = text.find(tag, at + 1)) {
            const std::size_t after = at + tag.size();
            if (after < text.size() && std::string_view(" \t\r\n>/").find(text[after]) != std::string_view::npos) ++n;
        }
    }
    return n;
}

}  // namespace

std::string reportTextOf(std::string_view bytes) {
    if (!declaresUtf8(bytes)) return std::string(bytes);
    return utf8ToCp1250(bytes.substr(bytes.starts_with(kMark) ? kMark.size() : 0));
}

namespace {

bool logHolds(const std::filesystem::path& folder, const std::string& sha) {
    int err = 0;
    for (const ArchiveLogEntry& e : readArchiveLog(folder, err))
        if (e.sha256 == sha) return true;
    return false;
}

}  // namespace

std::vector<ArchiveLogEntry> readArchiveLog(const std::filesystem::path& folder, int& errorCode) {
    std::vector<ArchiveLogEntry> entries;
    std::string log;
    errorCode = readFile(logOf(folder), log);
    if (errorCode != 0) return entries;
    const std::vector<std::string_view> lines = linesOf(log);
    const std::string mismatch = cp1250ToUtf8(kActionMismatch);
    for (std::size_t i = 1; i < lines.size(); ++i) {  // after the header
        std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() == kFields && f[1] != mismatch)
            entries.push_back({std::move(f[0]), std::move(f[5]), std::move(f[6]), std::move(f[1]), std::move(f[4]),
                               {std::move(f[7]), std::move(f[8]), std::move(f[9])}});
    }
    return entries;
}

namespace {

ArchiveOutcome addEarlierReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                const std::string& program) {
    ArchiveOutcome out;
    out.failed = report;
    std::string bytes;
    if (const int err = readFile(report, bytes)) {
        out.status = ArchiveStatus::CannotRead;
        out.errorCode = err;
        return out;
    }
    // A report in UTF-8 is read as the Windows-1250 it stands for (another
    // as it is, not copied); its copy keeps its bytes.
    std::optional<std::string> converted;
    if (declaresUtf8(bytes)) converted = reportTextOf(bytes);
    const std::string_view read = converted ? std::string_view(*converted) : std::string_view(bytes);
    RecordTables tables;
    const ReloadOutcome loaded = ReloadReportBytes(read, tables);
    switch (loaded.status) {
        case ReloadStatus::NotAReport: out.status = ArchiveStatus::NotAReport; return out;
        case ReloadStatus::Incomplete:
            out.status = ArchiveStatus::Incomplete;
            out.lines = loaded.lines;
            return out;
        default: break;
    }
    out.rowElements = rowElementsOf(read);
    out.rowsRead = loaded.rowsAppended;
    if (out.rowsRead < out.rowElements) {
        out.status = ArchiveStatus::RowsUnread;
        return out;
    }
    out.sha256 = hexOf(sha256(bytes));
    if (logHolds(folder, out.sha256)) {
        out.status = ArchiveStatus::Known;
        return out;
    }
    ArchiveEntry entry;
    entry.action = kActionAdd;
    for (ViewKind k : kAllKinds) entry.rows[k] = tables.table(k).rowCount();
    entry.program = program;
    const ReportStamp stamped = reportTime(read);
    entry.time = stamped.time;
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(report, ec);
    const std::time_t fallback = ec ? std::time(nullptr)
                                    : std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    // The copy is made from the file in pieces: its bytes here are done with.
    converted.reset();
    std::string().swap(bytes);
    ArchiveOutcome archived = archiveReport(folder, report, entry, fallback);
    if (stamped.time.empty()) archived.refusedTime = stamped.found ? stamped.text : std::string("nincs");
    return archived;
}

}  // namespace

ArchiveOutcome archiveEarlierReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const std::string& program) {
    try {
        return addEarlierReport(folder, report, program);
    } catch (const std::bad_alloc&) {
        return outOfMemory(ArchiveStatus::CannotRead, report);
    }
}

namespace {

std::string archiveNotes(const ArchiveOutcome& o) {
    std::string notes;
    auto add = [&notes](const std::string& text) { notes += (notes.empty() ? "" : " ") + text; };
    if (o.tookOver)
        add("Az archívum naplójának zárolását átvettem " + utf8ToCp1250(o.holder.user) + " (" +
            utf8ToCp1250(o.holder.machine) + " gépen) megszakadt futásától.");
    if (!o.interrupted.empty())
        add("Egy megszakadt archiválás másolatát (" + utf8ToCp1250(o.interrupted) +
            ") eltávolítottam: a naplóba nem került sora.");
    if (!o.headMismatch.empty())
        add("Az archívum naplójának utolsó sora nem az, amelyet a " + std::string(kArchiveLogName) +
            ".sha256 igazol (" + o.headMismatch + "): a napló egy \"eltérés\" sora rögzíti, az ellenőrzés jelzi.");
    if (!o.refusedTime.empty())
        add("A jelentés Időpecsétje (" + o.refusedTime +
            ") nem ÉÉÉÉ-HH-NNTÓÓ:PP:MM időpont: az állomány saját idejét vettem.");
    return notes;
}

std::string archiveMain(const ArchiveOutcome& o, bool written) {
    const std::string path = utf16ToCp1250(o.failed.u16string());
    const std::string code = " Hibakód=" + std::to_string(o.errorCode) + ".";
    const std::string but = written ? "A jelentés elkészült, de " : "Nem vettem fel az archívumba ";
    switch (o.status) {
        case ArchiveStatus::Archived: return {};
        case ArchiveStatus::CannotRead:
            return written ? but + "nem archiváltam: a jelentést (" + path + ") nem tudtam visszaolvasni." + code
                           : but + "a jelentést (" + path + "), mert nem tudtam beolvasni." + code;
        case ArchiveStatus::CannotCopy:
            return written ? but + "nem archiváltam: a másolat (" + path + ") nem készült el." + code
                           : but + "a jelentést, mert a másolat (" + path + ") nem készült el." + code;
        case ArchiveStatus::LogFailed:
            return written ? but + "az archívum naplójába (" + path + ") nem tudtam írni." + code
                           : but + "a jelentést, mert az archívum naplójába (" + path + ") nem tudtam írni." + code;
        case ArchiveStatus::NotAReport: return "Az állomány (" + path + ") nem jelentés, nem vettem fel az archívumba.";
        case ArchiveStatus::Known: return "Az állomány (" + path + ") már szerepel az archívumban, nem vettem fel újra.";
        case ArchiveStatus::Incomplete:
            return "Az állomány (" + path + ") csonka jelentés: a " + std::to_string(o.lines) +
                   ". sorával véget ér a </PénzintézetiJelentés> előtt, nem vettem fel az archívumba.";
        case ArchiveStatus::RowsUnread:
            return "Az állomány (" + path + ") " + std::to_string(o.rowElements) + " tételt tartalmaz, de csak " +
                   std::to_string(o.rowsRead) + " tételét tudtam beolvasni, nem vettem fel az archívumba.";
        case ArchiveStatus::Busy:
            return (written ? but + "az archívum naplóját (" : "Nem vettem fel az archívumba a jelentést: a naplóját (") +
                   path + ") " + utf8ToCp1250(o.holder.user) + " (" + utf8ToCp1250(o.holder.machine) +
                   " gépen) tartja zárolva" + (written ? ", ezért nem archiváltam." : ".");
    }
    return {};
}

std::string joined(std::string a, const std::string& b) {
    if (a.empty()) return b;
    if (!b.empty()) a += " " + b;
    return a;
}

}  // namespace

std::string archiveText(const ArchiveOutcome& o) { return joined(archiveMain(o, true), archiveNotes(o)); }
std::string archiveAddText(const ArchiveOutcome& o) { return joined(archiveMain(o, false), archiveNotes(o)); }

int readAnchors(const std::filesystem::path& file, std::vector<ArchiveAnchor>& anchors) {
    std::string bytes;
    if (const int err = readFile(file, bytes)) return err;
    // An export in UTF-16 (the event viewer's): its ASCII is all a hash needs.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const std::size_t low = bytes[0] == '\xFF' ? 0 : 1;
        std::string narrow;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            narrow += bytes[i + 1 - low] == 0 ? bytes[i + low] : '?';
        bytes.swap(narrow);
    }
    auto hex = [](char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    for (std::string_view line : linesOf(bytes)) {
        std::vector<std::string> found;
        for (std::size_t i = 0; i < line.size() && found.size() < 2;) {
            if (!hex(line[i])) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < line.size() && hex(line[j])) ++j;
            if (j - i == 64) {
                std::string h(line.substr(i, 64));
                for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                found.push_back(std::move(h));
            }
            i = j;
        }
        if (!found.empty()) anchors.push_back({found[0], found.size() > 1 ? found[1] : std::string()});
    }
    return 0;
}

std::vector<ArchiveFinding> verifyArchive(const std::filesystem::path& folder, int& errorCode,
                                          const std::vector<ArchiveAnchor>* anchors) {
    std::vector<ArchiveFinding> findings;
    auto finding = [&](long long line, std::string text) { findings.push_back({line, std::move(text)}); };
    std::string log;
    errorCode = readFile(logOf(folder), log);
    if (errorCode != 0) return findings;
    if (!log.starts_with(kMark)) finding(1, cp1250ToUtf8("a napló nem UTF-8 jelöléssel kezdődik"));
    const std::vector<std::string_view> lines = linesOf(log);
    if (lines.empty() || lines[0] != headerLine()) finding(1, cp1250ToUtf8("a napló fejléce nem a programé"));
    const std::string mismatch = cp1250ToUtf8(kActionMismatch);
    std::set<std::filesystem::path> named;
    std::map<std::string, long long> copies;  // a copy's name -> the first line that names it
    std::map<std::string, long long> lineOf;  // a line's SHA-256 -> its line
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const long long n = static_cast<long long>(i) + 1;
        lineOf.emplace(hexOf(sha256(lines[i])), n);
        const std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() != kFields) {
            finding(n, cp1250ToUtf8("a sor nem a napló sora (") + std::to_string(f.size()) + cp1250ToUtf8(" mező)"));
            continue;
        }
        if (f[11] != hexOf(sha256(lines[i - 1])))
            finding(n, cp1250ToUtf8("megszakadt a lánc: az előző sor megváltozott, hiányzik vagy máshová került"));
        if (f[1] == mismatch) {
            finding(n, cp1250ToUtf8("itt a napló utolsó sora nem az volt, amelyet a naplo.csv.sha256 igazolt (") + f[4] +
                           "; " + f[2] + ", " + f[3] + ", " + f[0] + ")");
            continue;
        }
        if (!copyStaysInside(f[5]) || !insideArchive(folder, copyPath(folder, f[5]))) {
            finding(n, cp1250ToUtf8("a másolat útvonala kivezet az archívumból: ") + f[5]);
            continue;
        }
        if (const auto [first, fresh] = copies.emplace(f[5], n); !fresh) {
            finding(n, cp1250ToUtf8("a másolatot már a(z) ") + std::to_string(first->second) +
                           cp1250ToUtf8(". sor is megnevezi: ") + f[5]);
            continue;
        }
        const std::filesystem::path copy = copyPath(folder, f[5]);
        named.insert(std::filesystem::weakly_canonical(copy));
        Sha256Digest digest{};
        if (const int err = sha256OfFile(copy, digest)) {
            finding(n, cp1250ToUtf8("hiányzik a másolat: ") + f[5] + cp1250ToUtf8(" (Hibakód=") + std::to_string(err) + ")");
        } else if (hexOf(digest) != f[6]) {
            finding(n, cp1250ToUtf8("a másolat megváltozott: ") + f[5]);
        }
    }
    int headErr = 0;
    const std::vector<std::string> head = headHashes(folder, headErr);
    // (Two hashes: an archiving stopped between the proof and the log; either line is proven.)
    if (lines.size() > 1 && std::find(head.begin(), head.end(), hexOf(sha256(lines.back()))) == head.end())
        finding(static_cast<long long>(lines.size()),
                cp1250ToUtf8("a napló utolsó sora megváltozott vagy hiányzik (") + std::string(kArchiveLogName) +
                    ".sha256)");
    // The copy of an archiving under way or stopped (the next one removes it) is no finding.
    std::string pending;
    if (readFile(pendingOf(folder), pending) == 0) pending.resize(std::min(pending.size(), pending.find_first_of("\r\n")));
    else pending.clear();
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::u8string relative = std::filesystem::relative(it->path(), folder, ec).generic_u8string();
        const std::string name(relative.begin(), relative.end());
        if (it.depth() == 0 && logsOwnFile(utf8Path(it->path().filename()))) continue;
        if (named.count(std::filesystem::weakly_canonical(it->path()))) continue;
        if (!pending.empty() && name.starts_with(pending)) continue;
        finding(0, cp1250ToUtf8("a naplóban nem szereplő állomány: ") + name);
    }
    if (anchors) {
        std::set<std::string> anchored;
        for (const ArchiveAnchor& a : *anchors) anchored.insert(a.sha256);
        for (const auto& [hash, n] : lineOf)
            if (!anchored.count(hash))
                finding(n, cp1250ToUtf8("a sor nem szerepel a külső horgonyok között (SHA-256=") + hash + ")");
        for (const ArchiveAnchor& a : *anchors) {
            const auto before = lineOf.find(a.previous);
            if (before != lineOf.end() && !lineOf.count(a.sha256))
                finding(before->second, cp1250ToUtf8("a külső horgony szerint e sor után következő sor hiányzik a naplóból (SHA-256=") +
                                            a.sha256 + ")");
        }
        std::stable_sort(findings.begin(), findings.end(),
                  [](const ArchiveFinding& x, const ArchiveFinding& y) { return x.line < y.line; });
    }
    return findings;
}

}  // namespace kovirant
