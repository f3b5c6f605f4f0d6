// The run's state in one place.
#pragma once

#include <filesystem>
#include <string>

#include "records/record_tables.h"
#include "records/undo_history.h"
#include "report/settings.h"
#include "util/os_file.h"

namespace kovirant {

// Where the recovery file stands against the tables.
struct RecoveryState {
    bool onDisk = false;                // this run wrote the file and it is there
    unsigned long long writtenAt = 0;   // the tables' change count it holds
    bool waiting = false;               // a write is scheduled for when idle
    bool warned = false;                // the officer was told it cannot be written
    bool dropped = false;               // the officer left on purpose: kept no more
    FileHold hold;                      // this run's claim on the file's name
    bool heldElsewhere = false;         // another running copy keeps the file
};

struct AppState {
    explicit AppState(RecordTables& t) : tables(t) { tables.setHistory(&history); }
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    RecordTables& tables;  // with CurrentView and ReportPending
    std::filesystem::path settingsPath;
    int maxtk = 0;
    int maxcf = 0;
    bool DataSheetFilled = false;
    std::filesystem::path lastFilePath;
    RecoveryState recovery;
    std::u16string lastSearch;  // what "Keresés..." looked for last
    UndoHistory history;        // the steps "Visszavonás" and "Ismétlés" take

    SettingsFile settings() const { return SettingsFile(settingsPath); }
};

}  // namespace kovirant
