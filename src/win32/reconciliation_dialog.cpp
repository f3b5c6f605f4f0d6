// ReconciliationDialog (template 123, "Egyeztetés a cégjegyzékkel"): the
// lists compared and the counts above, a category to show, the differences
// and unreadable lines in a virtual list of several selectable lines.
// "Cégjegyzék listája..." and "Banki számlalista..." compare again with
// another file, "Mentés..." writes the difference list; "Javasolt sorok
// felvétele" (the default button) ends it with the lines chosen. The dialog
// can be resized: the list takes the room, the buttons keep to its lower edge.
#include <array>

#include "../../resources/resource.h"
#include "win32/anchored_layout.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct ReconciliationDialog {
    ReconciliationPort& port;
    HWND* open;  // the dialog while it runs: the owner of the file dialogs and boxes it opens
    HWND hwnd = nullptr;
    ReconciliationChoice choice;
    VirtualList list;
    AnchoredLayout layout{};
    std::array<Placed, 8> controls{{{IDT_RECON_FILES, Stretch},
                                    {IDT_RECON_COUNT, Stretch},
                                    {IDC_RECON_LIST, Stretch | Taller},
                                    {IDB_RECON_REGISTRY, Down},
                                    {IDB_RECON_BANK, Down},
                                    {IDB_RECON_APPEND, Down | Right},
                                    {IDB_RECON_SAVE, Down | Right},
                                    {IDCANCEL, Down | Right}}};

    // The counts and the categories change with each comparison.
    void describe() {
        const ReconciliationView& v = port.view();
        SetDlgItemTextW(hwnd, IDT_RECON_FILES, wide(v.files).c_str());
        SetDlgItemTextW(hwnd, IDT_RECON_COUNT, wide(v.countText).c_str());
        HWND kinds = GetDlgItem(hwnd, IDL_RECON_KIND);
        SendMessageW(kinds, CB_RESETCONTENT, 0, 0);
        for (const std::u16string& c : v.choices) SendMessageW(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(c).c_str()));
        SendMessageW(kinds, CB_SETCURSEL, static_cast<WPARAM>(v.choice), 0);
        showLines();
    }

    void showLines() {
        ListView_SetItemState(list.hwnd(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        list.show(port.view().list);
        // Nothing chosen: the proposals of every line shown.
        ListView_SetItemState(list.hwnd(), -1, 0, LVIS_SELECTED);
        EnableWindow(GetDlgItem(hwnd, IDB_RECON_SAVE), port.view().compared);
    }

    BOOL onInit() {
        *open = hwnd;
        layout.capture(hwnd, controls);
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        list.attach(GetDlgItem(hwnd, IDC_RECON_LIST), port.view().list, {});
        describe();
        SetFocus(GetDlgItem(hwnd, IDL_RECON_KIND));
        return FALSE;
    }

    void finish(bool append) {
        choice.append = append;
        if (append)
            for (int i = ListView_GetNextItem(list.hwnd(), -1, LVNI_SELECTED); i >= 0;
                 i = ListView_GetNextItem(list.hwnd(), i, LVNI_SELECTED))
                choice.lines.push_back(static_cast<std::size_t>(i));
        *open = nullptr;
        EndDialog(hwnd, 0);
    }

    BOOL onCommand(WORD id, WORD code) {
        switch (id) {
            case IDL_RECON_KIND:
                if (code != CBN_SELCHANGE) return FALSE;
                if (const LRESULT i = SendDlgItemMessageW(hwnd, IDL_RECON_KIND, CB_GETCURSEL, 0, 0); i != CB_ERR) {
                    port.showChoice(static_cast<std::size_t>(i));
                    showLines();
                }
                return TRUE;
            case IDB_RECON_REGISTRY:
                port.chooseRegistryList();
                describe();
                return TRUE;
            case IDB_RECON_BANK:
                port.chooseBankList();
                describe();
                return TRUE;
            case IDB_RECON_SAVE: port.saveList(); return TRUE;
            case IDOK:  // Enter: the default button
            case IDB_RECON_APPEND: finish(true); return TRUE;
            case IDCANCEL: finish(false); return TRUE;
            default: return FALSE;
        }
    }

    std::optional<INT_PTR> onMessage(UINT msg, WPARAM, LPARAM lParam) {
        if (msg == WM_SIZE) {
            layout.follow(hwnd, LOWORD(lParam), HIWORD(lParam));
            // The buttons moved into what was the dialog's edge are drawn anew.
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
        return 0;
    }
};

}  // namespace

ReconciliationChoice runReconciliationDialog(HINSTANCE instance, HWND owner, ReconciliationPort& port, HWND& open) {
    ReconciliationDialog dialog{port, &open, nullptr, {}, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RECONCILIATION), owner, dialogProc<ReconciliationDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    open = nullptr;
    return dialog.choice;
}

}  // namespace kovirant::win32
