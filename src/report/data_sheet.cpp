#include "report/data_sheet.h"

#include <cstdio>

#include "editing/pick_lists.h"
#include "text/format.h"

namespace kovirant {
namespace {

using F = DataSheetForm;
constexpr DataSheetField kFields[] = {
    {"cim", &F::cim, 511},           {"targy", &F::targy, 511},     {"Unev", &F::Unev, 511},
    {"Uemail", &F::Uemail, 511},     {"Utelefon", &F::Utelefon, 511}, {"Utelefax", &F::Utelefax, 511},
    {"SZnev", &F::SZnev, 511},       {"SZemail", &F::SZemail, 511}, {"cjsz1", &F::cjsz1, 2},
    {"cjsz2", &F::cjsz2, 2},         {"cjsz3", &F::cjsz3, 6},       {"adoszam", &F::adoszam, 8},
    {"Cnev", &F::Cnev, 511},         {"irsz", &F::irsz, 4},         {"hely", &F::hely, 511},
    {"terulet", &F::terulet, 511},   {"hazszam", &F::hazszam, 10},  {"epulet", &F::epulet, 10},
    {"ajto", &F::ajto, 10},          {"kategoria", &F::kategoria, 511}, {"targyszo", &F::targyszo, 511},
};

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

std::span<const DataSheetField> DataSheetFields() { return kFields; }

DataSheetForm openDataSheet(const SettingsFile& settings) {
    const Profile profile = loadProfile(settings.path());
    DataSheetForm form;
    for (const DataSheetField& f : kFields) form.*f.member = dataSheetValue(profile, f.key);
    form.jelleg = selectionOf(StreetTypeList(), dataSheetValue(profile, "jelleg"));
    form.szint = selectionOf(FloorList(), dataSheetValue(profile, "szint"));
    return form;
}

std::optional<EditorMessage> checkDataSheet(const DataSheetForm& f, int maxtk, int maxcf) {
    const int area = readNumber(f.cjsz1);
    if (area < 1 || area > maxtk) return warning("Hibás cégszám (területi kód)");
    const int form = readNumber(f.cjsz2);
    if (form < 1 || form > maxcf) return warning("Hibás cégszám (cégforma kód)");
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
    if (auto message = checkDataSheet(f, maxtk, maxcf)) return {false, message};
    auto text = [](const std::string& s, std::size_t max) { return std::string(cut(s, max)); };
    const std::vector<std::pair<std::string, std::string>> values = {
        {"cim", text(f.cim, kFieldMax)},
        {"targy", text(f.targy, kFieldMax)},
        {"Unev", text(f.Unev, kFieldMax)},
        {"Uemail", text(f.Uemail, kFieldMax)},
        {"Utelefon", text(f.Utelefon, kFieldMax)},
        {"Utelefax", text(f.Utelefax, kFieldMax)},
        {"SZnev", text(f.SZnev, kFieldMax)},
        {"SZemail", text(f.SZemail, kFieldMax)},
        {"cjsz1", zeroPadNumber(readNumber(f.cjsz1), 2)},
        {"cjsz2", zeroPadNumber(readNumber(f.cjsz2), 2)},
        {"cjsz3", zeroPadNumber(readNumber(f.cjsz3), 6)},
        {"adoszam", zeroPadNumber(readNumber(f.adoszam), 8)},
        {"Cnev", text(f.Cnev, kFieldMax)},
        {"irsz", text(f.irsz, 4)},
        {"hely", text(f.hely, kFieldMax)},
        {"terulet", text(f.terulet, kFieldMax)},
        {"hazszam", text(f.hazszam, 10)},
        {"epulet", text(f.epulet, 10)},
        {"ajto", text(f.ajto, 10)},
        {"kategoria", text(f.kategoria, kFieldMax)},
        {"targyszo", text(f.targyszo, kFieldMax)},
        {"jelleg", selectedText(StreetTypeList(), f.jelleg)},
        {"szint", selectedText(FloorList(), f.szint)},
    };
    if (const int code = settings.writeDataSheet(values); code != 0) {
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "Nem sikerült az adatlapot menteni. Ellenőrizze hogy az a könyvtár ahol az kovirant program "
                      "van, nem írásvédett-e! Hibakód=%d",
                      code);
        return {false, warning(buf)};
    }
    return {true, std::nullopt};
}

}  // namespace kovirant
