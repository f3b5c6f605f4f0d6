// ArchiveListDialog (template 121, "Korábbi jelentések"): the archive's log,
// newest first; "Felvétel..." adds earlier reports, "Betöltés" (Enter, a
// double click) loads the chosen copy.
#include "../../resources/resource.h"
#include "win32/dialog_support.h"
#include "win32/dialogs.h"
#include "win32/virtual_list.h"

namespace kovirant::win32 {
namespace {

struct ArchiveListDialog {
    const ListRequest& request;
    HWND hwnd = nullptr;
    ArchiveListChoice choice;
    VirtualList list;

    BOOL onInit() {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_ARCHIVE_COUNT, wide(request.countText).c_str());
        list.attach(GetDlgItem(hwnd, IDC_ARCHIVE_LIST), request, {});
        EnableWindow(GetDlgItem(hwnd, IDOK), request.count > 0);
        SetFocus(request.count > 0 ? list.hwnd() : GetDlgItem(hwnd, IDB_ARCHIVE_ADD));
        return FALSE;
    }

    void finish(ArchiveListChoice::Action action, std::size_t line = 0) {
        choice = {action, line};
        EndDialog(hwnd, 0);
    }

    BOOL onCommand(WORD id, WORD) {
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
        if (header.idFrom == IDC_ARCHIVE_LIST && header.code == NM_DBLCLK) {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) finish(ArchiveListChoice::Action::Load, static_cast<std::size_t>(activate.iItem));
        }
        return 0;
    }
};

}  // namespace

ArchiveListChoice runArchiveListDialog(HINSTANCE instance, HWND owner, const ListRequest& request) {
    ArchiveListDialog dialog{request, nullptr, {}, {}};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ARCHIVE_LIST), owner, dialogProc<ArchiveListDialog>,
                    reinterpret_cast<LPARAM>(&dialog));
    return dialog.choice;
}

}  // namespace kovirant::win32
