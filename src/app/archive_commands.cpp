#include "app/archive_commands.h"

#include <algorithm>
#include <map>

#include "app/commands.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "version.h"

namespace kovirant {
namespace {

constexpr std::string_view kProgram = "Kovirant " KOVIRANT_VERSION_STRING;

std::u16string u(std::string_view cp1250) { return cp1250ToUtf16(cp1250); }
std::u16string fromUtf8(std::string_view utf8) { return cp1250ToUtf16(utf8ToCp1250(utf8)); }

void notice(Shell& shell, std::string_view text, MessageIcon icon) {
    shell.showMessage(messageBox(text, kProgramCaption, icon, true));
}


// "Felvétel...": the reports chosen go into the archive, each once.
void addEarlierReports(AppState& state, Shell& shell) {
    FileDialogSpec request;
    request.title = u("Korábbi jelentések felvétele az archívumba");
    request.filters = {{u("Minden állomány"), u"*.*"}, {u"XML", u"*.XML"}};
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

void archiveSaved(AppState& state, Shell& shell, const std::filesystem::path& report) {
    if (state.archiveFolder.empty()) return;
    const ArchiveOutcome o =
        archiveWrittenReport(state.archiveFolder, report, state.tables, std::string(kProgram), std::time(nullptr));
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
    auto history = std::make_shared<const AccountHistory>(AccountHistory::build(state.archiveFolder, err, state.archived));
    state.archived = err == 0 ? history : nullptr;
    return state.archived;
}
std::string overdueLine(const AppState& state) {
    if (state.archiveFolder.empty()) return {};
    int err = 0;
    const std::vector<ReportRoad> roads = readReportRoads(state.archiveFolder, err);
    if (err != 0) return {};
    return overdueText(overdueCount(state.archiveFolder, roads, state.roadLimits, state.now()));
}

void showEarlierReports(AppState& state, Shell& shell) {
    if (state.archiveFolder.empty()) return;
    for (;;) {
        int err = 0;
        std::vector<ArchiveLogEntry> entries = readArchiveLog(state.archiveFolder, err);
        if (err != 0 && !isMissingFile(err)) {
            notice(shell, "Az archívum naplója (" + utf16ToCp1250((state.archiveFolder / std::string(kArchiveLogName)).u16string()) +
                              ") nem olvasható. Hibakód=" + std::to_string(err),
                   MessageIcon::Error);
            return;
        }
        // Newest first, by each report's time (an earlier report added keeps its own).
        std::reverse(entries.begin(), entries.end());
        std::stable_sort(entries.begin(), entries.end(),
                         [](const ArchiveLogEntry& a, const ArchiveLogEntry& b) { return a.time > b.time; });
        // Each report's state (its last state line), days since the save, and whether it is overdue.
        int roadErr = 0;
        const std::vector<ReportRoad> roads = readReportRoads(state.archiveFolder, roadErr);
        const std::time_t now = state.now();
        const std::vector<bool> mended = mendedReports(state.archiveFolder, roads);
        std::map<std::string, std::string> stateOf;
        std::size_t late = 0;
        for (std::size_t i = 0; i < roads.size(); ++i) {
            const bool overdue = isOverdue(roads[i], state.roadLimits, now, mended[i]);
            late += overdue ? 1 : 0;
            stateOf[roads[i].report.sha256] = std::string(stateName(roads[i].state)) + (overdue ? " (késik)" : "");
        }
        ListRequest list;
        list.countText = u("Archivált jelentések: " + std::to_string(entries.size()) + " (" +
                           utf16ToCp1250(state.archiveFolder.u16string()) + ")" +
                           (late > 0 ? "; " + overdueText(late) : std::string()));
        list.headers = {u("Időpont"),    u("Művelet"),          u("Jelentés"),        u("Cégjegyzék"),
                        u("Cégnyilvántartás"), u("Számlaszámváltozás"), u("SHA-256"), u("Állapot"), u("Napja")};
        list.widths = {120, 62, 160, 75, 105, 120, 100, 130, 50};
        list.rightAligned = {8};
        list.count = entries.size();
        list.text = [&entries, &stateOf, now](std::size_t line, int column) -> std::u16string {
            const ArchiveLogEntry& e = entries[line];
            switch (column) {
                case 7: {
                    const auto it = stateOf.find(e.sha256);
                    return it == stateOf.end() ? std::u16string() : u(it->second);
                }
                case 8: return u(std::to_string(daysSince(e.time, now)));
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
        const ArchiveListChoice choice = shell.runArchiveList(list);
        switch (choice.action) {
            case ArchiveListChoice::Action::Close: return;
            case ArchiveListChoice::Action::Add: addEarlierReports(state, shell); break;
            case ArchiveListChoice::Action::Load:
                if (choice.line < entries.size())
                    loadReportFile(state, shell, copyPath(state.archiveFolder, entries[choice.line].copy));
                return;
        }
    }
}

void showAccountHistory(AppState& state, Shell& shell) {
    const std::shared_ptr<const AccountHistory> history = archivedHistory(state);
    std::vector<HistoryRow> rows;
    AccountHistoryRequest request;
    request.headers = {u("Időpont"),  u("Tábla"),     u("Kód"),   u("Cégszám"),           u("Törzsszám"),
                       u("Számlaszám"), u("Nyitás"), u("Zárás"), u("Eredeti számlaszám"), u("Másolat")};
    request.widths = {120, 200, 70, 80, 70, 170, 75, 75, 170, 240};
    request.lookup = [&](const std::u16string& typed) {
        const std::string number = utf16ToCp1250(typed);
        rows = history ? history->rowsOf(number) : std::vector<HistoryRow>();
        ListRequest list;
        if (!history)
            list.countText = u("Az archívum üres: még egyetlen jelentés sincs benne.");
        else if (number.empty())
            list.countText = u("Írjon be egy számlaszámot vagy törzsszámot.");
        else if (rows.empty())
            list.countText = u("Az archivált jelentések egyike sem tartalmazza: " + number);
        else
            list.countText = u("Az archivált jelentések " + std::to_string(rows.size()) + " sora tartalmazza: " + number);
        // A copy not used is named (the first; how many more).
        if (history && !number.empty()) {
            const std::vector<std::string> warnings = history->copyWarnings();
            if (!warnings.empty()) {
                std::string more = " Figyelmeztetés: ";
                more += warnings.front();
                if (warnings.size() > 1) more.append(" (és még ").append(std::to_string(warnings.size() - 1)).append(")");
                list.countText += u(more);
            }
        }
        list.count = rows.size();
        list.text = [&rows, &history](std::size_t line, int column) -> std::u16string {
            const HistoryRow& r = rows[line];
            const HistoryReport& rep = history->reports()[r.report];
            switch (column) {
                case 0: return fromUtf8(rep.time);
                case 1: return u(tableName(r.table));
                case 2: return u(r.code);
                case 3: return u(r.company);
                case 4: return u(r.tax);
                case 5: return u(r.account);
                case 6: return u(r.opening);
                case 7: return u(r.closing);
                case 8: return u(r.originalAccount);
                case 9: return fromUtf8(rep.copy);
                default: return {};
            }
        };
        return list;
    };
    shell.runAccountHistory(request);
}

}  // namespace kovirant
