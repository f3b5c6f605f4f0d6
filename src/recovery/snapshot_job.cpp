#include "recovery/snapshot_job.h"

#include <cerrno>

#include "report/report_writer.h"

namespace kovirant {

SnapshotJob::SnapshotJob(const RecordTables& tables, const std::filesystem::path& settings, JournalPosition position)
    : reg(tables.table(ViewRegister).frozenCopy()),
      inst(tables.table(ViewInstitution).frozenCopy()),
      acc(tables.table(ViewAccountChange).frozenCopy()),
      profile(loadProfile(settings)),
      settingsPath(settings),
      target(settings.parent_path() / std::string(kSnapshotJobFileName)),
      at(position) {}

void SnapshotJob::run() {
    RecordTables tables(*reg, *inst, *acc);
    ReportOptions options;
    options.wholeTables = true;
    options.recoveryNote = recoveryNote(at);
    options.profile = &profile;
    options.keepWriting = [this] { return !cancelled.load(std::memory_order_relaxed); };
    const ReportOutcome out = WriteReport(target, tables, SettingsFile(settingsPath), options);
    result = out.status == ReportStatus::Written ? 0 : (out.errorCode != 0 ? out.errorCode : EIO);
    std::error_code ec;
    bytes = result == 0 ? std::filesystem::file_size(target, ec) : 0;
}

}  // namespace kovirant
