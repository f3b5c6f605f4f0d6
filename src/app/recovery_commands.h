// Keeping the unsaved tables safe: the recovery file follows every change of
// the tables while a report is pending, goes away when nothing is pending or
// the officer leaves on purpose, and is offered back at the next start.
#pragma once

#include <ctime>

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

// Tables with more rows than this are written when the program is idle
// (after kRecoveryIdleMs without a change) instead of after the command.
inline constexpr std::size_t kRecoveryImmediateRows = 20000;
inline constexpr int kRecoveryIdleMs = 500;

// After every command: writes the file, or has the shell call
// writePendingRecovery when idle, or removes it when nothing is pending.
void keepRecovery(AppState& state, Shell& shell);
// Writes the file now if the tables changed since it was last written.
void writePendingRecovery(AppState& state, Shell& shell);
// The officer leaves on purpose: nothing to recover.
void dropRecovery(AppState& state);

// At start-up, before the main window takes input: offers the rows of a
// recovery file left by an earlier run.
void offerRecovery(AppState& state, Shell& shell, std::time_t now);

}  // namespace kovirant
