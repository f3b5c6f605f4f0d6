// The layout of a resizable dialog: each control follows the dialog's edges
// as its anchors say, from where the template first placed it, and the
// dialog shrinks no smaller than it opened.
#pragma once

#include <span>

#include "win32/win32.h"

namespace kovirant::win32 {

enum Anchor : unsigned { Stretch = 1, Down = 2, Right = 4, Taller = 8 };

struct Placed {
    int id;
    unsigned anchor;
    RECT at{};  // in the client area of the dialog as first laid out
};

class AnchoredLayout {
public:
    // Where the template placed the dialog and its controls (at WM_INITDIALOG).
    void capture(HWND dialog, std::span<Placed> controls);
    // The controls moved for a client area of this size (WM_SIZE).
    void follow(HWND dialog, int width, int height) const;
    // The least the dialog may shrink to (WM_GETMINMAXINFO).
    void limit(MINMAXINFO& info) const { info.ptMinTrackSize = smallest_; }

private:
    std::span<Placed> controls_;
    SIZE first_{};      // the client area as laid out by the template
    POINT smallest_{};  // the window's size as opened
};

}  // namespace kovirant::win32
