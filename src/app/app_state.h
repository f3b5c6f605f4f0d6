// The run's state in one place.
#pragma once

#include <filesystem>

#include "records/record_tables.h"
#include "report/settings.h"

namespace kovirant {

struct AppState {
    explicit AppState(RecordTables& t) : tables(t) {}

    RecordTables& tables;  // with CurrentView and ReportPending
    std::filesystem::path settingsPath;
    int maxtk = 0;
    int maxcf = 0;
    bool DataSheetFilled = false;
    std::filesystem::path lastFilePath;

    SettingsFile settings() const { return SettingsFile(settingsPath); }
};

}  // namespace kovirant
