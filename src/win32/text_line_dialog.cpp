// TextLineDialog: one line of text to type, offered as it was, all of it
// selected; template 119 ("Keresés": the text to look for) and template 125
// ("Elküldve": when the report was sent, the present minute offered).
#include "../../resources/resource.h"
#include "text/format.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

struct TextLineDialog {
    const std::u16string& initial;
    int edit;
    int limit;
    HWND hwnd = nullptr;
    std::optional<std::u16string> text;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SendDlgItemMessageW(hwnd, edit, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
        SetDlgItemTextW(hwnd, edit, wide(initial).c_str());
        SendDlgItemMessageW(hwnd, edit, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(hwnd, edit));
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        if (id != IDOK && id != IDCANCEL) return FALSE;
        if (id == IDOK) {
            const std::wstring typed = windowText(GetDlgItem(hwnd, edit));
            text = std::u16string(typed.begin(), typed.end());
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
};

std::optional<std::u16string> runTextLine(HINSTANCE instance, HWND owner, int dialogId, int edit, int limit,
                                          const std::u16string& initial) {
    TextLineDialog dialog{initial, edit, limit, nullptr, std::nullopt};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(dialogId), owner, dialogProc<TextLineDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.text;
}

}  // namespace

std::optional<std::u16string> runSearchDialog(HINSTANCE instance, HWND owner, const std::u16string& initial) {
    return runTextLine(instance, owner, IDD_SEARCH, IDE_SEARCH_TEXT, static_cast<int>(kFieldMax), initial);
}

std::optional<std::u16string> runSentTimeDialog(HINSTANCE instance, HWND owner, const std::u16string& now) {
    return runTextLine(instance, owner, IDD_SENT_TIME, IDE_SENT_TIME, 16, now);
}

}  // namespace kovirant::win32
