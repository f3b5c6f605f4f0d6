// Keeping the unsaved tables safe, as the window does it: the decisions are
// the recovery keeper's (recovery/recovery_keeper.h); here are the texts, the
// questions at start-up and what the shell is asked to do.
#pragma once

#include <ctime>

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

// After every command, before the next input: puts the command's changes on
// the disk, or removes the files when nothing is pending.
void keepRecovery(AppState& state, Shell& shell);
// When idle: has the snapshot rewritten on another thread if that pays.
void writePendingRecovery(AppState& state, Shell& shell);
// A snapshot job started through Shell::startSnapshot is over: its file takes
// the snapshot's place, unless the job was called off.
void snapshotJobDone(AppState& state, Shell& shell);
// The officer leaves on purpose: nothing to recover.
void dropRecovery(AppState& state);

// At start-up, before the main window takes input: offers the rows of the
// recovery files left by an earlier run (the snapshot with its journal
// replayed).
void offerRecovery(AppState& state, Shell& shell, std::time_t now);

}  // namespace kovirant
