// ReceiptDialog (template 126, "Tértivevény"): the receipt chosen, the
// report it belongs to (the one proposed selected), accepted or refused,
// and the registry's error text or a note.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

struct ReceiptDialog {
    const ReceiptRequest& request;
    HWND hwnd = nullptr;
    std::optional<ReceiptAnswer> answer;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_RECEIPT_FILE, wide(request.file).c_str());
        for (const std::u16string& report : request.reports)
            SendDlgItemMessageW(hwnd, IDL_RECEIPT_REPORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(report).c_str()));
        SendDlgItemMessageW(hwnd, IDL_RECEIPT_REPORT, CB_SETCURSEL, static_cast<WPARAM>(request.proposed), 0);
        CheckRadioButton(hwnd, IDR_RECEIPT_ACCEPTED, IDR_RECEIPT_REFUSED, IDR_RECEIPT_ACCEPTED);
        SendDlgItemMessageW(hwnd, IDE_RECEIPT_NOTE, EM_LIMITTEXT, 1000, 0);
        SetFocus(GetDlgItem(hwnd, IDL_RECEIPT_REPORT));
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD) {
        if (id != IDOK && id != IDCANCEL) return FALSE;
        const LRESULT chosen = SendDlgItemMessageW(hwnd, IDL_RECEIPT_REPORT, CB_GETCURSEL, 0, 0);
        if (id == IDOK && chosen >= 0) {
            const std::wstring note = windowText(GetDlgItem(hwnd, IDE_RECEIPT_NOTE));
            answer = ReceiptAnswer{static_cast<std::size_t>(chosen),
                                   IsDlgButtonChecked(hwnd, IDR_RECEIPT_ACCEPTED) == BST_CHECKED,
                                   std::u16string(note.begin(), note.end())};
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
};

}  // namespace

std::optional<ReceiptAnswer> runReceiptDialog(HINSTANCE instance, HWND owner, const ReceiptRequest& request) {
    ReceiptDialog dialog{request, nullptr, std::nullopt};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RECEIPT), owner, dialogProc<ReceiptDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.answer;
}

}  // namespace kovirant::win32
