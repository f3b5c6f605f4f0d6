// --log FILE: each run's findings and summary appended to a file, headed by
// the run's time and command line and closed by its exit status, for a
// scheduled task whose output nobody sees.
#pragma once

#include <ctime>
#include <filesystem>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "util/file_io.h"

namespace kovirant::cli {

class RunLog {
public:
    // Opens `file` for appending (made when missing) and writes the run's
    // head. Returns 0 or the system error code.
    int open(const std::filesystem::path& file, const std::vector<Argument>& args, std::time_t now);
    // `io` whose findings and messages also go to the log, as they are written.
    Io tee(const Io& io);
    // Writes the exit status and flushes the log to the disk. Returns 0 or
    // the system error code of the first failed write, flush or close.
    int close(int exitStatus);

private:
    FilePtr file_;
    int error_ = 0;
    void append(std::string_view bytes);
};

}  // namespace kovirant::cli
