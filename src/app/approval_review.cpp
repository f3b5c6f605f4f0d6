#include "app/approval_review.h"

#include <algorithm>
#include <iterator>

#include "app/directory_commands.h"
#include "editing/row_check.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

constexpr std::string_view kEnd = "\r\n";

std::string nameOf(const ReportRoad& road) {
    return utf16ToCp1250(logPath(road.report.report).filename().u16string()) + " (" + road.report.time + ")";
}

// "… és még N" when more lines were left out than shown.
void addMore(std::string& text, std::size_t total) {
    if (total > kReviewLines) text += "   ... és még " + std::to_string(total - kReviewLines) + std::string(kEnd);
}

void addCheck(AppState& state, const RecordTables& tables, std::string& text) {
    CheckOptions options;
    options.checkDay = localDay(state.now());
    options.deadlineDays = state.hatarido;
    const std::shared_ptr<const LoadedDirectory> directory = state.settingsPath.empty() ? nullptr : currentDirectory(state);
    if (directory && directory->status == DirectoryStatus::Read)
        options.directoryCompany = [&directory](std::string_view tax) { return directory->directory.companyOf(tax); };
    const RowCheck check = checkAllRows(tables, state.maxtk, state.maxcf, options);
    text += "Ellenőrzés: " + std::to_string(check.faults.size()) + " hibás sor, " +
            std::to_string(check.warnings.size()) + " figyelmeztetés." + std::string(kEnd);
    const std::vector<CheckLine> lines = checkLines(check);
    for (std::size_t i = 0; i < lines.size() && i < kReviewLines; ++i)
        text += "   " + std::string(shortTableName(lines[i].kind)) + " " + std::to_string(lines[i].row + 1) +
                ". sor: " + lineText(check, lines[i]) + std::string(kEnd);
    addMore(text, lines.size());
}

// A row of reportRows() as the officer reads it: its table, then its cells that are not empty.
std::string rowText(const std::string& key) {
    std::string text(shortTableName(static_cast<ViewKind>(key[0] - '0')));
    text += ':';
    for (std::size_t at = key.find('\x1F'); at != std::string::npos;) {
        const std::size_t next = key.find('\x1F', at + 1);
        const std::string_view cell = std::string_view(key).substr(at + 1, next == std::string::npos ? next : next - at - 1);
        if (!cell.empty()) text.append(" ").append(cell);
        at = next;
    }
    return text;
}

void addRows(std::string& text, std::string_view title, const std::vector<std::string>& rows, char mark) {
    text += std::string(title) + ": " + std::to_string(rows.size()) + std::string(kEnd);
    for (std::size_t i = 0; i < rows.size() && i < kReviewLines; ++i)
        text += std::string("   ") + mark + " " + rowText(rows[i]) + std::string(kEnd);
    addMore(text, rows.size());
}

void addDifference(const AppState& state, const std::vector<ReportRoad>& roads, std::size_t at,
                   const std::set<std::string>& rows, std::string& text) {
    const std::optional<std::size_t> before = lastApproved(roads, at);
    if (!before) {
        text += "Korábban jóváhagyott jelentés nincs: minden sora új." + std::string(kEnd);
        return;
    }
    const auto earlier = reportRows(state.archiveFolder, roads[*before].report);
    text += "Eltérés a legutóbb jóváhagyott jelentéstől (" + nameOf(roads[*before]) + "):" + std::string(kEnd);
    if (!earlier) {
        text += "   A másolata nem olvasható." + std::string(kEnd);
        return;
    }
    std::vector<std::string> added, gone;
    std::set_difference(rows.begin(), rows.end(), earlier->begin(), earlier->end(), std::back_inserter(added));
    std::set_difference(earlier->begin(), earlier->end(), rows.begin(), rows.end(), std::back_inserter(gone));
    addRows(text, "Új sorok", added, '+');
    addRows(text, "Elmaradt sorok", gone, '-');
}

}  // namespace

std::optional<std::size_t> lastApproved(const std::vector<ReportRoad>& roads, std::size_t at) {
    for (std::size_t i = at; i-- > 0;)
        if (!roads[i].approvedBy.empty()) return i;
    return std::nullopt;
}

std::string approvalReview(AppState& state, const std::vector<ReportRoad>& roads, std::size_t at) {
    const ReportRoad& road = roads[at];
    std::string text = "Készítette: " + utf8ToCp1250(road.savedBy.front()) + std::string(kEnd);
    RecordTables tables;
    if (!loadCopy(state.archiveFolder, road.report, tables))
        return text + "A jelentés másolata (" + utf16ToCp1250(copyPath(state.archiveFolder, road.report.copy).u16string()) +
               ") nem olvasható." + std::string(kEnd);
    text += "Sorok:";
    for (ViewKind k : kAllKinds)
        text += std::string(k == ViewRegister ? " " : ", ") + std::string(shortTableName(k)) + ": " +
                std::to_string(tables.table(k).rowCount());
    text += std::string(kEnd);
    addCheck(state, tables, text);
    const std::set<std::string> rows = rowKeys(tables);
    addDifference(state, roads, at, rows, text);
    return text;
}

}  // namespace kovirant
