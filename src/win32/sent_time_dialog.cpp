// SentTimeDialog (template 125, "Elküldve"): when the report was sent, the
// present minute offered.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

struct SentTimeDialog {
    const std::u16string& now;
    HWND hwnd = nullptr;
    std::optional<std::u16string> time;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SendDlgItemMessageW(hwnd, IDE_SENT_TIME, EM_LIMITTEXT, 16, 0);
        SetDlgItemTextW(hwnd, IDE_SENT_TIME, wide(now).c_str());
        SendDlgItemMessageW(hwnd, IDE_SENT_TIME, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(hwnd, IDE_SENT_TIME));
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        if (id != IDOK && id != IDCANCEL) return FALSE;
        if (id == IDOK) {
            const std::wstring typed = windowText(GetDlgItem(hwnd, IDE_SENT_TIME));
            time = std::u16string(typed.begin(), typed.end());
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
};

}  // namespace

std::optional<std::u16string> runSentTimeDialog(HINSTANCE instance, HWND owner, const std::u16string& now) {
    SentTimeDialog dialog{now, nullptr, std::nullopt};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SENT_TIME), owner, dialogProc<SentTimeDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.time;
}

}  // namespace kovirant::win32
