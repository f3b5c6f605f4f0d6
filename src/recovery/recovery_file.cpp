#include "recovery/recovery_file.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "import/report_reload.h"
#include "recovery/change_journal.h"
#include "report/report_writer.h"
#include "util/file_io.h"
#include "util/os_file.h"

namespace kovirant {
namespace {

// The writer ends every complete file with this line; an atomic write never
// leaves a file without it, so its absence means damage.
constexpr std::string_view kLastLine = "</PénzintézetiJelentés>\r\n";

bool endsComplete(std::FILE* f) {
    const long tail = static_cast<long>(kLastLine.size());
    if (std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) < tail) return false;
    std::string end(kLastLine.size(), '\0');
    if (std::fseek(f, -tail, SEEK_END) != 0 || std::fread(end.data(), 1, end.size(), f) != end.size()) return false;
    return end == kLastLine && std::fseek(f, 0, SEEK_SET) == 0;
}

template <std::size_t N>
void copyRows(const MemoryTable& from, ViewKind kind, RecordTables& to) {
    std::array<std::string, N> row;
    for (std::size_t r = 0; r < from.rowCount(); ++r) {
        for (std::size_t c = 0; c < N; ++c) row[c].assign(from.cell(r, c));
        to.appendRow(kind, row);
    }
}

// The note that says where the journal goes on from.
constexpr std::string_view kNoteStart = "<!-- Kovirant napló: ";

JournalPosition readNote(std::FILE* f) {
    char head[1024];
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fseek(f, 0, SEEK_SET);
    const std::string_view text(head, n);
    const std::size_t at = text.find(kNoteStart);
    JournalPosition out;
    if (at == std::string_view::npos) return out;
    unsigned long long generation = 0, sequence = 0;
    const std::string rest(text.substr(at + kNoteStart.size(), 64));
    if (std::sscanf(rest.c_str(), "%16llx %llu", &generation, &sequence) == 2) out = {generation, sequence};
    return out;
}

}  // namespace

std::filesystem::path recoveryPath(const std::filesystem::path& workingFolder) {
    return workingFolder / std::filesystem::path(std::string(kRecoveryFileName));
}

std::filesystem::path recoveryFolderFor(const std::filesystem::path& workingFolder, bool onNetwork,
                                        const std::optional<std::filesystem::path>& local) {
    if (!onNetwork || !local) return workingFolder;
    // A readable name of the folder, and a hash of its whole path that keeps
    // two folders of one name apart.
    const std::u8string whole = workingFolder.u8string();
    std::uint64_t h = 14695981039346656037ULL;
    for (char8_t c : whole) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    std::u8string name;
    for (char8_t c : workingFolder.filename().u8string())
        name += (c == u8':' || c == u8'\\' || c == u8'/' || c == u8' ') ? u8'_' : c;
    char tail[24];
    std::snprintf(tail, sizeof tail, "-%08llx", static_cast<unsigned long long>(h & 0xFFFFFFFFu));
    name += std::u8string(reinterpret_cast<const char8_t*>(tail));
    return *local / "Kovirant" / std::filesystem::path(name);
}

// Each copy is written all-or-nothing and flushed with its folder before
// any original goes: a crash of this machine leaves the originals, or whole
// copies. The journal is copied first and the snapshot last, so a move a stop
// cut short (a journal here, the snapshot still there) is made again.
int moveLeftRecoveryFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (from == to) return 0;
    std::error_code ec;
    if (std::filesystem::exists(recoveryPath(to), ec) ||
        (std::filesystem::exists(journalPath(to), ec) && !std::filesystem::exists(recoveryPath(from), ec)))
        return 0;
    std::filesystem::create_directories(to, ec);
    for (const std::filesystem::path& file : {journalPath(from), recoveryPath(from)}) {
        if (!std::filesystem::exists(file, ec)) continue;
        std::string bytes;
        if (const int err = readFile(file, bytes)) return err;
        if (const int err = replaceFile(to / file.filename(), bytes)) return err;
    }
    for (const std::filesystem::path& file : {journalPath(from), recoveryPath(from)}) removeFile(file);
    syncFolder(from);
    return 0;
}

std::filesystem::path savedMarkPath(const std::filesystem::path& folder) {
    return folder / std::filesystem::path(std::string(kSavedMarkName));
}

JournalPosition readSavedMark(const std::filesystem::path& folder) {
    std::string bytes;
    JournalPosition out;
    if (readFile(savedMarkPath(folder), bytes) != 0) return out;
    unsigned long long generation = 0, sequence = 0;
    if (std::sscanf(bytes.c_str(), "%16llx %llu", &generation, &sequence) == 2) out = {generation, sequence};
    return out;
}

