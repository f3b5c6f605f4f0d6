// The main window's commands: the menu, list clicks, the Delete key, close
// and creation, and the rules that enable, grey and check menu items.
#pragma once

#include <optional>

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

// Window creation: forms the settings path from the current directory (none
// when it could not be had) and reads the limits and DataSheetFilled.
void onCreate(AppState& state, Shell& shell, const std::optional<std::filesystem::path>& currentDir);

// A menu command (the whole wParam); unknown ids do nothing.
void onCommand(AppState& state, Shell& shell, int id);

enum class ListNotification { Click, DoubleClick, Other };
void onNotify(AppState& state, Shell& shell, ListNotification code);

// WM_KEYDOWN reaching the main window.
void onKeyDown(AppState& state, Shell& shell, int virtualKey);

// The close button or Alt+F4; false keeps the window.
bool onClose(AppState& state, Shell& shell);

// Loads a report as "XML állomány betöltése..." does once the file is chosen.
void loadReportFile(AppState& state, Shell& shell, const std::filesystem::path& file);

// Shows a table with the view commands' check marks.
void showView(AppState& state, Shell& shell, ViewKind kind);
// Shows the table, selects, focuses and scrolls to the row, and enables
// Modify and Delete as a click on it would.
void jumpToRow(AppState& state, Shell& shell, ViewKind kind, std::size_t row);

}  // namespace kovirant
