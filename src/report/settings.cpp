#include "report/settings.h"

#include <system_error>

#include "editing/pick_lists.h"
#include "editing/rules.h"
#include "text/format.h"

namespace kovirant {
namespace {

using F = DataSheetForm;
using S = DsStorage;
constexpr int kMax = static_cast<int>(kFieldMax);
constexpr DataSheetKey kKeys[] = {
    {DsKey::cim, "cim", "Pénzintézeti jelentés", kMax, S::Text, &F::cim},
    {DsKey::targy, "targy", "Cégek pénzforgalmi számlaszám változásainak jelentése", kMax, S::Text, &F::targy},
    {DsKey::Unev, "Unev", "", kMax, S::Text, &F::Unev},
    {DsKey::Uemail, "Uemail", "", kMax, S::Text, &F::Uemail},
    {DsKey::Utelefon, "Utelefon", "", kMax, S::Text, &F::Utelefon},
    {DsKey::Utelefax, "Utelefax", "", kMax, S::Text, &F::Utelefax},
    {DsKey::SZnev, "SZnev", "", kMax, S::Text, &F::SZnev},
    {DsKey::SZemail, "SZemail", "", kMax, S::Text, &F::SZemail},
    {DsKey::cjsz1, "cjsz1", "", kAreaCodeLength, S::Number, &F::cjsz1},
    {DsKey::cjsz2, "cjsz2", "", kFormCodeLength, S::Number, &F::cjsz2},
    {DsKey::cjsz3, "cjsz3", "", kSerialLength, S::Number, &F::cjsz3},
    {DsKey::adoszam, "adoszam", "", kTaxBaseLength, S::Number, &F::adoszam},
    {DsKey::Cnev, "Cnev", "", kMax, S::Text, &F::Cnev},
    {DsKey::irsz, "irsz", "", kPostalCodeLength, S::Text, &F::irsz},
    {DsKey::hely, "hely", "", kMax, S::Text, &F::hely},
    {DsKey::terulet, "terulet", "", kMax, S::Text, &F::terulet},
    {DsKey::hazszam, "hazszam", "", kAddressPartLength, S::Text, &F::hazszam},
    {DsKey::epulet, "epulet", "", kAddressPartLength, S::Text, &F::epulet},
    {DsKey::ajto, "ajto", "", kAddressPartLength, S::Text, &F::ajto},
    {DsKey::kategoria, "kategoria", "Kötelezettség", kMax, S::Text, &F::kategoria},
    {DsKey::targyszo, "targyszo", "", kMax, S::Text, &F::targyszo},
    {DsKey::jelleg, "jelleg", "", 0, S::ListEntry, nullptr, &F::jelleg, StreetTypeList},
    {DsKey::szint, "szint", "", 0, S::ListEntry, nullptr, &F::szint, FloorList},
};
static_assert(std::size(kKeys) == kDataSheetKeyCount);

constexpr bool inOrder() {
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        if (kKeys[i].id != static_cast<DsKey>(i)) return false;
    return true;
}
static_assert(inOrder(), "kKeys[i] describes DsKey(i)");

}  // namespace

std::span<const DataSheetKey> DataSheetKeys() { return kKeys; }

const DataSheetKey& dataSheetKey(DsKey id) { return kKeys[static_cast<std::size_t>(id)]; }

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
    return readSettingsFile(*dir / std::filesystem::path(std::string(kSettingsFileName)));
}

StartupSettings readSettingsFile(const std::filesystem::path& file) {
    StartupSettings s;
    s.pathFormed = true;
    s.settingsPath = file;
    const Profile profile = loadProfile(s.settingsPath);
    s.maxtk = readNumber(profileValue(profile, kSectionGeneral, "maxtk", "20", kStartupCapacity));
    s.maxcf = readNumber(profileValue(profile, kSectionGeneral, "maxcf", "18", kStartupCapacity));
    s.DataSheetFilled = !profileValue(profile, kSectionDataSheet, dataSheetKey(DsKey::Cnev).key, "", kStartupCapacity).empty();
    // A number of days: a whole number from 1 to 365, or nothing.
    auto daysOf = [](const std::string& value) -> std::optional<int> {
        const int days = allDigits(value) && value.size() <= 3 ? readNumber(value) : 0;
        if (days >= 1 && days <= kMaxDeadlineDays) return days;
        return std::nullopt;
    };
    const std::string deadline = profileValue(profile, kSectionGeneral, kDeadlineKey, "", kStartupCapacity);
    if (!deadline.empty()) {
        if (const auto days = daysOf(deadline)) s.hatarido = *days;
        else s.hataridoRefused = deadline;
    }
    for (auto [key, days] : {std::pair{kSendingDaysKey, &s.kuldesiHatarido}, std::pair{kReceiptDaysKey, &s.tertivevenyHatarido}}) {
        const std::string value = profileValue(profile, kSectionGeneral, key, "", kStartupCapacity);
        if (value.empty()) continue;
        if (const auto d = daysOf(value)) *days = *d;
        else s.limitsRefused.emplace_back(std::string(key), value);
    }
    s.jovahagyas = profileValue(profile, kSectionGeneral, kApprovalKey, "0", kStartupCapacity) == "1";
    s.Kimeno = profileValue(profile, kSectionGeneral, kOutboxKey, "", kDataSheetCapacity);
    return s;
}

std::string limitRefusal(std::string_view key, std::string_view value, int fallback) {
    return "A " + std::string(kSettingsFileName) + " " + std::string(kSectionGeneral) + " szakaszában a " +
           std::string(key) + " értéke (\"" + std::string(value) + "\") nem 1 és 365 közötti egész szám; a program " +
           std::to_string(fallback) + " napot vesz.";
}

std::string deadlineRefusal(std::string_view value) {
    return "A " + std::string(kSettingsFileName) + " " + std::string(kSectionGeneral) + " szakaszában a " +
           std::string(kDeadlineKey) + " értéke (\"" + std::string(value) +
           "\") nem 1 és 365 közötti egész szám; a program " + std::to_string(kDefaultDeadlineDays) +
           " napos határidővel ellenőriz.";
}

std::string dataSheetValue(const Profile& profile, std::string_view key, std::size_t capacity) {
    return profileValue(profile, kSectionDataSheet, key, dataSheetDefault(key), capacity);
}

int SettingsFile::writeDataSheet(const std::vector<std::pair<std::string, std::string>>& values) const {
    return writeProfileStrings(path_, kSectionDataSheet, values);
}

}  // namespace kovirant
