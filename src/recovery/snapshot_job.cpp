#include "recovery/snapshot_job.h"

#include <utility>

namespace kovirant {

SnapshotJob::SnapshotJob(const RecordTables& tables, const std::filesystem::path& settings,
                         const std::filesystem::path& folder, JournalPosition position)
    : frozen{tables.table(ViewRegister).frozenCopy(), tables.table(ViewInstitution).frozenCopy(),
             tables.table(ViewAccountChange).frozenCopy()},
      profile(loadProfile(settings)),
      settingsPath(settings),
      target(folder / std::string(kSnapshotJobFileName)),
      at(position) {}

void SnapshotJob::run() {
    RecordTables tables(*frozen[ViewRegister], *frozen[ViewInstitution], *frozen[ViewAccountChange]);
    ReportOptions options;
    options.profile = &profile;
    options.keepWriting = [this] { return !cancelled.load(std::memory_order_relaxed); };
    result = writeRecovery(target, tables, SettingsFile(settingsPath), at, std::move(options));
    std::error_code ec;
    bytes = result == 0 ? std::filesystem::file_size(target, ec) : 0;
}

}  // namespace kovirant
