#include "archive/report_state.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <system_error>

#include "archive/log_fields.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "records/record_tables.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/sha256.h"

namespace kovirant {

using namespace archive_log;

namespace {

struct StateRow {
    ReportState state;
    std::string_view name, action;
};
constexpr StateRow kStates[] = {
    {ReportState::Saved, "mentve", kActionSave},
    {ReportState::AwaitingApproval, "jóváhagyásra vár", kActionApproval},
    {ReportState::Approved, "jóváhagyva", kActionApproval},
    {ReportState::Returned, "visszaadva", kActionReturn},
    {ReportState::Sent, "elküldve", kActionSent},
    {ReportState::Accepted, "elfogadva", kActionReceipt},
    {ReportState::Refused, "elutasítva", kActionReceipt},
};

constexpr std::pair<ReportState, ReportState> kAllowed[] = {
    {ReportState::Saved, ReportState::AwaitingApproval},    {ReportState::AwaitingApproval, ReportState::Approved},
    {ReportState::AwaitingApproval, ReportState::Returned}, {ReportState::Saved, ReportState::Sent},
    {ReportState::Approved, ReportState::Sent},             {ReportState::Sent, ReportState::Accepted},
    {ReportState::Sent, ReportState::Refused},
};

// Windows-1250 letters without case (the Hungarian and the other letters it holds).
std::string foldedCp1250(std::string s) {
    for (char& ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<unsigned char>(c + 0x20);
        else if (c == 0x8A || (c >= 0x8C && c <= 0x8F)) c = static_cast<unsigned char>(c + 0x10);
        else if (c == 0xA3) c = 0xB3;
        else if (c == 0xA5) c = 0xB9;
        else if (c == 0xAA) c = 0xBA;
        else if (c == 0xAF) c = 0xBF;
        else if (c == 0xBC) c = 0xBE;
        ch = static_cast<char>(c);
    }
    return s;
}

// The file name of a path the log holds, written on either system.
std::string lastName(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string_view stateName(ReportState s) { return kStates[static_cast<int>(s)].name; }
std::string_view actionOf(ReportState to) { return kStates[static_cast<int>(to)].action; }
std::optional<ReportState> stateNamed(std::string_view cp1250) {
    for (const StateRow& r : kStates)
        if (r.name == cp1250) return r.state;
    return std::nullopt;
}

bool allowedTransition(ReportState from, ReportState to) {
    return std::find(std::begin(kAllowed), std::end(kAllowed), std::pair{from, to}) != std::end(kAllowed);
}

bool sameAccount(std::string_view a, std::string_view b) {
    // Folded in Windows-1250, where the Hungarian letters have their cases.
    return foldedCp1250(utf8ToCp1250(a)) == foldedCp1250(utf8ToCp1250(b));
}

std::vector<ReportRoad> reportRoads(const std::vector<ArchiveLogEntry>& lines) {
    std::vector<ReportRoad> roads;
    std::map<std::string, std::size_t> bySha;
    for (const ArchiveLogEntry& e : lines) {
        if (e.archivesReport()) {
            if (bySha.emplace(e.sha256, roads.size()).second) {
                ReportRoad r;
                r.report = e;
                r.since = e.time;
                r.savedBy.push_back(e.user);
                roads.push_back(std::move(r));
            }
            continue;
        }
        const auto it = bySha.find(e.sha256);
        const std::optional<ReportState> to = stateNamed(utf8ToCp1250(e.report));
        if (it == bySha.end() || !to || cp1250ToUtf8(actionOf(*to)) != e.action) continue;
        ReportRoad& r = roads[it->second];
        if (!allowedTransition(r.state, *to)) continue;
        r.state = *to;
        r.since = e.time;
        switch (*to) {
            case ReportState::AwaitingApproval: r.savedBy.push_back(e.user); break;
            case ReportState::Approved: r.approvedBy = e.user; break;
            case ReportState::Returned: r.note = e.rows[2]; break;
            case ReportState::Sent:
                if (!e.rows[1].empty()) r.since = e.rows[1] + ":00";
                break;
            case ReportState::Accepted:
            case ReportState::Refused:
                r.receiptCopy = e.copy;
                r.receiptSha256 = e.rows[0];
                r.note = e.rows[2];
                break;
            case ReportState::Saved: break;
        }
    }
    return roads;
}

std::vector<ReportRoad> readReportRoads(const std::filesystem::path& folder, int& errorCode) {
    return reportRoads(readArchiveLog(folder, errorCode, true));
}

PrefixMatch findReport(const std::vector<ReportRoad>& roads, std::string_view prefix, std::size_t& index) {
    if (prefix.size() < 8 || prefix.size() > 64 || !std::all_of(prefix.begin(), prefix.end(), isHex))
        return PrefixMatch::NotAPrefix;
    const std::string p = lowered(prefix);
    std::size_t found = 0;
    for (std::size_t i = 0; i < roads.size(); ++i)
        if (lowered(roads[i].report.sha256).starts_with(p)) {
            index = i;
            ++found;
        }
    return found == 0 ? PrefixMatch::None : found == 1 ? PrefixMatch::One : PrefixMatch::Several;
}

namespace {

// The receipt's copy beside the report's: "<report copy's stem>_tertiveveny<ext>".
struct ReceiptName {
    std::string folder, stem, extension;
};
ReceiptName receiptNameOf(const std::string& reportCopy, const std::filesystem::path& receipt) {
    ReceiptName n;
    const std::size_t slash = reportCopy.rfind('/');
    n.folder = slash == std::string::npos ? std::string() : reportCopy.substr(0, slash);
    std::string name = slash == std::string::npos ? reportCopy : reportCopy.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    n.stem = name + "_tertiveveny";
    n.extension = utf8Path(receipt.extension());
    for (char& c : n.extension)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '/' || c == '\\') c = '_';
    return n;
}

int makeReceiptCopy(const std::filesystem::path& folder, const ReceiptName& name, std::string_view bytes,
                    std::string& copy) {
    std::error_code ec;
    const std::filesystem::path dir = folder / logPath(name.folder);
    std::filesystem::create_directories(dir, ec);
    if (ec) return ec.value();
    for (int n = 1; n < 1000; ++n) {
        std::string file = name.stem;
        if (n > 1) file.append("_").append(std::to_string(n));
        file += name.extension;
        const std::filesystem::path target = dir / logPath(file);
        const int err = createExclusive(target, bytes);
        if (err == 0) {
            using std::filesystem::perms;
            std::filesystem::permissions(target, perms::owner_write | perms::group_write | perms::others_write,
                                         std::filesystem::perm_options::remove, ec);
            copy = (name.folder.empty() ? std::string() : name.folder + "/") + file;
            return 0;
        }
        if (!isAlreadyThere(err)) return err;
    }
    return EEXIST;
}

// "YYYY-MM-DD HH:MM" with a real day and time.
bool validMinute(std::string_view t) { return t.size() == 16 && validTime(std::string(t) + ":00"); }

void copyToOutbox(const std::filesystem::path& folder, const ReportRoad& road, const RoadStep& step, RoadOutcome& out) {
    std::string bytes;
    int err = readFile(copyPath(folder, road.report.copy), bytes);
    out.outboxFile = outboxFileOf(road, step.outbox);
    if (err == 0) {
        std::error_code ec;
        std::filesystem::create_directories(step.outbox, ec);
        err = replaceFile(out.outboxFile, bytes);
    }
    if (err != 0) {
        out.status = RoadStatus::OutboxFailed;
        out.failed = out.outboxFile;
        out.errorCode = err;
    }
}

// An approval whose file to sign is missing from the outbox (its copy failed, or it was
// removed) is given again: the copy is made anew, the log holds the approval already.
bool approvedWithoutItsCopy(const ReportRoad& road, const RoadStep& step) {
    std::error_code ec;
    return step.to == ReportState::Approved && road.state == ReportState::Approved && step.approvalOn &&
           !step.outbox.empty() && !std::filesystem::exists(outboxFileOf(road, step.outbox), ec);
}

// Why the step cannot be taken from the report's state by `account`; Done when it can.
RoadStatus refusal(const ReportRoad& road, const RoadStep& step, const std::string& account, bool afterSave,
                   bool copyAgain) {
    // Awaiting approval, or with the release on never asked for it: not to be sent.
    if (step.to == ReportState::Sent &&
        (road.state == ReportState::AwaitingApproval || (step.approvalOn && road.state == ReportState::Saved)))
        return RoadStatus::NeedsApproval;
    if (!copyAgain &&
        (!allowedTransition(road.state, step.to) || (step.to == ReportState::AwaitingApproval && !afterSave)))
        return RoadStatus::NotAllowed;
    if (step.to == ReportState::Approved || step.to == ReportState::Returned)
        for (const std::string& saver : road.savedBy)
            if (sameAccount(saver, account)) return RoadStatus::OwnReport;
    return RoadStatus::Done;
}

// What the step needs before the log's lock is taken; false: `out` says why not.
bool readyToLock(const std::filesystem::path& folder, const RoadStep& step, bool withReceipt, std::string& receipt,
                 RoadOutcome& out) {
    auto fail = [&out](RoadStatus status, const std::filesystem::path& file, int err) {
        out.status = status;
        out.failed = file;
        out.errorCode = err;
        return false;
    };
    if (step.to == ReportState::Sent && !step.sentAt.empty() && !validMinute(step.sentAt))
        return fail(RoadStatus::BadTime, {}, 0);
    // The receipt read before the lock is taken: a slow share holds no one up.
    if (withReceipt)
        if (const int err = readFile(step.receipt, receipt)) return fail(RoadStatus::CannotRead, step.receipt, err);
    // Without a log there is no report to move, nor a folder for the lock.
    if (const OpenedFile probe = openFile(logOf(folder), "rb"); !probe && isMissingFile(probe.error))
        return fail(RoadStatus::NoLog, logOf(folder), probe.error);
    return true;
}

RoadOutcome appendStep(const std::filesystem::path& folder, const RoadStep& step, std::time_t now, bool afterSave) {
    RoadOutcome out;
    out.to = step.to;
    std::string receipt;
    const bool withReceipt = step.to == ReportState::Accepted || step.to == ReportState::Refused;
    if (!readyToLock(folder, step, withReceipt, receipt, out)) return out;
    FileLock lock;
    if (!lockLog(lock, folder, out, RoadStatus::Busy, RoadStatus::LogFailed)) return out;
    std::string log;
    if (const int err = readFile(logOf(folder), log)) {
        out.status = RoadStatus::NoLog;
        out.failed = logOf(folder);
        out.errorCode = err;
        return out;
    }
    const std::vector<ReportRoad> roads = reportRoads(archiveLogEntries(log, true));
    std::size_t at = 0;
    switch (findReport(roads, step.prefix, at)) {
        case PrefixMatch::One: break;
        case PrefixMatch::None: out.status = RoadStatus::NoSuchReport; return out;
        case PrefixMatch::Several: out.status = RoadStatus::SeveralReports; return out;
        case PrefixMatch::NotAPrefix: out.status = RoadStatus::NotAPrefix; return out;
    }
    const ReportRoad& road = roads[at];
    out.from = road.state;
    out.sha256 = road.report.sha256;
    out.copy = road.report.copy;
    const std::string account = step.account.empty() ? accountName() : step.account;
    const bool copyAgain = approvedWithoutItsCopy(road, step);
    if (const RoadStatus refused = refusal(road, step, account, afterSave, copyAgain); refused != RoadStatus::Done) {
        out.status = refused;
        return out;
    }
    if (copyAgain) {
        lock.release();
        copyToOutbox(folder, road, step, out);
        return out;
    }
    out.interrupted = finishInterrupted(folder, log);
    LogAppend append = beginAppend(folder, std::move(log), stamp(now, "%Y-%m-%d %H:%M:%S"), account,
                                   thisProcess().machine, step.program);
    out.headMismatch = append.headMismatch;
    bool announced = false;
    auto failed = [&](RoadStatus status, const std::filesystem::path& file, int err) {
        if (!out.receiptCopy.empty()) removeCopy(copyPath(folder, out.receiptCopy));
        std::error_code gone;
        if (announced) std::filesystem::remove(pendingOf(folder), gone);
        out.receiptCopy.clear();
        out.status = status;
        out.failed = file;
        out.errorCode = err;
        return out;
    };
    std::string receiptSha;
    if (withReceipt) {
        const ReceiptName name = receiptNameOf(road.report.copy, step.receipt);
        // Announced first: a kill after the copy leaves a file the next step removes.
        if (const int err = replaceFile(pendingOf(folder), name.folder + "/" + name.stem + "\r\n"))
            return failed(RoadStatus::LogFailed, pendingOf(folder), err);
        announced = true;
        if (const int err = makeReceiptCopy(folder, name, receipt, out.receiptCopy)) {
            out.receiptCopy.clear();
            return failed(RoadStatus::CannotCopy, folder / logPath(name.folder), err);
        }
        receiptSha = hexOf(sha256(receipt));
    }
    addLine(append, actionOf(step.to),
            {cp1250ToUtf8(stateName(step.to)), out.receiptCopy, road.report.sha256, receiptSha,
             step.to == ReportState::Sent ? step.sentAt : std::string(), escapedName(step.note)});
    std::filesystem::path failedFile;
    if (const int err = commitAppend(folder, append, failedFile)) return failed(RoadStatus::LogFailed, failedFile, err);
    lock.release();
    // Approved with the two-person release: only now the file to sign appears in the outbox.
    if (step.to == ReportState::Approved && step.approvalOn && !step.outbox.empty()) copyToOutbox(folder, road, step, out);
    return out;
}

}  // namespace

std::filesystem::path outboxFileOf(const ReportRoad& road, const std::filesystem::path& outbox) {
    const std::string name = lastName(road.report.report);
    return outbox / logPath(name.empty() ? lastName(road.report.copy) : name);
}

RoadOutcome moveReport(const std::filesystem::path& folder, const RoadStep& step, std::time_t now) {
    return appendStep(folder, step, now, false);
}

RoadOutcome requestApproval(const std::filesystem::path& folder, const std::string& sha256, const std::string& program,
                            std::time_t now) {
    RoadStep step;
    step.to = ReportState::AwaitingApproval;
    step.prefix = sha256;
    step.approvalOn = true;
    step.program = program;
    return appendStep(folder, step, now, true);
}

std::string roadText(const RoadOutcome& o) {
    const std::string path = utf16ToCp1250(o.failed.u16string());
    const std::string code = " Hibakód=" + std::to_string(o.errorCode) + ".";
    const std::string state = "\"" + std::string(stateName(o.from)) + "\"";
    std::string text;
    switch (o.status) {
        case RoadStatus::Done:
            text = "A jelentés (" + o.sha256.substr(0, 12) + ") állapota: " + std::string(stateName(o.to)) + ".";
            if (!o.outboxFile.empty())
                text += " Az aláírandó állomány a kimenő mappában: " + utf16ToCp1250(o.outboxFile.u16string()) + ".";
            break;
        case RoadStatus::NoLog:
            text = isMissingFile(o.errorCode) ? "Az archívumban nincs jelentés: a naplója (" + path + ") nincs meg."
                                              : "Az archívum naplója (" + path + ") nem olvasható." + code;
            break;
        case RoadStatus::NoSuchReport: text = "Az archívumban nincs ilyen SHA-256-tal kezdődő jelentés."; break;
        case RoadStatus::SeveralReports:
            text = "Több archivált jelentés SHA-256-ja kezdődik így: adjon meg több számjegyet.";
            break;
        case RoadStatus::NotAPrefix:
            text = "A jelentést SHA-256-jának legalább 8 hexadecimális számjegyével adja meg.";
            break;
        case RoadStatus::NotAllowed:
            text = "A jelentés állapota " + state + ", ebből nem lehet \"" + std::string(stateName(o.to)) + "\".";
            break;
        case RoadStatus::OwnReport: text = "A jelentést Ön készítette; jóváhagyását másik ügyintéző adhatja meg."; break;
        case RoadStatus::NeedsApproval:
            text = "A jelentés állapota " + state + ": jóváhagyás előtt nem jelölhető elküldöttnek.";
            break;
        case RoadStatus::BadTime: text = "Az elküldés időpontja nem ÉÉÉÉ-HH-NN ÓÓ:PP alakú."; break;
        case RoadStatus::CannotRead: text = "A tértivevényt (" + path + ") nem tudtam beolvasni." + code; break;
        case RoadStatus::CannotCopy:
            text = "A tértivevény másolata (" + path + ") nem készült el, az állapot nem változott." + code;
            break;
        case RoadStatus::LogFailed:
            text = "Az archívum naplójába (" + path + ") nem tudtam írni, az állapot nem változott." + code;
            break;
        case RoadStatus::Busy:
            text = "Az archívum naplóját (" + path + ") " + utf8ToCp1250(o.holder.user) + " (" +
                   utf8ToCp1250(o.holder.machine) + " gépen) tartja zárolva, az állapot nem változott.";
            break;
        case RoadStatus::OutboxFailed:
            text = "A jelentést jóváhagyta, de a kimenő mappába (" + path + ") nem tudtam másolni." + code;
            break;
    }
    if (o.tookOver)
        text += " Az archívum naplójának zárolását átvettem " + utf8ToCp1250(o.holder.user) + " (" +
                utf8ToCp1250(o.holder.machine) + " gépen) megszakadt futásától.";
    if (!o.headMismatch.empty())
        text += " Az archívum naplójának utolsó sora nem az, amelyet a " + std::string(kArchiveLogName) +
                ".sha256 igazol (" + o.headMismatch + "): a napló egy \"eltérés\" sora rögzíti, az ellenőrzés jelzi.";
    return text;
}

std::optional<std::time_t> localTimeOf(std::string_view text) {
    std::string t(text.substr(0, 19));
    if (t.size() == 16) t += ":00";
    if (!validTime(t)) return std::nullopt;
    std::tm tm{};
    tm.tm_year = std::stoi(t.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(t.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(t.substr(8, 2));
    tm.tm_hour = std::stoi(t.substr(11, 2));
    tm.tm_min = std::stoi(t.substr(14, 2));
    tm.tm_sec = std::stoi(t.substr(17, 2));
    tm.tm_isdst = -1;
    const std::time_t v = std::mktime(&tm);
    if (v == static_cast<std::time_t>(-1)) return std::nullopt;
    return v;
}

std::string minuteText(std::time_t now) { return stamp(now, "%Y-%m-%d %H:%M"); }

long long daysSince(std::string_view time, std::time_t now) {
    const std::optional<std::time_t> t = localTimeOf(time);
    if (!t || *t > now) return 0;
    return static_cast<long long>((now - *t) / 86400);
}

bool isOverdue(const ReportRoad& road, const RoadLimits& limits, std::time_t now, bool mended) {
    const std::optional<std::time_t> since = localTimeOf(road.since);
    const auto longer = [&](int days) { return since && now - *since > static_cast<std::time_t>(days) * 86400; };
    switch (road.state) {
        case ReportState::Saved:
        case ReportState::AwaitingApproval:
        case ReportState::Approved: return longer(limits.sending);
        case ReportState::Sent: return longer(limits.receipt);
        case ReportState::Refused: return !mended;
        case ReportState::Returned:
        case ReportState::Accepted: return false;
    }
    return false;
}

std::string rowKey(ViewKind kind, std::span<const std::string_view> cells) {
    std::string row(1, static_cast<char>('0' + kind));
    for (std::string_view c : cells) row.append("\x1F").append(c);
    return row;
}

std::set<std::string> rowKeys(const RecordTables& tables) {
    std::set<std::string> rows;
    std::vector<std::string_view> cells;
    for (ViewKind k : kAllKinds) {
        const MemoryTable& t = tables.table(k);
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            cells.clear();
            for (std::size_t c = 0; c < columnCount(k); ++c) cells.push_back(t.cell(r, c));
            rows.insert(rowKey(k, cells));
        }
    }
    return rows;
}

bool loadCopy(const std::filesystem::path& folder, const ArchiveLogEntry& e, RecordTables& tables) {
    if (!copyStaysInside(e.copy)) return false;
    std::string bytes;
    if (readFile(copyPath(folder, e.copy), bytes) != 0) return false;
    std::string converted;
    return ReloadReportBytes(reportTextOf(bytes, converted), tables).status == ReloadStatus::Completed;
}

std::optional<std::set<std::string>> reportRows(const std::filesystem::path& folder, const ArchiveLogEntry& e) {
    RecordTables tables;
    if (!loadCopy(folder, e, tables)) return std::nullopt;
    return rowKeys(tables);
}

std::vector<bool> mendedReports(const std::filesystem::path& folder, const std::vector<ReportRoad>& roads) {
    std::vector<bool> mended(roads.size(), false);
    for (std::size_t i = 0; i < roads.size(); ++i) {
        if (roads[i].state != ReportState::Refused) continue;
        const auto refused = reportRows(folder, roads[i].report);
        if (!refused) continue;
        for (std::size_t j = 0; j < roads.size() && !mended[i]; ++j) {
            if (j == i || roads[j].report.time <= roads[i].report.time) continue;
            if (const auto later = reportRows(folder, roads[j].report))
                mended[i] = std::includes(later->begin(), later->end(), refused->begin(), refused->end());
        }
    }
    return mended;
}

std::size_t overdueCount(const std::filesystem::path& folder, const std::vector<ReportRoad>& roads,
                         const RoadLimits& limits, std::time_t now) {
    const std::vector<bool> mended = mendedReports(folder, roads);
    std::size_t n = 0;
    for (std::size_t i = 0; i < roads.size(); ++i) n += isOverdue(roads[i], limits, now, mended[i]) ? 1 : 0;
    return n;
}

std::string overdueText(std::size_t count) {
    if (count == 0) return {};
    return std::to_string(count) + " jelentés késik: lásd Korábbi jelentések";
}

std::optional<std::size_t> reportOfReceipt(std::string_view bytes, const std::vector<ReportRoad>& roads) {
    const std::string text = lowered(bytes);
    auto only = [&](auto holds) -> std::optional<std::size_t> {
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < roads.size(); ++i) {
            if (!holds(roads[i])) continue;
            if (found) return std::nullopt;
            found = i;
        }
        return found;
    };
    if (const auto bySha = only([&](const ReportRoad& r) {
            return r.report.sha256.size() == 64 && text.find(lowered(r.report.sha256)) != std::string::npos;
        }))
        return bySha;
    return only([&](const ReportRoad& r) {
        for (const std::string& p : {r.report.copy, r.report.report}) {
            const std::string n = lowered(lastName(p));
            if (n.size() > 4 && text.find(n) != std::string::npos) return true;
        }
        return false;
    });
}

}  // namespace kovirant
