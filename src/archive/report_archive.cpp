#include "archive/report_archive.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <system_error>

#include "import/report_reload.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/sha256.h"
#include "util/threads.h"

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

std::string utf8Path(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
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

std::string stamp(std::time_t now, const char* format) {
    char text[32] = {};
    if (const std::tm* t = std::localtime(&now)) std::strftime(text, sizeof text, format, t);
    return text;
}

// A free name for the copy, made exclusively: another officer's copy of
// the same second takes another.
int makeCopy(const std::filesystem::path& folder, const std::filesystem::path& report, const std::string& when,
             std::string_view bytes, std::filesystem::path& copy) {
    const std::filesystem::path year = folder / when.substr(0, 4);
    // "YYYY-MM-DD HH:MM:SS" -> "YYYY-MM-DD_HHMMSS_"
    std::string prefix = when.substr(0, 10) + "_";
    for (char c : when.substr(11))
        if (c != ':') prefix += c;
    prefix += "_";
    std::error_code ec;
    std::filesystem::create_directories(year, ec);
    if (ec) return ec.value();
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path name = prefix;
        name += report.stem();
        if (n > 1) {
            name += "_";
            name += std::to_string(n);
        }
        name += report.extension();
        copy = year / name;
        const int err = createExclusive(copy, bytes);
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

ArchiveOutcome archiveReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                             const ArchiveEntry& entry, std::time_t now) {
    ArchiveOutcome out;
    // The report's bytes mapped in place where it lies on this machine (a
    // large report is not copied through the heap first); read from a share,
    // where a mapping would fail as a crash when the share goes away.
    std::error_code ec;
    std::shared_ptr<const MappedFile> mapped;
    if (!onNetworkDrive(std::filesystem::absolute(report, ec).parent_path())) mapped = MappedFile::open(report);
    std::string read;
    if (!mapped) {
        if (const int err = readFile(report, read)) {
            out.status = ArchiveStatus::CannotRead;
            out.failed = report;
            out.errorCode = err;
            return out;
        }
    }
    const std::string_view bytes = mapped ? mapped->bytes() : std::string_view(read);
    // The report hashed on another core while its copy is written.
#ifdef KOVIRANT_HAS_THREADS
    std::future<std::string> hashed = std::async(std::launch::async, [bytes] { return hexOf(sha256(bytes)); });
#endif
    std::filesystem::create_directories(folder, ec);
    const std::string when = entry.time.empty() ? stamp(now, "%Y-%m-%d %H:%M:%S") : entry.time;
    const int copyError = makeCopy(folder, report, when, bytes, out.copy);
#ifdef KOVIRANT_HAS_THREADS
    out.sha256 = hashed.get();
#else
    out.sha256 = hexOf(sha256(bytes));
#endif
    if (const int err = copyError) {
        out.status = ArchiveStatus::CannotCopy;
        out.failed = out.copy.empty() ? folder : out.copy;
        out.errorCode = err;
        return out;
    }
    FileLock lock;
    const LockOutcome locked = lock.acquire(lockFileOf(logOf(folder)));
    if (!locked.held()) {
        out.status = locked.status == LockStatus::Busy ? ArchiveStatus::Busy : ArchiveStatus::LogFailed;
        out.holder = locked.other;
        out.failed = logOf(folder);
        out.errorCode = locked.errorCode;
        return out;
    }
    std::string log;
    const int readErr = readFile(logOf(folder), log);
    if (readErr != 0 && !isMissingFile(readErr)) {
        out.status = ArchiveStatus::LogFailed;
        out.failed = logOf(folder);
        out.errorCode = readErr;
        return out;
    }
    if (log.empty()) log = std::string(kMark) + headerLine() + "\r\n";
    if (log.back() != '\n') log += "\r\n";  // a line cut by hand stays as it is, the new one on its own
    const std::vector<std::string_view> lines = linesOf(log);
    const std::string previous = hexOf(sha256(lines.empty() ? std::string_view() : lines.back()));
    const ProcessIdentity me = thisProcess();
    std::string line;
    appendField(line, when);
    appendField(line, cp1250ToUtf8(entry.action));
    appendField(line, me.user);
    appendField(line, me.machine);
    appendField(line, utf8Path(std::filesystem::absolute(report, ec)));
    // With '/': the log verifies on either system (an archive on a share).
    const std::u8string copy = std::filesystem::relative(out.copy, folder, ec).generic_u8string();
    appendField(line, std::string(copy.begin(), copy.end()));
    appendField(line, out.sha256);
    for (std::size_t n : entry.rows) appendField(line, std::to_string(n));
    appendField(line, entry.program);
    appendField(line, previous);
    log += line + "\r\n";
    // The whole log replaced at once: a line is there whole or not at all.
    if (const int err = replaceFile(logOf(folder), log)) {
        out.status = ArchiveStatus::LogFailed;
        out.failed = logOf(folder);
        out.errorCode = err;
        return out;
    }
    if (const int err = replaceFile(headOf(folder), hexOf(sha256(line)) + "\r\n")) {
        out.status = ArchiveStatus::LogFailed;
        out.failed = headOf(folder);
        out.errorCode = err;
    }
    return out;
}

ArchiveOutcome archiveWrittenReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const RecordTables& tables, std::string program, std::time_t now) {
    ArchiveEntry entry;
    for (ViewKind k : kAllKinds) entry.rows[k] = tables.table(k).rowCount();
    entry.program = std::move(program);
    return archiveReport(folder, report, entry, now);
}

