#include "win32/win32.h"

namespace kovirant::win32 {

void centerOverOwner(HWND dialog, HWND owner) {
    RECT d{}, o{};
    GetWindowRect(dialog, &d);
    if (owner == nullptr || !GetWindowRect(owner, &o)) o = d;
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int ow = o.right - o.left, oh = o.bottom - o.top;
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int x = o.left + (ow - dw) / 2;
    if (x < work.left) x = work.left;
    else if (x + dw > work.right) x = work.right - dw;
    int y = o.top + (oh - dh) / 2;
    if (y < work.top) y = work.top;
    else if (y + dh > work.bottom) y = work.bottom - dh;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace kovirant::win32
