#include "report/settings.h"

#include <system_error>

#include "text/format.h"

namespace kovirant {
namespace {

constexpr DataSheetKey kKeys[] = {
    {"cim", "Pénzintézeti jelentés"},
    {"targy", "Cégek pénzforgalmi számlaszám változásainak jelentése"},
    {"Unev", ""},
    {"Uemail", ""},
    {"Utelefon", ""},
    {"Utelefax", ""},
    {"SZnev", ""},
    {"SZemail", ""},
    {"cjsz1", ""},
    {"cjsz2", ""},
    {"cjsz3", ""},
    {"adoszam", ""},
    {"Cnev", ""},
    {"irsz", ""},
    {"hely", ""},
    {"terulet", ""},
    {"hazszam", ""},
    {"epulet", ""},
    {"ajto", ""},
    {"kategoria", "Kötelezettség"},
    {"targyszo", ""},
    {"jelleg", ""},
    {"szint", ""},
};
static_assert(std::size(kKeys) == 23);

}  // namespace

std::span<const DataSheetKey> DataSheetKeys() { return kKeys; }

std::string_view dataSheetDefault(std::string_view key) {
    for (const DataSheetKey& k : kKeys)
        if (k.key == key) return k.defaultValue;
    return {};
}

std::optional<std::filesystem::path> currentDirectory() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::current_path(ec);
    if (ec || dir.empty()) return std::nullopt;
    return dir;
}

StartupSettings readStartupSettings(const std::optional<std::filesystem::path>& dir) {
    StartupSettings s;
    if (!dir || dir->empty()) return s;
    s.pathFormed = true;
    s.settingsPath = *dir / std::filesystem::path(std::string(kSettingsFileName));
    const Profile profile = loadProfile(s.settingsPath);
    s.maxtk = readNumber(profileValue(profile, kSectionGeneral, "maxtk", "20", kStartupCapacity));
    s.maxcf = readNumber(profileValue(profile, kSectionGeneral, "maxcf", "18", kStartupCapacity));
    s.DataSheetFilled = !profileValue(profile, kSectionDataSheet, "Cnev", "", kStartupCapacity).empty();
    return s;
}

std::string dataSheetValue(const Profile& profile, std::string_view key, std::size_t capacity) {
    return profileValue(profile, kSectionDataSheet, key, dataSheetDefault(key), capacity);
}

std::string SettingsFile::readDataSheetKey(std::string_view key, std::size_t capacity) const {
    return dataSheetValue(loadProfile(path_), key, capacity);
}

int SettingsFile::writeDataSheet(const std::vector<std::pair<std::string, std::string>>& values) const {
    return writeProfileStrings(path_, kSectionDataSheet, values);
}

}  // namespace kovirant
