// The main window's place and size and its tables' column widths, kept for
// each user under HKCU\Software\Kovirant between runs (not in Kovirant.ini,
// which is the officer's file and may be shared). A first run, or values that
// do not fit this screen and these tables, keep the widths the columns are
// made with.
#pragma once

#include "win32/win32.h"

namespace kovirant::win32 {

class MainWindow;

struct KeptLayout {
    bool placed = false;     // a place and size that lies on a screen of this machine
    bool maximized = false;  // shown maximised when the run ended
};

// Before the window is shown: its kept place and size.
KeptLayout restoreWindowPlace(HWND window);
// Once the columns are made: their kept widths, scaled to `dpi`.
void restoreColumnWidths(MainWindow& window, int dpi);
// At the end of the run.
void saveLayout(const MainWindow& window);

}  // namespace kovirant::win32
