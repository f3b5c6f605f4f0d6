#include "../../resources/resource.h"
#include "win32/dialogs.h"
#include "win32/main_window.h"

namespace kovirant::win32 {
namespace {

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        return TRUE;
    }
    if (msg == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void runAboutDialog(MainWindow& window) {
    DialogBoxParamW(window.instance, MAKEINTRESOURCEW(IDD_ABOUT), window.hwnd, aboutProc, 0);
}

}  // namespace kovirant::win32
