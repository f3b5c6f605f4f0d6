// The one list of the data sheet's keys in section "ADATLAP": name, default,
// the form field that holds it, its typing limit and how it is stored, in the
// order the data sheet writes them. Settings, data sheet, writer and dialog
// all go through it; code names a key by `DsKey`, so a misspelt key does not
// compile.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kovirant {

// What the data sheet dialog's controls hold; each field is named after its key.
struct DataSheetForm {
    std::string cim, targy, Unev, Uemail, Utelefon, Utelefax, SZnev, SZemail;
    std::string cjsz1, cjsz2, cjsz3, adoszam;
    std::string Cnev, irsz, hely, terulet, hazszam, epulet, ajto, kategoria, targyszo;
    std::optional<int> jelleg;  // StreetTypeList entry (the list is not sorted here)
    std::optional<int> szint;   // FloorList entry
};

enum class DsKey {
    cim, targy, Unev, Uemail, Utelefon, Utelefax, SZnev, SZemail, cjsz1, cjsz2, cjsz3, adoszam,
    Cnev, irsz, hely, terulet, hazszam, epulet, ajto, kategoria, targyszo, jelleg, szint,
};
inline constexpr std::size_t kDataSheetKeyCount = 23;

enum class DsStorage {
    Text,       // as typed, cut to the limit
    Number,     // the typed number's value, zero-padded to the limit ("%0Nd")
    ListEntry,  // the text of the selected pick-list entry
};

struct DataSheetKey {
    DsKey id;
    std::string_view key;
    std::string_view defaultValue;
    int limit;  // typing limit and stored length; 0 for list entries
    DsStorage storage;
    std::string DataSheetForm::*text = nullptr;              // Text and Number keys
    std::optional<int> DataSheetForm::*entry = nullptr;      // ListEntry keys
    std::span<const std::string_view> (*entries)() = nullptr;  // ListEntry keys: the pick list
};

// The 23 keys in file order; DataSheetKeys()[i].id == DsKey(i).
std::span<const DataSheetKey> DataSheetKeys();
const DataSheetKey& dataSheetKey(DsKey id);

}  // namespace kovirant
