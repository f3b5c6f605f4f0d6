// The screen's DPI: pixel measures are given for 96 dpi and scaled by it.
#pragma once

#include "win32/win32.h"

namespace kovirant::win32 {

// The window's DPI (its monitor's, where Windows keeps one per monitor), or
// the system's.
int dpiOf(HWND hwnd);

// A measure given for 96 dpi at `dpi`.
inline int scaled(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

}  // namespace kovirant::win32
