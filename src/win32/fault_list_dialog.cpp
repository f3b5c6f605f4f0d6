// FaultListDialog (template 118, "Ellenőrzés"): the faulty rows in a virtual
// list; "Ugrás", Enter or a double click gives the chosen line.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct FaultListDialog {
    const ListRequest& request;
    HWND hwnd = nullptr;
    std::optional<std::size_t> chosen;
    VirtualList list;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_FAULT_COUNT, wide(request.countText).c_str());
        constexpr int kWidths[] = {190, 50, 80, 330};
        list.attach(GetDlgItem(hwnd, IDC_FAULT_LIST), request, kWidths);
        SetFocus(list.hwnd());
        return FALSE;
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

    LRESULT onNotify(const NMHDR& header) {
        list.answer(header);
        if (header.idFrom == IDC_FAULT_LIST && header.code == NM_DBLCLK) {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) finish(static_cast<std::size_t>(activate.iItem));
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
