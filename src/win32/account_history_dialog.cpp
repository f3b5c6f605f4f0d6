// AccountHistoryDialog (template 122, "Számlatörténet"): a number typed
// (an account or a tax base number, separators allowed) and, on
// "Keresés" or Enter, every archived row that holds it, oldest first.
#include "../../resources/resource.h"
#include "text/format.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct AccountHistoryDialog {
    const AccountHistoryRequest& request;
    HWND hwnd = nullptr;
    ListRequest shown;
    VirtualList list;

    void lookUp() {
        const std::wstring typed = windowText(GetDlgItem(hwnd, IDE_HISTORY_NUMBER));
        shown = request.lookup(std::u16string(typed.begin(), typed.end()));
        SetDlgItemTextW(hwnd, IDT_HISTORY_COUNT, wide(shown.countText).c_str());
        list.show(shown);
    }

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SendDlgItemMessageW(hwnd, IDE_HISTORY_NUMBER, EM_LIMITTEXT, kFieldMax, 0);
        shown.headers = request.headers;
        shown.widths = request.widths;
        list.attach(GetDlgItem(hwnd, IDC_HISTORY_LIST), shown, {});
        lookUp();
        SetFocus(GetDlgItem(hwnd, IDE_HISTORY_NUMBER));
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        // Enter in the field presses the default button, "Keresés".
        if (id == IDB_HISTORY_FIND || id == IDOK) {
            lookUp();
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    }

    LRESULT onNotify(const NMHDR& header) {
        list.answer(header);
        return 0;
    }
};

}  // namespace

void runAccountHistoryDialog(HINSTANCE instance, HWND owner, const AccountHistoryRequest& request) {
    AccountHistoryDialog dialog{request, nullptr, {}, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ACCOUNT_HISTORY), owner, dialogProc<AccountHistoryDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kovirant::win32
