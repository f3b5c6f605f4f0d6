#include "archive/report_archive.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <new>
#include <set>
#include <system_error>

#include "archive/log_fields.h"
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

using namespace archive_log;

namespace {

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

namespace {

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
    if (!lockLog(lock, folder, out, ArchiveStatus::Busy, ArchiveStatus::LogFailed)) return out;
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
    const ProcessIdentity me = thisProcess();
    LogAppend append = beginAppend(folder, std::move(log), when, accountName(), me.machine, entry.program);
    out.headMismatch = append.headMismatch;
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
    // With '/': the log verifies on either system (an archive on a share).
    const std::u8string copy = std::filesystem::relative(out.copy, folder, ec).generic_u8string();
    addLine(append, entry.action,
            {escapedName(utf8Path(std::filesystem::absolute(report, ec))), std::string(copy.begin(), copy.end()),
             out.sha256, std::to_string(entry.rows[0]), std::to_string(entry.rows[1]), std::to_string(entry.rows[2])});
    std::filesystem::path failedFile;
    if (const int err = commitAppend(folder, append, failedFile))
        return failed(ArchiveStatus::LogFailed, failedFile, err);
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

std::string_view reportTextOf(std::string_view bytes, std::string& converted) {
    if (!declaresUtf8(bytes)) return bytes;
    converted = utf8ToCp1250(bytes.substr(bytes.starts_with(kMark) ? kMark.size() : 0));
    return converted;
}

namespace {

bool logHolds(const std::filesystem::path& folder, const std::string& sha) {
    int err = 0;
    for (const ArchiveLogEntry& e : readArchiveLog(folder, err))
        if (e.sha256 == sha) return true;
    return false;
}

}  // namespace

bool isStateAction(std::string_view utf8Action) {
    for (std::string_view a : {kActionApproval, kActionReturn, kActionSent, kActionReceipt})
        if (utf8Action == cp1250ToUtf8(a)) return true;
    return false;
}

std::vector<ArchiveLogEntry> archiveLogEntries(std::string_view log, bool stateLines) {
    std::vector<ArchiveLogEntry> entries;
    const std::vector<std::string_view> lines = linesOf(log);
    const std::string mismatch = cp1250ToUtf8(kActionMismatch);
    for (std::size_t i = 1; i < lines.size(); ++i) {  // after the header
        std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() != kFields || f[1] == mismatch || (!stateLines && isStateAction(f[1]))) continue;
        entries.push_back({std::move(f[0]), std::move(f[5]), std::move(f[6]), std::move(f[1]), std::move(f[4]),
                           {std::move(f[7]), std::move(f[8]), std::move(f[9])}, std::move(f[2]), std::move(f[3]),
                           static_cast<long long>(i) + 1});
    }
    return entries;
}

std::vector<ArchiveLogEntry> readArchiveLog(const std::filesystem::path& folder, int& errorCode, bool stateLines) {
    std::string log;
    errorCode = readFile(logOf(folder), log);
    if (errorCode != 0) return {};
    return archiveLogEntries(log, stateLines);
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
    // A report in UTF-8 is read as the Windows-1250 it stands for; its copy keeps its bytes.
    std::string converted;
    const std::string_view read = reportTextOf(bytes, converted);
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
    std::string().swap(converted);
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

}  // namespace kovirant
