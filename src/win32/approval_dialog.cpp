// ApprovalDialog (template 124, "Jóváhagyás"): the report to approve and its
// review; "Jóváhagyom" (Enter) or "Visszaadom" with the reason typed.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

struct ApprovalDialog {
    const ApprovalRequest& request;
    HWND hwnd = nullptr;
    ApprovalAnswer answer;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_APPROVAL_REPORT, wide(request.report).c_str());
        SetDlgItemTextW(hwnd, IDE_APPROVAL_REVIEW, wide(request.review).c_str());
        SendDlgItemMessageW(hwnd, IDE_APPROVAL_REASON, EM_LIMITTEXT, 500, 0);
        // The approver starts at the review's first line, nothing selected.
        SetFocus(GetDlgItem(hwnd, IDE_APPROVAL_REVIEW));
        SendDlgItemMessageW(hwnd, IDE_APPROVAL_REVIEW, EM_SETSEL, 0, 0);
        return FALSE;
    }

    BOOL onCommand(WORD id, WORD code) {
        // The read-only review selects all on focus by default; the caret stays where it is.
        if (id == IDE_APPROVAL_REVIEW && code == EN_SETFOCUS) {
            SendDlgItemMessageW(hwnd, IDE_APPROVAL_REVIEW, EM_SETSEL, 0, 0);
            return TRUE;
        }
        switch (id) {
            case IDOK: answer.action = ApprovalAnswer::Action::Approve; break;
            case IDB_APPROVAL_RETURN: {
                const std::wstring reason = windowText(GetDlgItem(hwnd, IDE_APPROVAL_REASON));
                if (reason.find_first_not_of(L" \t") == std::wstring::npos) {
                    showWarning(hwnd, {"A visszaadás okát írja be.", std::string(kCaptionError)});
                    SetFocus(GetDlgItem(hwnd, IDE_APPROVAL_REASON));
                    return TRUE;
                }
                answer.action = ApprovalAnswer::Action::Return;
                answer.reason.assign(reason.begin(), reason.end());
                break;
            }
            case IDCANCEL: answer.action = ApprovalAnswer::Action::Cancel; break;
            default: return FALSE;
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
};

}  // namespace

ApprovalAnswer runApprovalDialog(HINSTANCE instance, HWND owner, const ApprovalRequest& request) {
    ApprovalDialog dialog{request, nullptr, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_APPROVAL), owner, dialogProc<ApprovalDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.answer;
}

}  // namespace kovirant::win32
