#include "recovery/snapshot_job.h"

#include <utility>

namespace kovirant {

SnapshotJob::SnapshotJob(const RecordTables& tables, const std::filesystem::path& settings,
                         const std::filesystem::path& folder, JournalPosition position)
    : reg(tables.table(ViewRegister).frozenCopy()),
      inst(tables.table(ViewInstitution).frozenCopy()),
      acc(tables.table(ViewAccountChange).frozenCopy()),
      profile(loadProfile(settings)),
      settingsPath(settings),
      target(folder / std::string(kSnapshotJobFileName)),
      at(position) {}

void SnapshotJob::run() {
    RecordTables tables(*reg, *inst, *acc);
    ReportOptions options;
    options.profile = &profile;
    options.keepWriting = [this] { return !cancelled.load(std::memory_order_relaxed); };
    result = writeRecovery(target, tables, SettingsFile(settingsPath), at, std::move(options));
    std::error_code ec;
    bytes = result == 0 ? std::filesystem::file_size(target, ec) : 0;
}

}  // namespace kovirant
