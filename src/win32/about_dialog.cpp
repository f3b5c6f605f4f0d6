#include "../../resources/resource.h"
#include "version.h"
#include "win32/dialogs.h"

namespace kovirant::win32 {
namespace {

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        centerOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        SetDlgItemTextW(hwnd, IDT_ABOUT_VERSION, L"v " KOVIRANT_VERSION_WIDE);
        return TRUE;
    }
    if (msg == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void runAboutDialog(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}

}  // namespace kovirant::win32
