// SearchDialog (template 119, "Keresés"): the text to look for.
#include "../../resources/resource.h"
#include "text/format.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

struct SearchDialog {
    const std::u16string& initial;
    HWND hwnd = nullptr;
    std::optional<std::u16string> text;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SendDlgItemMessageW(hwnd, IDE_SEARCH_TEXT, EM_LIMITTEXT, kFieldMax, 0);
        SetDlgItemTextW(hwnd, IDE_SEARCH_TEXT, wide(initial).c_str());
        SendDlgItemMessageW(hwnd, IDE_SEARCH_TEXT, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(hwnd, IDE_SEARCH_TEXT));
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        if (id != IDOK && id != IDCANCEL) return FALSE;
        if (id == IDOK) {
            const std::wstring typed = windowText(GetDlgItem(hwnd, IDE_SEARCH_TEXT));
            text = std::u16string(typed.begin(), typed.end());
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
};

}  // namespace

std::optional<std::u16string> runSearchDialog(HINSTANCE instance, HWND owner, const std::u16string& initial) {
    SearchDialog dialog{initial, nullptr, std::nullopt};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SEARCH), owner, dialogProc<SearchDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.text;
}

}  // namespace kovirant::win32
