// The recovery file rewritten from a frozen copy of the tables on another
// thread, so that the window never waits for it. The job writes its own file
// beside the recovery file; the window's thread puts it in place when the job
// is over, unless it was called off meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "records/memory_table.h"
#include "recovery/recovery_file.h"
#include "report/profile_file.h"

namespace kovirant {

inline constexpr std::string_view kSnapshotJobFileName = "Kovirant-visszaallitas.xml.uj";

struct SnapshotJob {
    // Made on the window's thread: the tables as they are, the settings as
    // read now, and the position in the journal they stand for.
    // Writes into `folder` (where the recovery files are kept).
    SnapshotJob(const RecordTables& tables, const std::filesystem::path& settingsPath, const std::filesystem::path& folder,
                JournalPosition at);

    // Writes the file; on any thread. Only `cancelled` is shared meanwhile.
    void run();

    PerKind<std::unique_ptr<MemoryTable>> frozen;  // the tables as they were when it was made
    Profile profile;
    std::filesystem::path settingsPath;
    std::filesystem::path target;  // the job's own file
    JournalPosition at;
    std::atomic<bool> cancelled{false};
    int result = 0;           // after run: 0 or the system error code
    std::uint64_t bytes = 0;  // after run: the size of the file written
};

}  // namespace kovirant
