// FaultListDialog (template 118, "Ellenőrzés"): the faulty rows in a virtual
// list; "Ugrás", Enter or a double click gives the chosen line. The dialog can
// be resized (the list and its message column follow), and the whole text of
// the focused line stands below the list in a read-only field that Tab reaches.
#include <algorithm>
#include <array>

#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

// How a control follows the dialog's edges as it is resized.
enum Anchor : unsigned { Stretch = 1, Down = 2, Right = 4, Taller = 8 };

struct Placed {
    int id;
    unsigned anchor;
    RECT at{};  // in the client area of the dialog as first laid out
};

struct FaultListDialog {
    const ListRequest& request;
    HWND hwnd = nullptr;
    std::optional<std::size_t> chosen;
    VirtualList list;
    SIZE first{};       // the client area as laid out by the template
    POINT smallest{};   // the window's size as opened: the least it may shrink to
    std::array<Placed, 5> controls{{{IDT_FAULT_COUNT, Stretch},
                                    {IDC_FAULT_LIST, Stretch | Taller},
                                    {IDE_FAULT_TEXT, Stretch | Down},
                                    {IDOK, Down | Right},
                                    {IDCANCEL, Down | Right}}};

    BOOL onInit() {
        RECT client{}, window{};
        GetClientRect(hwnd, &client);
        GetWindowRect(hwnd, &window);
        first = {client.right, client.bottom};
        smallest = {window.right - window.left, window.bottom - window.top};
        for (Placed& p : controls) {
            GetWindowRect(GetDlgItem(hwnd, p.id), &p.at);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&p.at), 2);
        }
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

    void layout(int width, int height) {
        const int dx = width - first.cx, dy = height - first.cy;
        HDWP moves = BeginDeferWindowPos(static_cast<int>(controls.size()));
        for (const Placed& p : controls) {
            RECT r = p.at;
            if (p.anchor & Right) OffsetRect(&r, dx, 0);
            if (p.anchor & Down) OffsetRect(&r, 0, dy);
            if (p.anchor & Stretch) r.right += dx;
            if (p.anchor & Taller) r.bottom += dy;
            if (moves != nullptr)
                moves = DeferWindowPos(moves, GetDlgItem(hwnd, p.id), nullptr, r.left, r.top, r.right - r.left,
                                       r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (moves != nullptr) EndDeferWindowPos(moves);
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
            layout(LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        }
        if (msg == WM_GETMINMAXINFO) {
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = smallest;
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
