// FaultListDialog (template 118, "Ellenőrzés"): the faulty rows in a virtual
// list; "Ugrás", Enter or a double click gives the chosen line. The dialog can
// be resized (the list and its message column follow), and the whole text of
// the focused line stands below the list in a read-only field that Tab reaches.
#include <algorithm>
#include <array>

#include "../../resources/resource.h"
#include "win32/anchored_layout.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct FaultListDialog {
    const ListRequest& request;
    HWND hwnd = nullptr;
    std::optional<std::size_t> chosen;
    VirtualList list;
    AnchoredLayout layout{};
    std::array<Placed, 5> controls{{{IDT_FAULT_COUNT, Stretch},
                                    {IDC_FAULT_LIST, Stretch | Taller},
                                    {IDE_FAULT_TEXT, Stretch | Down},
                                    {IDOK, Down | Right},
                                    {IDCANCEL, Down | Right}}};

    BOOL onInit() {
        layout.capture(hwnd, controls);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_FAULT_COUNT, wide(request.countText).c_str());
        constexpr int kWidths[] = {125, 40, 80, 330};
        list.attach(GetDlgItem(hwnd, IDC_FAULT_LIST), request, kWidths);
        fitMessageColumn();
        showWhole();
        SetFocus(list.hwnd());
        return FALSE;
    }

    // The last column takes what the others leave of the list's width.
    void fitMessageColumn() {
        const int last = static_cast<int>(request.headers.size()) - 1;
        if (last <= 0) return;
        RECT inside{};
        GetClientRect(list.hwnd(), &inside);
        int others = 0;
        for (int c = 0; c < last; ++c) others += ListView_GetColumnWidth(list.hwnd(), c);
        const int least = scaled(120, dpiOf(hwnd));
        ListView_SetColumnWidth(list.hwnd(), last, std::max(least, static_cast<int>(inside.right) - others));
    }

    void resized(int width, int height) {
        layout.follow(hwnd, width, height);
        fitMessageColumn();
        // The buttons moved into what was the dialog's edge are drawn anew.
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }

    // "Táblázat: Cégjegyzék, Sor: 12, Törzsszám: 12345678" and the message whole on a line of its own.
    void showWhole() {
        const auto line = list.selected();
        std::u16string text;
        if (line && *line < request.count) {
            const std::size_t last = request.headers.size() - 1;
            for (std::size_t c = 0; c < last; ++c) {
                if (c > 0) text += u", ";
                text += request.headers[c] + u": " + request.text(*line, static_cast<int>(c));
            }
            text += u"\r\n" + request.text(*line, static_cast<int>(last));
        }
        SetDlgItemTextW(hwnd, IDE_FAULT_TEXT, wide(text).c_str());
    }

    void finish(std::optional<std::size_t> line) {
        chosen = line;
        EndDialog(hwnd, 0);
    }

    BOOL onCommand(WORD id, WORD) {
        if (id == IDOK) {
            if (const auto line = list.selected()) finish(line);
            return TRUE;
        }
        if (id == IDCANCEL) {
            finish(std::nullopt);
            return TRUE;
        }
        return FALSE;
    }

    std::optional<INT_PTR> onMessage(UINT msg, WPARAM, LPARAM lParam) {
        if (msg == WM_SIZE) {
            resized(LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        }
        if (msg == WM_GETMINMAXINFO) {
            layout.limit(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        }
        return std::nullopt;
    }

    LRESULT onNotify(const NMHDR& header) {
        list.answer(header);
        if (header.idFrom != IDC_FAULT_LIST) return 0;
        if (header.code == NM_DBLCLK) {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) finish(static_cast<std::size_t>(activate.iItem));
        } else if (header.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) showWhole();
        }
        return 0;
    }
};

}  // namespace

std::optional<std::size_t> runFaultListDialog(HINSTANCE instance, HWND owner, const ListRequest& request) {
    FaultListDialog dialog{request, nullptr, std::nullopt, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FAULT_LIST), owner, dialogProc<FaultListDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.chosen;
}

}  // namespace kovirant::win32
