// The data sheet dialog's logic: opening from the settings file, and the
// checked save into it.
#pragma once

#include <optional>
#include <string>

#include "editing/editor_result.h"
#include "report/settings.h"

namespace kovirant {

// Reads the 23 keys fresh from the file, with their defaults.
DataSheetForm openDataSheet(const SettingsFile& settings);

enum class DataSheetStatus {
    Saved,        // every key written
    Refused,      // a test failed: nothing written
    WriteFailed,  // the settings file could not be replaced: as it was
};

// Like the import's, the reload's and the writer's outcome: a status, what to
// tell the officer, the system's error code.
struct DataSheetSaveResult {
    DataSheetStatus status = DataSheetStatus::Saved;
    std::optional<EditorMessage> message;  // when not saved
    int errorCode = 0;                     // WriteFailed
    bool saved() const { return status == DataSheetStatus::Saved; }
};

// Runs every test, then writes all 23 keys in one atomic replacement of the
// settings file. The caller sets DataSheetFilled when saved.
DataSheetSaveResult saveDataSheet(const DataSheetForm& form, const SettingsFile& settings, int maxtk, int maxcf);

// The first failing test's message, or nothing.
std::optional<EditorMessage> checkDataSheet(const DataSheetForm& form, int maxtk, int maxcf);

}  // namespace kovirant