namespace {

// "YYYY-MM-DD HH:MM:SS" of the report's "<Időpecsét>YYYY-MM-DDTHH:MM:SS...".
std::string reportTime(std::string_view bytes) {
    const std::string_view tag = "<Időpecsét>";
    const std::size_t at = bytes.find(tag);
    if (at == std::string_view::npos || bytes.size() - at - tag.size() < 19) return {};
    std::string t(bytes.substr(at + tag.size(), 19));
    if (t[10] != 'T') return {};
    t[10] = ' ';
    return t;
}

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
    for (std::size_t i = 1; i < lines.size(); ++i) {  // after the header
        std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() == kFields)
            entries.push_back({std::move(f[0]), std::move(f[5]), std::move(f[6]), std::move(f[1]), std::move(f[4]),
                               {std::move(f[7]), std::move(f[8]), std::move(f[9])}});
    }
    return entries;
}

ArchiveOutcome archiveEarlierReport(const std::filesystem::path& folder, const std::filesystem::path& report,
                                    const std::string& program) {
    ArchiveOutcome out;
    RecordTables tables;
    const ReloadOutcome read = ReloadReport(report, tables);
    out.failed = report;
    if (read.status == ReloadStatus::CannotOpen || read.status == ReloadStatus::ReadFailed) {
        out.status = ArchiveStatus::CannotRead;
        out.errorCode = read.errorCode;
        return out;
    }
    if (read.status == ReloadStatus::NotAReport) {
        out.status = ArchiveStatus::NotAReport;
        return out;
    }
    std::string bytes;
    if (const int err = readFile(report, bytes)) {
        out.status = ArchiveStatus::CannotRead;
        out.errorCode = err;
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
    entry.time = reportTime(bytes);
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(report, ec);
    const std::time_t fallback = ec ? std::time(nullptr)
                                    : std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    return archiveReport(folder, report, entry, fallback);
}

std::string archiveText(const ArchiveOutcome& o) {
    const std::string path = utf16ToCp1250(o.failed.u16string());
    const std::string code = " Hibakód=" + std::to_string(o.errorCode) + ".";
    switch (o.status) {
        case ArchiveStatus::Archived: return {};
        case ArchiveStatus::CannotRead:
            return "A jelentés elkészült, de nem archiváltam: a jelentést (" + path + ") nem tudtam visszaolvasni." + code;
        case ArchiveStatus::CannotCopy:
            return "A jelentés elkészült, de nem archiváltam: a másolat (" + path + ") nem készült el." + code;
        case ArchiveStatus::LogFailed:
            return "A jelentés elkészült, de az archívum naplójába (" + path + ") nem tudtam írni." + code;
        case ArchiveStatus::NotAReport: return "Az állomány (" + path + ") nem jelentés, nem vettem fel az archívumba.";
        case ArchiveStatus::Known: return "Az állomány (" + path + ") már szerepel az archívumban, nem vettem fel újra.";
        case ArchiveStatus::Busy:
            return "A jelentés elkészült, de az archívum naplóját (" + path + ") " + utf8ToCp1250(o.holder.user) + " (" +
                   utf8ToCp1250(o.holder.machine) + " gépen) tartja zárolva, ezért nem archiváltam.";
    }
    return {};
}

std::vector<ArchiveFinding> verifyArchive(const std::filesystem::path& folder, int& errorCode) {
    std::vector<ArchiveFinding> findings;
    auto finding = [&](long long line, std::string text) { findings.push_back({line, std::move(text)}); };
    std::string log;
    errorCode = readFile(logOf(folder), log);
    if (errorCode != 0) return findings;
    if (!log.starts_with(kMark)) finding(1, cp1250ToUtf8("a napló nem UTF-8 jelöléssel kezdődik"));
    const std::vector<std::string_view> lines = linesOf(log);
    if (lines.empty() || lines[0] != headerLine()) finding(1, cp1250ToUtf8("a napló fejléce nem a programé"));
    std::set<std::filesystem::path> named;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const long long n = static_cast<long long>(i) + 1;
        const std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() != kFields) {
            finding(n, cp1250ToUtf8("a sor nem a napló sora (") + std::to_string(f.size()) + cp1250ToUtf8(" mező)"));
            continue;
        }
        if (f[11] != hexOf(sha256(lines[i - 1])))
            finding(n, cp1250ToUtf8("megszakadt a lánc: az előző sor megváltozott, hiányzik vagy máshová került"));
        const std::filesystem::path copy = copyPath(folder, f[5]);
        named.insert(std::filesystem::weakly_canonical(copy));
        Sha256Digest digest{};
        if (const int err = sha256OfFile(copy, digest)) {
            finding(n, cp1250ToUtf8("hiányzik a másolat: ") + f[5] + cp1250ToUtf8(" (Hibakód=") + std::to_string(err) + ")");
        } else if (hexOf(digest) != f[6]) {
            finding(n, cp1250ToUtf8("a másolat megváltozott: ") + f[5]);
        }
    }
    std::string head;
    const std::string last = lines.size() > 1 ? hexOf(sha256(lines.back())) : std::string();
    if (lines.size() > 1 && (readFile(headOf(folder), head) != 0 || head.substr(0, 64) != last))
        finding(static_cast<long long>(lines.size()),
                cp1250ToUtf8("a napló utolsó sora megváltozott vagy hiányzik (") + std::string(kArchiveLogName) +
                    ".sha256)");
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->path().parent_path() == folder) continue;  // the log and its files
        if (!named.count(std::filesystem::weakly_canonical(it->path())))
            finding(0, cp1250ToUtf8("a naplóban nem szereplő állomány: ") +
                           utf8Path(std::filesystem::relative(it->path(), folder, ec)));
    }
    return findings;
}

}  // namespace kovirant
