// The modal dialogs of the main window; each runs to its end.
#pragma once

#include "app/shell.h"

namespace kovirant::win32 {

class MainWindow;

void runAboutDialog(MainWindow& window);
void runRegisterEntryDialog(MainWindow& window, EditorMode mode);
void runInstitutionDialog(MainWindow& window, EditorMode mode);
void runAccountChangeDialog(MainWindow& window, EditorMode mode);
void runDataSheetDialog(MainWindow& window);

}  // namespace kovirant::win32
