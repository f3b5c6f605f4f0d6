#include "app/archive_commands.h"

#include <algorithm>
#include <map>

#include "app/commands.h"
#include "app/road_commands.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "version.h"

namespace kovirant {
namespace {

constexpr std::string_view kProgram = "Kovirant " KOVIRANT_VERSION_STRING;

std::u16string fromUtf8(std::string_view utf8) { return cp1250ToUtf16(utf8ToCp1250(utf8)); }



// "Felvétel...": the reports chosen go into the archive, each once.
void addEarlierReports(AppState& state, Shell& shell) {
    FileDialogSpec request;
    request.title = shellText("Korábbi jelentések felvétele az archívumba");
    request.filters = {{shellText("Minden állomány"), u"*.*"}, {u"XML", u"*.XML"}};
    request.filterIndex = 2;
    request.defaultExtension = u"xml";
    request.initialDirectory = state.lastXmlFile.parent_path();
    const std::vector<std::filesystem::path> chosen = shell.chooseFiles(request);
    if (chosen.empty()) return;
    std::size_t added = 0;
    std::string notes;
    for (const std::filesystem::path& file : chosen) {
        const ArchiveOutcome o = archiveEarlierReport(state.archiveFolder, file, std::string(kProgram));
        if (o.ok()) {
            ++added;
            if (const std::string text = archiveAddText(o); !text.empty()) notes.append("\n").append(text);
            continue;
        }
        notes.append("\n").append(archiveAddText(o));
    }
    notice(shell, "Az archívumba felvettem: " + std::to_string(added) + " jelentést." + notes,
           notes.empty() ? MessageIcon::Information : MessageIcon::Warning);
}

}  // namespace

void archiveSaved(AppState& state, Shell& shell, const std::filesystem::path& report, SavedTables written) {
    if (state.archiveFolder.empty()) return;
    const ArchiveOutcome o =
        archiveWrittenReport(state.archiveFolder, report, state.tables, std::string(kProgram), std::time(nullptr));
    state.saved = o.ok() && written[ViewRegister] ? savedReport(std::move(written), o.copy, o.sha256) : nullptr;
    // A failure, a log that failed its proof, or a note (a lock taken over, an interrupted archiving cleaned up).
    std::string text = archiveText(o);
    bool fine = o.ok() && o.headMismatch.empty();
    // With the two-person release the report waits for another officer's approval.
    if (o.ok() && state.approvalOn) {
        const RoadOutcome r = requestApproval(state.archiveFolder, o.sha256, std::string(kProgram), std::time(nullptr));
        const std::string said = r.ok() || r.status == RoadStatus::NotAllowed
                                     ? std::string("A jelentést archiváltam, állapota: \"jóváhagyásra vár\"; "
                                                   "másik ügyintéző hagyhatja jóvá.")
                                     : roadText(r);
        fine = fine && (r.ok() || r.status == RoadStatus::NotAllowed);
        text = text.empty() ? said : text + " " + said;
    }
    if (!text.empty())
        shell.showMessage(messageBox(text, kProgramCaption, fine ? MessageIcon::Information : MessageIcon::Warning, false));
}

std::shared_ptr<const AccountHistory> archivedHistory(AppState& state) {
    std::error_code ec;
    if (state.archiveFolder.empty() || !std::filesystem::exists(state.archiveFolder / std::string(kArchiveLogName), ec))
        return nullptr;
    if (state.archived && state.archived->proof() == AccountHistory::proofOf(state.archiveFolder)) return state.archived;
    int err = 0;
    // The history held adds only the reports the log gained since (a log changed otherwise is read anew).
    // Speed: its layers merged and its cache written after the answer (settleArchivedHistory): that look-up a third less.
    auto history = std::make_shared<const AccountHistory>(
        AccountHistory::build(state.archiveFolder, err, state.archived, state.saved, AccountHistory::Settle::Later));
    state.archived = err == 0 ? history : nullptr;
    state.saved = nullptr;  // its rows are in the history now (or its copy was read)
    return state.archived;
}

void settleArchivedHistory(AppState& state) {
    if (state.archived && state.archived->unsettled())
        state.archived = AccountHistory::settled(state.archived, state.archiveFolder);
}

void showOverdueLine(const AppState& state, Shell& shell) {
    if (const std::string line = overdueLine(state); !line.empty()) shell.setStatusText(0, shellText(line));
}

std::string overdueLine(const AppState& state) {
    if (state.archiveFolder.empty()) return {};
    int err = 0;
    const std::vector<ReportRoad> roads = readReportRoads(state.archiveFolder, err);
    if (err != 0) return {};
    return overdueText(overdueCount(state.archiveFolder, roads, state.roadLimits, state.now()));
}

namespace {

// The list's lines: every report line of the log, newest first, each with
// its report's state, its days since the save and whether it is overdue.
struct EarlierReports {
    std::vector<ArchiveLogEntry> entries;
    std::vector<ReportRoad> roads;
    std::map<std::string, std::size_t> roadOf;  // by SHA-256
    std::vector<bool> overdue;                  // per road
    std::size_t late = 0;
};

EarlierReports readEarlierReports(const AppState& state, int& err) {
    EarlierReports r;
    r.entries = readArchiveLog(state.archiveFolder, err);
    // Newest first, by each report's time (an earlier report added keeps its own).
    std::reverse(r.entries.begin(), r.entries.end());
    std::stable_sort(r.entries.begin(), r.entries.end(),
                     [](const ArchiveLogEntry& a, const ArchiveLogEntry& b) { return a.time > b.time; });
    int roadErr = 0;
    r.roads = readReportRoads(state.archiveFolder, roadErr);
    const std::vector<bool> mended = mendedReports(state.archiveFolder, r.roads);
    for (std::size_t i = 0; i < r.roads.size(); ++i) {
        r.roadOf[r.roads[i].report.sha256] = i;
        r.overdue.push_back(isOverdue(r.roads[i], state.roadLimits, state.now(), mended[i]));
        r.late += r.overdue.back() ? 1 : 0;
    }
    return r;
}

ArchiveListRequest earlierReportsList(const AppState& state, const EarlierReports& r) {
    ArchiveListRequest list;
    list.countText = shellText("Archivált jelentések: " + std::to_string(r.entries.size()) + " (" +
                       utf16ToCp1250(state.archiveFolder.u16string()) + ")" +
                       (r.late > 0 ? "; késik: " + std::to_string(r.late) : std::string()));
    list.headers = {shellText("Időpont"),    shellText("Művelet"),          shellText("Jelentés"),        shellText("Cégjegyzék"),
                    shellText("Cégnyilvántartás"), shellText("Számlaszámváltozás"), shellText("SHA-256"), shellText("Állapot"), shellText("Napja")};
    list.widths = {115, 60, 150, 70, 100, 115, 80, 125, 45};  // within the list's 586 dialog units
    list.rightAligned = {8};
    list.count = r.entries.size();
    const std::time_t now = state.now();
    list.text = [&r, now](std::size_t line, int column) -> std::u16string {
        const ArchiveLogEntry& e = r.entries[line];
        switch (column) {
            case 7: {
                const auto it = r.roadOf.find(e.sha256);
                if (it == r.roadOf.end()) return {};
                return shellText(std::string(stateName(r.roads[it->second].state)) + (r.overdue[it->second] ? " (késik)" : ""));
            }
            case 8: return shellText(std::to_string(daysSince(e.time, now)));
            case 0: return fromUtf8(e.time);
            case 1: return fromUtf8(e.action);
            case 2: return logPath(e.report).filename().u16string();
            case 3:
            case 4:
            case 5: return fromUtf8(e.rows[static_cast<std::size_t>(column - 3)]);
            case 6: return fromUtf8(e.sha256.substr(0, 12));
            default: return {};
        }
    };
    list.actions = [&r, &state](std::size_t line) -> unsigned {
        const auto it = r.roadOf.find(r.entries[line].sha256);
        return it == r.roadOf.end() ? 0u : roadActions(r.roads[it->second], state.approvalOn, state.outboxFolder);
    };
    return list;
}

}  // namespace

void showEarlierReports(AppState& state, Shell& shell) {
    if (state.archiveFolder.empty()) return;
    for (;;) {
        int err = 0;
        const EarlierReports reports = readEarlierReports(state, err);
        if (err != 0 && !isMissingFile(err)) {
            notice(shell, "Az archívum naplója (" + utf16ToCp1250((state.archiveFolder / std::string(kArchiveLogName)).u16string()) +
                              ") nem olvasható. Hibakód=" + std::to_string(err),
                   MessageIcon::Error);
            return;
        }
        const ArchiveListChoice choice = shell.runArchiveList(earlierReportsList(state, reports));
        using Action = ArchiveListChoice::Action;
        if (choice.action == Action::Close) return;
        if (choice.action == Action::Add) {
            addEarlierReports(state, shell);
            continue;
        }
        if (choice.line >= reports.entries.size()) return;
        const ArchiveLogEntry& entry = reports.entries[choice.line];
        if (choice.action == Action::Load) {
            loadReportFile(state, shell, copyPath(state.archiveFolder, entry.copy));
            return;
        }
        const auto road = reports.roadOf.find(entry.sha256);
        if (road == reports.roadOf.end()) continue;
        switch (choice.action) {
            case Action::Approve: approveFromList(state, shell, reports.roads, road->second); break;
            case Action::MarkSent: markSentFromList(state, shell, reports.roads, road->second); break;
            case Action::Receipt: receiptFromList(state, shell, reports.roads, road->second); break;
            case Action::OpenReceipt: openReceipt(state, shell, reports.roads[road->second]); break;
            default: break;
        }
    }
}

void showAccountHistory(AppState& state, Shell& shell) {
    const std::shared_ptr<const AccountHistory> history = archivedHistory(state);
    std::vector<HistoryRow> rows;
    AccountHistoryRequest request;
    request.headers = {shellText("Időpont"),  shellText("Tábla"),     shellText("Kód"),   shellText("Cégszám"),           shellText("Törzsszám"),
                       shellText("Számlaszám"), shellText("Nyitás"), shellText("Zárás"), shellText("Eredeti számlaszám"), shellText("Másolat")};
    request.widths = {120, 200, 70, 80, 70, 170, 75, 75, 170, 240};
    request.lookup = [&](const std::u16string& typed) {
        const std::string number = utf16ToCp1250(typed);
        rows = history ? history->rowsOf(number) : std::vector<HistoryRow>();
        ListRequest list;
        if (!history)
            list.countText = shellText("Az archívum üres: még egyetlen jelentés sincs benne.");
        else if (number.empty())
            list.countText = shellText("Írjon be egy számlaszámot vagy törzsszámot.");
        else if (rows.empty())
            list.countText = shellText("Az archivált jelentések egyike sem tartalmazza: " + number);
        else
            list.countText = shellText("Az archivált jelentések " + std::to_string(rows.size()) + " sora tartalmazza: " + number);
        // A copy not used is named (the first; how many more).
        if (history && !number.empty()) {
            const std::vector<std::string> warnings = history->copyWarnings();
            if (!warnings.empty()) {
                std::string more = " Figyelmeztetés: ";
                more += warnings.front();
                if (warnings.size() > 1) more.append(" (és még ").append(std::to_string(warnings.size() - 1)).append(")");
                list.countText += shellText(more);
            }
        }
        list.count = rows.size();
        list.text = [&rows, &history](std::size_t line, int column) -> std::u16string {
            const HistoryRow& r = rows[line];
            const HistoryReport& rep = history->reports()[r.report];
            switch (column) {
                case 0: return fromUtf8(rep.time);
                case 1: return shellText(tableName(r.table));
                case 2: return shellText(r.code);
                case 3: return shellText(r.company);
                case 4: return shellText(r.tax);
                case 5: return shellText(r.account);
                case 6: return shellText(r.opening);
                case 7: return shellText(r.closing);
                case 8: return shellText(r.originalAccount);
                case 9: return fromUtf8(rep.copy);
                default: return {};
            }
        };
        return list;
    };
    shell.runAccountHistory(request);
}

}  // namespace kovirant
