#include "core_steps.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

#include "archive/account_history.h"
#include "archive/reconciliation.h"
#include "archive/report_archive.h"
#include "directory/company_directory.h"
#include "editing/deadline.h"
#include "editing/row_check.h"
#include "import/apeh_import.h"
#include "import/registry_list.h"
#include "import/report_reload.h"
#include "records/record_tables.h"
#include "report/report_writer.h"
#include "util/threads.h"

namespace kovirant::bench {

namespace {

using Clock = std::chrono::steady_clock;

template <typename Step>
double timed(Step&& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

void removeTree(const std::filesystem::path& folder) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(folder, ec);
}

std::string buildLabel() {
#ifdef _WIN32
    std::string label = "Windows program";
#else
    std::string label = "native Linux program";
#endif
#if defined(__x86_64__)
    label += ", x86-64";
#elif defined(__i386__)
    label += ", i686";
#endif
    label += ", " + std::to_string(sizeof(void*) * 8) + "-bit";
#ifdef KOVIRANT_HAS_THREADS
    label += ", threads on";
#else
    label += ", threads off (its runtime has none)";
#endif
    return label;
}

// In the order of a console run with an archive and a directory, then the
// reload of the report written and the reconciliation with the registry's
// list; the history built from the reports (its cache removed first).
int timeWholeTableSteps(const StepFiles& f, const std::string& build) {
    RecordTables tables;
    ApehOutcome imported;
    const double import = timed([&] { imported = ImportApehFile(f.protocol, tables, [](const std::string&) { return true; }); });
    LoadedDirectory directory;
    const double load = timed([&] { directory = loadDirectory(f.directory); });
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(f.archive, ec))
        if (e.path().extension() == ".cache") std::filesystem::remove(e.path(), ec);
    int err = 0;
    std::optional<AccountHistory> history;
    const double built = timed([&] { history.emplace(AccountHistory::build(f.archive, err)); });
    CompanyFill filled;
    const double fill = timed([&] { filled = fillCompanies(tables, &directory.directory, &*history); });
    CheckOptions options;
    options.checkDay = dayNumber("2005-03-01");
    options.history = historyForCheck(*history);
    options.directoryCompany = [&](std::string_view tax) { return directory.directory.companyOf(tax); };
    RowCheck check;
    const double checked = timed([&] { check = checkAllRows(tables, 20, 18, options); });
    const std::filesystem::path report = f.work / "steps.xml", archive = f.work / "steps-archive";
    std::filesystem::remove(report, ec);
    removeTree(archive);
    ReportOutcome written;
    const double write = timed([&] { written = WriteReport(report, tables, SettingsFile(f.work / "Kovirant.ini")); });
    ArchiveOutcome archived;
    const double copy = timed([&] { archived = archiveWrittenReport(archive, report, tables, "bench", std::time(nullptr)); });
    RecordTables again;
    ReloadOutcome reloaded;
    const double reload = timed([&] { reloaded = ReloadReport(report, again); });
    Reconciliation compared;
    const double reconciled = timed([&] { compared = reconcile(*history, readRegistryList(f.registry)); });
    std::printf("steps rows=%zu filled=%zu faults=%zu warnings=%zu history_rows=%zu reloaded=%zu differences=%zu "
                "import=%.3f directory=%.3f history=%.3f fill=%.3f check=%.3f write=%.3f archive=%.3f reload=%.3f "
                "reconcile=%.3f\nbuild %s\n",
                imported.rowsAppended, filled.directory.filled, check.faults.size(), check.warnings.size(),
                history->rows(), reloaded.rowsAppended, compared.differences.size(), import, load, built, fill,
                checked, write, copy, reload, reconciled, build.c_str());
    removeTree(archive);
    std::filesystem::remove(report, ec);
    const bool ok = directory.status == DirectoryStatus::Read && err == 0 && written.status == ReportStatus::Written &&
                    archived.ok() && reloaded.status == ReloadStatus::Completed;
    return ok ? 0 : 1;
}

}  // namespace kovirant::bench
