// --reconcile: the registry's list of the bank's accounts compared with the
// bank's side, each difference and each line not read a finding.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/findings.h"
#include "records/record_kinds.h"

namespace kovirant {
class AccountHistory;
}

namespace kovirant::cli {

// What a run that writes a report takes from the comparison.
struct ReconcileRows {
    std::string list;                       // the list's path (UTF-8)
    std::vector<RegisterEntry> proposals;   // the register rows that mend the differences
    std::vector<Finding> unreadable;        // errors; warnings with --skip-faulty-lines
};

// Reads the list (and --accounts) and compares it with the bank's list, else
// with `history` (which must then be given). Without `rows` every finding is
// printed; with it they are kept there for the run. The counts go to
// standard error either way. The exit status: 0 no difference and every line
// read, 1 differences or lines not read, 3 a file that cannot be read.
int reconcileList(const Options& o, const Io& io, const AccountHistory* history, ReconcileRows* rows);

}  // namespace kovirant::cli