int removeRecoveryFiles(const std::filesystem::path& folder, JournalPosition saved) {
    const std::filesystem::path snapshot = recoveryPath(folder), journal = journalPath(folder);
    std::error_code ec;
    const bool both = std::filesystem::exists(snapshot, ec) && std::filesystem::exists(journal, ec);
    char mark[64];
    std::snprintf(mark, sizeof mark, "%016llx %llu\n", static_cast<unsigned long long>(saved.generation),
                  static_cast<unsigned long long>(saved.sequence));
    const bool marked = both && saved.generation != 0 && replaceFile(savedMarkPath(folder), mark) == 0;
    int err = removeFile(journal);
    if (const int e = removeFile(snapshot); err == 0) err = e;
    if (const int e = syncFolder(folder); err == 0) err = e;  // gone before the save's command returns
    if (marked && err == 0) removeFile(savedMarkPath(folder));
    return err;
}

std::filesystem::path recoveryHoldPath(const std::filesystem::path& workingFolder) {
    return workingFolder / std::filesystem::path(std::string(kRecoveryHoldName));
}

bool isRecoveryFile(const std::filesystem::path& file) {
    const OpenedFile opened = openFile(file, "rb");
    if (!opened) return false;
    char head[512];
    const std::size_t n = std::fread(head, 1, sizeof head, opened.file.get());
    return std::string_view(head, n).find(kRecoveryMark) != std::string_view::npos;
}

std::string recoveryNote(JournalPosition at) {
    char note[96];
    std::snprintf(note, sizeof note, "%s%016llx %llu -->", std::string(kNoteStart).c_str(),
                  static_cast<unsigned long long>(at.generation), static_cast<unsigned long long>(at.sequence));
    return note;
}

int writeRecovery(const std::filesystem::path& file, const RecordTables& tables, const SettingsFile& settings,
                  JournalPosition at, ReportOptions options) {
    options.wholeTables = true;
    if (at.generation != 0) options.recoveryNote = recoveryNote(at);
    const ReportOutcome out = WriteReport(file, tables, settings, options);
    return out.status == ReportStatus::Written ? 0 : (out.errorCode != 0 ? out.errorCode : EIO);
}

RecoveredRows readRecovery(const std::filesystem::path& file) {
    const OpenedFile opened = openFile(file, "rb");
    if (opened) return readRecoveryStream(opened.file.get());
    RecoveredRows out;
    out.status = isMissingFile(opened.error) ? RecoveryStatus::Missing : RecoveryStatus::Unreadable;
    out.errorCode = opened.error;
    return out;
}

RecoveredRows readRecoveryStream(std::FILE* file) {
    RecoveredRows out;
    const bool complete = endsComplete(file);
    if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) {
        out.status = RecoveryStatus::Unreadable;
        return out;
    }
    // A file cut short still gives the whole records before the cut.
    out.at = readNote(file);
    RecordTables tables = out.tables();
    ReloadReportStream(file, tables, ReloadOptions{true});
    if (std::ferror(file)) out.status = RecoveryStatus::Unreadable;
    else out.status = complete ? RecoveryStatus::Read : RecoveryStatus::Damaged;
    return out;
}

void restoreRows(const RecoveredRows& rows, RecordTables& tables) {
    copyRows<InstitutionCol::count>(rows[ViewInstitution], ViewInstitution, tables);
    copyRows<AccountChangeCol::count>(rows[ViewAccountChange], ViewAccountChange, tables);
    copyRows<RegisterCol::count>(rows[ViewRegister], ViewRegister, tables);
}

std::filesystem::path asideName(const std::filesystem::path& file, std::time_t now) {
    std::filesystem::path aside;
    char stamp[32] = "0";
    if (const std::tm* t = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", t);
    for (int n = 1;; ++n) {
        std::filesystem::path name = file.stem();
        name += "-";
        name += stamp;
        if (n > 1) {
            name += "-";
            name += std::to_string(n);
        }
        name += file.extension();
        aside = file.parent_path() / name;
        std::error_code ec;
        if (!std::filesystem::exists(aside, ec)) break;
    }
    return aside;
}

AsideOutcome putAside(const std::filesystem::path& file, std::time_t now) {
    const std::filesystem::path aside = asideName(file, now);
    return {aside, renameReplacing(file, aside)};
}

}  // namespace kovirant
