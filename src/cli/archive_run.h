// The console program's archive commands: --verify-archive, --archive-add
// and --history, and the history the run and the reconciliation build.
#pragma once

#include <filesystem>
#include <optional>

#include "archive/account_history.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"

namespace kovirant::cli {

// The history's warnings of copies it did not use, on standard error.
void warnOfCopies(const AccountHistory& h, const Io& io);
// --verify-archive: every copy re-hashed, the chain checked (against the
// exported anchors too with --anchors).
int verify(const Options& o, const Io& io);
// --archive-add FILE...: earlier reports taken in with their own time.
int addEarlier(const Options& o, const Io& io);
// The archive's history, or its log named with the system's error code (3).
int buildHistory(const std::filesystem::path& folder, const Io& io, std::optional<AccountHistory>& h);
// --history NUMBER: every archived row that holds it, oldest first.
int history(const Options& o, const Io& io);

}  // namespace kovirant::cli
