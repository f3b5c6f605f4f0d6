// FaultListDialog (template 118, "Ellenőrzés"): the faulty rows in a virtual
// list; "Ugrás", Enter or a double click gives the chosen line.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"

namespace kovirant::win32 {
namespace {

struct FaultListDialog {
    const FaultListRequest& request;
    HWND hwnd = nullptr;
    std::optional<std::size_t> chosen;
    std::wstring cellText;  // the text handed to the list view, kept until the next request

    HWND list() const { return GetDlgItem(hwnd, IDC_FAULT_LIST); }

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_FAULT_COUNT, wide(request.countText).c_str());
        ListView_SetExtendedListViewStyle(list(), LVS_EX_FULLROWSELECT);
        const int dpi = dpiOf(hwnd);
        constexpr int kWidths[] = {190, 50, 80, 330};
        for (std::size_t c = 0; c < request.headers.size() && c < 4; ++c) {
            std::wstring header = wide(request.headers[c]);
            LVCOLUMNW col{};
            col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            col.fmt = c == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
            col.cx = scaled(kWidths[c], dpi);
            col.pszText = header.data();
            col.iSubItem = static_cast<int>(c);
            ListView_InsertColumn(list(), static_cast<int>(c), &col);
        }
        ListView_SetItemCountEx(list(), static_cast<int>(request.count), LVSICF_NOINVALIDATEALL);
        ListView_SetItemState(list(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SetFocus(list());
        return FALSE;
    }

    void finish(std::optional<std::size_t> line) {
        chosen = line;
        EndDialog(hwnd, 0);
    }

    std::optional<std::size_t> selectedLine() const {
        const int i = ListView_GetNextItem(list(), -1, LVNI_SELECTED);
        if (i < 0) return std::nullopt;
        return static_cast<std::size_t>(i);
    }

    BOOL onCommand(WORD id, WORD) {
        if (id == IDOK) {
            if (const auto line = selectedLine()) finish(line);
            return TRUE;
        }
        if (id == IDCANCEL) {
            finish(std::nullopt);
            return TRUE;
        }
        return FALSE;
    }

    LRESULT onNotify(const NMHDR& header) {
        if (header.idFrom != IDC_FAULT_LIST) return 0;
        if (header.code == LVN_GETDISPINFOW) {
            auto& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
            if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
                cellText = wide(request.text(static_cast<std::size_t>(item.iItem), item.iSubItem));
                lstrcpynW(item.pszText, cellText.c_str(), item.cchTextMax);
            }
        } else if (header.code == NM_DBLCLK) {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) finish(static_cast<std::size_t>(activate.iItem));
        }
        return 0;
    }
};

}  // namespace

std::optional<std::size_t> runFaultListDialog(HINSTANCE instance, HWND owner, const FaultListRequest& request) {
    FaultListDialog dialog{request, nullptr, std::nullopt, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FAULT_LIST), owner, dialogProc<FaultListDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.chosen;
}

}  // namespace kovirant::win32
