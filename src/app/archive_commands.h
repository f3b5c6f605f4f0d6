// The archive's part in the commands: every saved report archived,
// "Korábbi jelentések..." (the log, earlier reports added, a copy loaded)
// and "Számlatörténet..." (every archived row of a number).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/shell.h"
#include "archive/account_history.h"

namespace kovirant {

// The exact bytes just written go into the archive with their log line;
// what cannot be archived is said, the report stays. `written`: the tables
// as the report was written from them, for the history's next build.
void archiveSaved(AppState& state, Shell& shell, const std::filesystem::path& report, SavedTables written = {});

// The history of the archived reports, built again only when the log or a
// copy changed since; none without an archive's log (or when the log cannot
// be read).
std::shared_ptr<const AccountHistory> archivedHistory(AppState& state);
// What the history's last build left for after its answer: its layers
// merged, its cache written (each command ends with it).
void settleArchivedHistory(AppState& state);

// The start-up line of the status bar's first part: "N jelentés késik: lásd
// Korábbi jelentések" (Windows-1250), empty when none is overdue or there is no archive.
std::string overdueLine(const AppState& state);
// Shows it there, once at start-up, when there is one.
void showOverdueLine(const AppState& state, Shell& shell);

void showEarlierReports(AppState& state, Shell& shell);
void showAccountHistory(AppState& state, Shell& shell);

}  // namespace kovirant
