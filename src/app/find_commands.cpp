#include "app/find_commands.h"

#include <cstdio>

#include "app/commands.h"
#include "editing/row_check.h"
#include "records/row_search.h"
#include "text/cp1250.h"

namespace kovirant {
namespace {

// The tables' names as the "Nézet" menu gives them.
constexpr std::string_view kTableNames[] = {
    "Cégjegyzék (Számlaszám nyitás/zárás)",
    "Cégnyilvántartás (Pénzintézeti alapadatok)",
    "Banktechnikai számlaszámváltozás",
};

void information(Shell& shell, std::string_view text) {
    shell.showMessage(messageBox(text, kProgramCaption, MessageIcon::Information, true));
}

}  // namespace

void checkRows(AppState& state, Shell& shell) {
    const RowCheck check = checkAllRows(state.tables, state.maxtk, state.maxcf);
    if (check.faults.empty()) {
        information(shell, "Nem találtam hibás sort.");
        return;
    }
    char count[64];
    std::snprintf(count, sizeof count, "Hibás sorok száma: %zu", check.faults.size());
    FaultListRequest request;
    request.countText = cp1250ToUtf16(count);
    for (const char* h : {"Táblázat", "Sor", "Törzsszám", "Hiba"}) request.headers.push_back(cp1250ToUtf16(h));
    request.count = check.faults.size();
    request.text = [&](std::size_t line, int column) -> std::u16string {
        if (line >= check.faults.size()) return {};
        const RowFault& f = check.faults[line];
        switch (column) {
            case 0: return cp1250ToUtf16(kTableNames[f.kind]);
            case 1: return cp1250ToUtf16(std::to_string(f.row + 1));
            case 2: return cp1250ToUtf16(state.tables.cell(f.kind, f.row, columnOf(f.kind, ColumnRole::TaxBaseNumber)));
            default: return cp1250ToUtf16(check.messages[f.message]);
        }
    };
    const auto chosen = shell.runFaultList(request);
    if (!chosen || *chosen >= check.faults.size()) return;
    const RowFault& f = check.faults[*chosen];
    if (f.row < state.tables.table(f.kind).rowCount()) jumpToRow(state, shell, f.kind, f.row);
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
    const TableWidget& table = state.tables.table(kind);
    const std::size_t start = table.focused().has_value() ? *table.focused() + 1 : 0;
    const auto row = findRowContaining(table, kind, needle, start);
    if (!row) {
        information(shell, "Nincs találat.");
        return;
    }
    jumpToRow(state, shell, kind, *row);
}

}  // namespace kovirant
