#include "app/find_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/archive_commands.h"
#include "app/commands.h"
#include "app/directory_commands.h"
#include "archive/account_history.h"
#include "directory/company_directory.h"
#include "editing/row_check.h"
#include "records/row_search.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

void information(Shell& shell, std::string_view text) {
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Information, true));
}

// The directory's company numbers for the check, when there is a directory.
CheckOptions checkOptions(AppState& state, std::shared_ptr<const LoadedDirectory>& directory,
                          std::shared_ptr<const AccountHistory>& history) {
    CheckOptions options;
    options.checkDay = localDay(state.now());
    options.deadlineDays = state.hatarido;
    history = archivedHistory(state);
    if (history) {
        options.history = historyForCheck(*history, historyRoads(state.archiveFolder, *history));
        options.historyAhead = historyAheadForCheck(*history);
    }
    if (state.settingsPath.empty()) return options;
    directory = currentDirectory(state);
    if (directory->status != DirectoryStatus::Read) return options;
    options.directoryCompany = [&directory](std::string_view tax) { return directory->directory.companyOf(tax); };
    return options;
}

}  // namespace

void checkRows(AppState& state, Shell& shell, bool resume) {
    if (state.hataridoRefused)
        shell.showMessage(messageBox(deadlineRefusal(*state.hataridoRefused), kProgramCaption, MessageIcon::Warning, true));
    std::shared_ptr<const LoadedDirectory> directory;
    std::shared_ptr<const AccountHistory> history;
    const RowCheck check =
        checkAllRows(state.tables, state.maxtk, state.maxcf, checkOptions(state, directory, history));
    if (check.faults.empty() && check.warnings.empty()) {
        information(shell, "Nem találtam hibás sort.");
        return;
    }
    const std::vector<CheckLine> lines = checkLines(check);
    char count[96];
    if (check.warnings.empty())
        std::snprintf(count, sizeof count, "Hibás sorok száma: %zu", check.faults.size());
    else
        std::snprintf(count, sizeof count, "Hibás sorok száma: %zu, figyelmeztetések száma: %zu", check.faults.size(),
                      check.warnings.size());
    ListRequest request;
    request.countText = cp1250ToUtf16(count);
    for (const char* h : {"Táblázat", "Sor", "Törzsszám", "Hiba"}) request.headers.push_back(cp1250ToUtf16(h));
    request.rightAligned = {1};
    request.count = lines.size();
    if (resume && state.lastCheckJump) {
        // Lines are in table order, then row order: the first one past the row jumped to.
        const auto after = std::find_if(lines.begin(), lines.end(), [&](const CheckLine& l) {
            return std::pair<ViewKind, std::size_t>(l.kind, l.row) > *state.lastCheckJump;
        });
        if (after != lines.end()) request.focusLine = static_cast<std::size_t>(after - lines.begin());
    }
    request.text = [&](std::size_t n, int column) -> std::u16string {
        if (n >= lines.size()) return {};
        const CheckLine& l = lines[n];
        switch (column) {
            case 0: return cp1250ToUtf16(shortTableName(l.kind));
            case 1: return cp1250ToUtf16(std::to_string(l.row + 1));
            case 2: return cp1250ToUtf16(state.tables.cell(l.kind, l.row, columnOf(l.kind, ColumnRole::TaxBaseNumber)));
            default: return cp1250ToUtf16(lineText(check, l));
        }
    };
    const auto chosen = shell.runFaultList(request);
    if (!chosen || *chosen >= lines.size()) return;
    const CheckLine& l = lines[*chosen];
    if (l.row >= state.tables.table(l.kind).rowCount()) return;
    state.lastCheckJump = std::pair(l.kind, l.row);
    jumpToRow(state, shell, l.kind, l.row);
}

void searchRows(AppState& state, Shell& shell, bool again) {
    if (!again || state.lastSearch.empty()) {
        const auto text = shell.askSearchText(state.lastSearch);
        if (!text) return;
        state.lastSearch = *text;
    }
    // A character Windows-1250 lacks becomes a NUL, which no cell holds.
    const std::string needle = utf16ToCp1250(state.lastSearch, '\0');
    const ViewKind kind = state.tables.CurrentView;
    const MemoryTable& table = state.tables.table(kind);
    const std::optional<std::size_t> focused = state.tables.marks(kind).focused();
    const std::size_t start = focused ? *focused + 1 : 0;
    const auto row = findRowContaining(table, kind, needle, start);
    if (!row) {
        information(shell, "Nincs találat.");
        return;
    }
    jumpToRow(state, shell, kind, *row);
}

}  // namespace kovirant
