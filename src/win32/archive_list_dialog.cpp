// ArchiveListDialog (template 121, "Korábbi jelentések"): the archive's log,
// newest first; "Felvétel..." adds earlier reports, "Betöltés" (Enter, a
// double click) loads the chosen copy; the road's buttons take the chosen
// report a step, each enabled while its report's state allows it.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct RoadButton {
    int id;
    unsigned action;  // ArchiveLineAction
    ArchiveListChoice::Action choice;
};
constexpr RoadButton kRoadButtons[] = {
    {IDB_ARCHIVE_APPROVE, kLineApprove, ArchiveListChoice::Action::Approve},
    {IDB_ARCHIVE_SENT, kLineMarkSent, ArchiveListChoice::Action::MarkSent},
    {IDB_ARCHIVE_RECEIPT, kLineReceipt, ArchiveListChoice::Action::Receipt},
    {IDB_ARCHIVE_OPEN_RECEIPT, kLineOpenReceipt, ArchiveListChoice::Action::OpenReceipt},
};

struct ArchiveListDialog {
    const ArchiveListRequest& request;
    HWND hwnd = nullptr;
    ArchiveListChoice choice;
    VirtualList list;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_ARCHIVE_COUNT, wide(request.countText).c_str());
        list.attach(GetDlgItem(hwnd, IDC_ARCHIVE_LIST), request, {});
        EnableWindow(GetDlgItem(hwnd, IDOK), request.count > 0);
        enableRoadButtons();
        SetFocus(request.count > 0 ? list.hwnd() : GetDlgItem(hwnd, IDB_ARCHIVE_ADD));
        return FALSE;
    }

    unsigned allowed() const {
        const auto line = list.selected();
        return line && request.actions ? request.actions(*line) : 0u;
    }

    void enableRoadButtons() {
        const unsigned actions = allowed();
        for (const RoadButton& b : kRoadButtons) {
            HWND button = GetDlgItem(hwnd, b.id);
            // A button about to be disabled hands the focus to the list first.
            if (GetFocus() == button && !(actions & b.action)) SetFocus(list.hwnd());
            EnableWindow(button, (actions & b.action) != 0);
        }
    }

    void finish(ArchiveListChoice::Action action, std::size_t line = 0) {
        choice = {action, line};
        EndDialog(hwnd, 0);
    }

    BOOL onCommand(WORD id, WORD) {
        for (const RoadButton& b : kRoadButtons)
            if (id == b.id) {
                if (const auto line = list.selected(); line && (allowed() & b.action)) finish(b.choice, *line);
                return TRUE;
            }
        switch (id) {
            case IDOK:
                if (const auto line = list.selected()) finish(ArchiveListChoice::Action::Load, *line);
                return TRUE;
            case IDB_ARCHIVE_ADD: finish(ArchiveListChoice::Action::Add); return TRUE;
            case IDCANCEL: finish(ArchiveListChoice::Action::Close); return TRUE;
            default: return FALSE;
        }
    }

    LRESULT onNotify(const NMHDR& header) {
        list.answer(header);
        if (header.idFrom == IDC_ARCHIVE_LIST && header.code == LVN_ITEMCHANGED) enableRoadButtons();
        if (header.idFrom == IDC_ARCHIVE_LIST && header.code == NM_DBLCLK) {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) finish(ArchiveListChoice::Action::Load, static_cast<std::size_t>(activate.iItem));
        }
        return 0;
    }
};

}  // namespace

ArchiveListChoice runArchiveListDialog(HINSTANCE instance, HWND owner, const ArchiveListRequest& request) {
    ArchiveListDialog dialog{request, nullptr, {}, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ARCHIVE_LIST), owner, dialogProc<ArchiveListDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.choice;
}

}  // namespace kovirant::win32
