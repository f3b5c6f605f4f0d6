#include "report/data_sheet.h"

#include <cstdio>

#include "editing/pick_lists.h"
#include "editing/rules.h"
#include "text/format.h"

namespace kovirant {
namespace {

std::optional<int> selectionOf(std::span<const std::string_view> list, const std::string& stored) {
    if (stored.empty()) return std::nullopt;
    return lastEqualEntry(list, stored);
}

EditorMessage warning(std::string_view text) { return {std::string(text), std::string(kCaptionError)}; }

std::string selectedText(std::span<const std::string_view> list, const std::optional<int>& index) {
    if (!index || *index < 0 || *index >= static_cast<int>(list.size())) return {};
    return std::string(list[static_cast<std::size_t>(*index)]);
}

}  // namespace

DataSheetForm openDataSheet(const SettingsFile& settings) {
    const Profile profile = loadProfile(settings.path());
    DataSheetForm form;
    for (const DataSheetKey& k : DataSheetKeys()) {
        const std::string value = dataSheetValue(profile, k.id);
        if (k.storage == DsStorage::ListEntry) form.*k.entry = selectionOf(k.entries(), value);
        else form.*k.text = value;
    }
    return form;
}

std::optional<EditorMessage> checkDataSheet(const DataSheetForm& f, int maxtk, int maxcf) {
    if (!CheckAreaCode(f.cjsz1, maxtk)) return warning("Hibás cégszám (területi kód)");
    if (!CheckFormCode(f.cjsz2, maxcf)) return warning("Hibás cégszám (cégforma kód)");
    // Intended: the tax number is compared by its value, not its length.
    if (readNumber(f.adoszam) < 8) return warning("Hibás törzsszám!");
    if (f.Cnev.empty()) return warning("Hiányzó név!");
    if (f.irsz.empty()) return warning("Hiányzó irányítószám!");
    if (f.hely.empty()) return warning("Hiányzó helységnév!");
    if (f.terulet.empty()) return warning("Hiányzó területnév!");
    if (selectedText(StreetTypeList(), f.jelleg).empty()) return warning("Hiányzik a terület jellege!");
    if (f.hazszam.empty()) return warning("Hiányzó házszám!");
    if (f.Uemail.empty()) return warning("Hiányzik az ügyintéző email címe!");
    // The author: a name needs an e-mail and an e-mail a name.
    if (!f.SZnev.empty() && f.SZemail.empty()) return warning("Hiányzik az ügyintéző email címe!");
    if (f.SZnev.empty() && !f.SZemail.empty()) return warning("Hiányzik az ügyintéző neve!");
    return std::nullopt;
}

DataSheetSaveResult saveDataSheet(const DataSheetForm& f, const SettingsFile& settings, int maxtk, int maxcf) {
    if (auto message = checkDataSheet(f, maxtk, maxcf)) return {DataSheetStatus::Refused, message, 0};
    std::vector<std::pair<std::string, std::string>> values;
    for (const DataSheetKey& k : DataSheetKeys()) {
        std::string stored;
        switch (k.storage) {
            case DsStorage::Text: stored = cut(f.*k.text, static_cast<std::size_t>(k.limit)); break;
            case DsStorage::Number: stored = zeroPadNumber(readNumber(f.*k.text), k.limit); break;
            case DsStorage::ListEntry: stored = selectedText(k.entries(), f.*k.entry); break;
        }
        values.emplace_back(k.key, std::move(stored));
    }
    if (const int code = settings.writeDataSheet(values); code != 0) {
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "Nem sikerült az adatlapot menteni. Ellenőrizze hogy az a könyvtár ahol az kovirant program "
                      "van, nem írásvédett-e! Hibakód=%d",
                      code);
        return {DataSheetStatus::WriteFailed, warning(buf), code};
    }
    return {};
}

}  // namespace kovirant
