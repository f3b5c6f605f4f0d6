#include "win32/anchored_layout.h"

namespace kovirant::win32 {

void AnchoredLayout::capture(HWND dialog, std::span<Placed> controls) {
    controls_ = controls;
    RECT client{}, window{};
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    first_ = {client.right, client.bottom};
    smallest_ = {window.right - window.left, window.bottom - window.top};
    for (Placed& p : controls_) {
        GetWindowRect(GetDlgItem(dialog, p.id), &p.at);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&p.at), 2);
    }
}

void AnchoredLayout::follow(HWND dialog, int width, int height) const {
    const int dx = width - first_.cx, dy = height - first_.cy;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(controls_.size()));
    for (const Placed& p : controls_) {
        RECT r = p.at;
        if (p.anchor & Right) OffsetRect(&r, dx, 0);
        if (p.anchor & Down) OffsetRect(&r, 0, dy);
        if (p.anchor & Stretch) r.right += dx;
        if (p.anchor & Taller) r.bottom += dy;
        if (moves != nullptr)
            moves = DeferWindowPos(moves, GetDlgItem(dialog, p.id), nullptr, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr) EndDeferWindowPos(moves);
}

}  // namespace kovirant::win32
