// Keeping the unsaved tables safe: while a report is pending the recovery
// files follow every change (the snapshot of the tables, and the journal of
// the changes made since it), go away when nothing is pending or the officer
// leaves on purpose, and are offered back at the next start.
#pragma once

#include <ctime>

#include "app/app_state.h"
#include "app/shell.h"

namespace kovirant {

// Up to this many rows the snapshot itself is rewritten after each command;
// beyond, each command's changes are appended to the journal, and the
// snapshot is rewritten on another thread when the program has been idle for
// kRecoveryIdleMs and the journal has grown past kSnapshotPaysBytes or an
// eighth of the snapshot.
inline constexpr std::size_t kRecoveryImmediateRows = 20000;
inline constexpr int kRecoveryIdleMs = 500;
inline constexpr std::uint64_t kSnapshotPaysBytes = std::uint64_t{16} << 20;

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
