// The archive log's format as its writer and its verification both read
// it: the header, the fields of a line, the lines of the file and the files
// beside it. Internal to src/archive.
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/report_archive.h"
#include "util/file_lock.h"

namespace kovirant::archive_log {

inline constexpr std::string_view kMark = "\xEF\xBB\xBF";
// The header line, as written (UTF-8).
std::string headerLine();
inline constexpr std::size_t kFields = 12;

bool isUtf8(std::string_view s);
// A path's text in UTF-8: a name of raw bytes that are no UTF-8 (a file a
// Windows tool named on a Linux share) is read as Windows-1250.
std::string utf8Path(const std::filesystem::path& p);

// A line's fields, as a spreadsheet wrote them (quotes undone).
std::vector<std::string> splitFields(std::string_view line);
// The log's lines without their ends (the mark taken off the first).
std::vector<std::string_view> linesOf(std::string_view text);

std::filesystem::path logOf(const std::filesystem::path& folder);
std::filesystem::path headOf(const std::filesystem::path& folder);
// An archiving under way: the copy it made, until its line is in the log.
std::filesystem::path pendingOf(const std::filesystem::path& folder);

// A copy's path as the log holds it stays inside the archive: relative, no
// "..", no drive.
bool copyStaysInside(std::string_view copy);

// The hashes naplo.csv.sha256 proves: its first line the log's last line;
// a second one, written before the log was replaced, the line being appended.
std::vector<std::string> headHashes(const std::filesystem::path& folder, int& errorCode);

// A field that is a name: control characters (a line feed in a file name)
// as \xNN, so that one log line stays one line.
std::string escapedName(std::string_view text);
// A field as a spreadsheet reads it back.
void appendField(std::string& line, std::string_view value);
// "YYYY-MM-DD HH:MM:SS" with a real day and time.
bool validTime(std::string_view t);
// Where each appended line's anchor goes (setAnchorSink).
std::function<void(std::string_view)>& anchorSink();
// A file of the archive made writable again and removed.
void removeCopy(const std::filesystem::path& copy);
// The local time `now` in strftime's `format`.
std::string stamp(std::time_t now, const char* format);
// Under the log's lock: an archiving stopped before its line was written
// (a kill) left the name of its copy in the pending file ("<year>/<stem>");
// a copy of that name the log does not hold goes (every copy is made under
// the lock, so it can only be that one's). Returns the copy removed, if any.
std::string finishInterrupted(const std::filesystem::path& folder, std::string_view log);

// The log's lock taken for a writer: a lock it could not have is the
// writer's `busy` or `failed` status with its holder and code, a lock taken
// over from a program that was gone is told (`tookOver`).
template <class Outcome, class Status>
bool lockLog(FileLock& lock, const std::filesystem::path& folder, Outcome& out, Status busy, Status failed) {
    const LockOutcome locked = lock.acquire(lockFileOf(logOf(folder)));
    if (!locked.held()) {
        out.status = locked.status == LockStatus::Busy ? busy : failed;
        out.holder = locked.other;
        out.failed = logOf(folder);
        out.errorCode = locked.errorCode;
        return false;
    }
    if (locked.status == LockStatus::TakenOver) {
        out.tookOver = true;
        out.holder = locked.other;
    }
    return true;
}

// Lines appended to the log under its lock, as every writer appends them.
struct LogAppend {
    std::string log;                    // the log as read, the new lines added
    std::string when, user, machine;    // the lines' time, account and machine (UTF-8)
    std::string program;
    std::string previous;               // the SHA-256 of the last line
    std::string previousOfLast;         // the SHA-256 of the line before the last added
    std::string headMismatch;           // Windows-1250; empty: the last line was proven
    std::vector<ArchiveAnchor> anchored;
};
// Starts an append to `log` (empty: a new log, its header first). The last
// line must be the one naplo.csv.sha256 proves: a log whose last line (and
// copy) was removed, or whose proof was rewritten, is said and recorded in
// a line "eltérés", never signed anew without a word.
LogAppend beginAppend(const std::filesystem::path& folder, std::string log, std::string when, std::string user,
                      std::string machine, std::string program);
// The line of `action` (Windows-1250) with its six fields between the
// machine and the program, chained to the last.
void addLine(LogAppend& a, std::string_view action, const std::array<std::string, 6>& fields);
// Writes the proof and the log (0, or the code and the file that failed);
// then the pending note goes and each line's anchor to the system's log.
int commitAppend(const std::filesystem::path& folder, const LogAppend& a, std::filesystem::path& failed);

}  // namespace kovirant::archive_log
