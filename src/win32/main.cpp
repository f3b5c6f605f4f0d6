// Start-up: one instance, the main window with its status bar and three
// record tables, and the message loop.
#include "../../resources/resource.h"
#include "win32/main_window.h"
#include "win32/window_layout.h"

using namespace kovirant;
using namespace kovirant::win32;

namespace {

static_assert(IDM_EXIT == kCmdExit && IDM_ABOUT == kCmdAbout && IDM_NEW == kCmdNew &&
              IDM_SAVE_REPORT == kCmdSaveReport && IDM_MODIFY == kCmdModify && IDM_DELETE == kCmdDelete &&
              IDM_LOAD_REPORT == kCmdLoadReport && IDM_VIEW_REGISTER == kCmdViewRegister &&
              IDM_VIEW_INSTITUTION == kCmdViewInstitution && IDM_DATA_SHEET == kCmdDataSheet &&
              IDM_LOAD_APEH == kCmdLoadApeh && IDM_VIEW_ACCOUNT_CHANGE == kCmdViewAccountChange &&
              IDM_FILL_FROM_DIRECTORY == kCmdFillFromDirectory && IDM_CHECK_ROWS == kCmdCheckRows &&
              IDM_SEARCH == kCmdSearch && IDM_SEARCH_NEXT == kCmdSearchNext && IDM_UNDO == kCmdUndo &&
              IDM_REDO == kCmdRedo && IDM_CHECK_NEXT == kCmdCheckNext);

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // One copy: a second start brings the running window back and ends.
    if (HWND running = FindWindowW(kClassName, kTitle)) {
        if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
        SetForegroundWindow(GetLastActivePopup(running));  // a dialog it has open, else itself
        return 0;
    }

    static MainWindow window;  // lives for the whole run
    if (!window.create(instance)) return 0;

    HACCEL shortcuts = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(window.hwnd, shortcuts, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    window.shell.finishSnapshot();
    saveLayout(window);
    UnregisterClassW(kClassName, instance);
    return static_cast<int>(msg.wParam);
}
