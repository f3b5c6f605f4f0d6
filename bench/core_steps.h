// The whole-table steps of a console run, one by one on the same files:
// built natively and for Windows, so each step of the Windows build (run
// under Wine) is set against the same step of the native one.
#pragma once

#include <filesystem>
#include <string>

namespace kovirant::bench {

struct StepFiles {
    std::filesystem::path protocol;   // an APEH protocol of openings
    std::filesystem::path directory;  // a company directory that knows every one of them
    std::filesystem::path archive;    // an archive folder (its log, its copies) for the history
    std::filesystem::path registry;   // the registry's list of the archive's accounts
    std::filesystem::path work;       // where the report and its archive are written
};

// This build: operating system, processor and word size, threads on or off.
std::string buildLabel();

// Prints "steps rows=... import=S directory=S history=S fill=S check=S
// write=S archive=S reload=S reconcile=S" and then "build <build>";
// nonzero when a step fails.
int timeWholeTableSteps(const StepFiles& files, const std::string& build = buildLabel());

// Removes a folder and all in it, the archive's read-only copies too.
void removeTree(const std::filesystem::path& folder);

}  // namespace kovirant::bench
