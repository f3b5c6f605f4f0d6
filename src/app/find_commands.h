// "Ellenőrzés..." (every row checked, the faulty ones listed with a jump to
// each) and "Keresés..." with F3 (the next row holding a text).
#pragma once

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

// `resume`: F8 after a jump from the list, which opens again on the line
// after the row jumped to (the rows checked anew, so a mended row is gone).
void checkRows(AppState& state, Shell& shell, bool resume = false);
// `again`: F3, the last text once more (the dialog when there is none yet).
void searchRows(AppState& state, Shell& shell, bool again);

}  // namespace kovirant
