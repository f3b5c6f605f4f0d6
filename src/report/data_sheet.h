// The data sheet dialog's logic: opening from the settings file, and the
// checked save into it.
#pragma once

#include <optional>
#include <string>

#include "editing/editor_result.h"
#include "report/settings.h"

namespace kovirant {

// What the dialog's controls hold; each text field is named after its key.
struct DataSheetForm {
    std::string cim, targy, Unev, Uemail, Utelefon, Utelefax, SZnev, SZemail;
    std::string cjsz1, cjsz2, cjsz3, adoszam;
    std::string Cnev, irsz, hely, terulet, hazszam, epulet, ajto, kategoria, targyszo;
    std::optional<int> jelleg;  // StreetTypeList entry (the list is not sorted here)
    std::optional<int> szint;   // FloorList entry
};

// The edit fields in the order the dialog fills them: key, member and the
// typing limit.
struct DataSheetField {
    std::string_view key;
    std::string DataSheetForm::*member;
    int limit;
};
std::span<const DataSheetField> DataSheetFields();

// Reads the 23 keys fresh from the file, with their defaults.
DataSheetForm openDataSheet(const SettingsFile& settings);

struct DataSheetSaveResult {
    bool saved = false;
    std::optional<EditorMessage> message;  // when not saved
};

// Runs every test, then writes all 23 keys in one atomic replacement of the
// settings file. The caller sets DataSheetFilled when saved.
DataSheetSaveResult saveDataSheet(const DataSheetForm& form, const SettingsFile& settings, int maxtk, int maxcf);

// The first failing test's message, or nothing.
std::optional<EditorMessage> checkDataSheet(const DataSheetForm& form, int maxtk, int maxcf);

}  // namespace kovirant
