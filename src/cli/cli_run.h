// The console program: the monthly report without a person at the keyboard.
// It imports, fills, checks, writes and learns with the same core as the
// window program, asks nothing and shows no window.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"

namespace kovirant::cli {

inline constexpr int kExitWritten = 0;  // the report was written (--check: no fault)
inline constexpr int kExitFaults = 1;   // faults found, nothing written
inline constexpr int kExitUsage = 2;    // wrong usage
inline constexpr int kExitFile = 3;     // a file could not be read or written

struct Io {
    std::function<void(std::string_view utf8)> out;  // the findings
    std::function<void(std::string_view utf8)> err;  // counts, the path written, failures
    std::filesystem::path currentDirectory;
};

int run(const std::vector<Argument>& args, const Io& io);

}  // namespace kovirant::cli
