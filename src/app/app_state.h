// The run's state in one place.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <filesystem>
#include <memory>
#include <string>

#include "records/record_tables.h"
#include "directory/company_directory.h"
#include "archive/account_history.h"
#include "archive/report_state.h"
#include "records/undo_history.h"
#include "recovery/recovery_keeper.h"
#include "report/settings.h"
#include "util/os_file.h"

namespace kovirant {


// The directory as last read, kept while the file's size and time stay as
// they were: the fill and the check read it again once another program
// (a colleague's save) changed it.
struct DirectoryCache {
    std::filesystem::path file;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    std::shared_ptr<const LoadedDirectory> loaded;
};

struct AppState {
    explicit AppState(RecordTables& t) : tables(t) {
        tables.addListener(&history);
        tables.addListener(&recovery.journal);
    }
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    RecordTables& tables;  // with CurrentView and ReportPending
    std::filesystem::path settingsPath;
    int maxtk = 0;
    int maxcf = 0;
    bool DataSheetFilled = false;
    int hatarido = kDefaultDeadlineDays;       // the reporting deadline in days
    std::optional<std::string> hataridoRefused;  // a settings value that was refused
    std::function<std::time_t()> now = [] { return std::time(nullptr); };  // the check's clock
    std::filesystem::path recoveryFolder;  // where the recovery files are kept; empty: beside the settings
    std::filesystem::path directoryFile;  // the group policy's "Cegtar"; empty: Cegtar.csv beside the settings
    DirectoryCache directoryCache;
    std::filesystem::path archiveFolder;  // where every saved report is kept (empty: no archive)
    std::shared_ptr<const AccountHistory> archived;  // the archive's history as last built
    std::shared_ptr<const SavedReport> saved;        // the report last saved and archived, until a build takes it
    bool approvalOn = false;  // the two-person release (policy "Jovahagyas" or jovahagyas=1)
    RoadLimits roadLimits;    // kuldesi_hatarido, tertiveveny_hatarido
    std::filesystem::path outboxFolder;  // where an approved report's file to sign goes (policy or key "Kimeno")
    // Each load command's last file, and the last report saved.
    std::filesystem::path lastApehFile;
    std::filesystem::path lastXmlFile;
    std::filesystem::path lastReportFile;
    std::filesystem::path lastRegistryList, lastBankList;  // the reconciliation's
    RecoveryState recovery;
    std::u16string lastSearch;  // what "Keresés..." looked for last
    // The row of the check list's line the officer last jumped to: the list
    // opened again with F8 stands on the line after it.
    std::optional<std::pair<ViewKind, std::size_t>> lastCheckJump;
    UndoHistory history;        // the steps "Visszavonás" and "Ismétlés" take

    SettingsFile settings() const { return SettingsFile(settingsPath); }
};

}  // namespace kovirant
