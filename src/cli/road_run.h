// The console program's steps of the report's road after the save:
// --approve, --return, --mark-sent, --receipt, and --archive-status.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"

namespace kovirant::cli {

// One step: 0 done; 1 the step does not follow the report's state (or the
// officer saved it himself); 2 a prefix that names no report or several, a
// bad --at; 3 a file that cannot be read or written.
int roadStep(const Options& o, const Io& io);
// Every report not yet accepted, oldest first: 0 when none is overdue, 1
// when one is, 3 when the log cannot be read.
int archiveStatus(const Options& o, const Io& io);

}  // namespace kovirant::cli
