// The settings file "Kovirant.ini": the limits of section "GENERAL" and the
// data sheet of section "ADATLAP".
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editing/deadline.h"
#include "report/data_sheet_keys.h"
#include "report/profile_file.h"

namespace kovirant {

inline constexpr std::string_view kSettingsFileName = "Kovirant.ini";
inline constexpr std::string_view kSectionGeneral = "GENERAL";
inline constexpr std::string_view kSectionDataSheet = "ADATLAP";

// Read capacities: the value is cut to one character less.
inline constexpr std::size_t kStartupCapacity = 128;
inline constexpr std::size_t kDataSheetCapacity = 512;
inline constexpr std::size_t kAdoszamCapacity = 9;
inline constexpr int kDefaultSendingDays = 1;
inline constexpr int kDefaultReceiptDays = 2;

std::string_view dataSheetDefault(std::string_view key);

// What the main window reads when it is created.
struct StartupSettings {
    bool pathFormed = false;             // false: "Filerendszer hiba"
    std::filesystem::path settingsPath;  // empty when not formed
    int maxtk = 0;
    int maxcf = 0;
    bool DataSheetFilled = false;
    // "hatarido" of section GENERAL: the reporting deadline in days. A value
    // that is not a whole number from 1 to 365 is refused (kept here as
    // written) and the default is used.
    int hatarido = kDefaultDeadlineDays;
    std::optional<std::string> hataridoRefused;
    // The report's road after the save (section GENERAL): "jovahagyas=1"
    // asks a second officer's approval; "Kimeno" names the outbox folder;
    // "kuldesi_hatarido" and "tertiveveny_hatarido" are the days a report
    // may wait to be sent and for its receipt (refused as "hatarido" is).
    bool jovahagyas = false;
    std::string Kimeno;
    int kuldesiHatarido = kDefaultSendingDays;
    int tertivevenyHatarido = kDefaultReceiptDays;
    std::vector<std::pair<std::string, std::string>> limitsRefused;  // key, value as written
};

inline constexpr std::string_view kDeadlineKey = "hatarido";
inline constexpr std::string_view kApprovalKey = "jovahagyas";
inline constexpr std::string_view kOutboxKey = "Kimeno";
inline constexpr std::string_view kSendingDaysKey = "kuldesi_hatarido";
inline constexpr std::string_view kReceiptDaysKey = "tertiveveny_hatarido";
// The message about a refused "kuldesi_hatarido" or "tertiveveny_hatarido".
std::string limitRefusal(std::string_view key, std::string_view value, int fallback);
// The message about a refused "hatarido" value.
std::string deadlineRefusal(std::string_view value);

// Forms the settings path from `currentDirectory` (nullopt when it could not
// be had) and reads maxtk, maxcf and Cnev.
StartupSettings readStartupSettings(const std::optional<std::filesystem::path>& currentDirectory);

// The same from a named settings file.
StartupSettings readSettingsFile(const std::filesystem::path& file);

// The process's current directory, or nullopt.
std::optional<std::filesystem::path> currentDirectory();

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}
    const std::filesystem::path& path() const { return path_; }

    // Writes "ADATLAP" keys in one atomic replacement; 0 or the error code.
    int writeDataSheet(const std::vector<std::pair<std::string, std::string>>& values) const;

private:
    std::filesystem::path path_;
};

// A data sheet key of an already read profile, with its default.
std::string dataSheetValue(const Profile& profile, std::string_view key, std::size_t capacity = kDataSheetCapacity);
inline std::string dataSheetValue(const Profile& profile, DsKey key, std::size_t capacity = kDataSheetCapacity) {
    return dataSheetValue(profile, dataSheetKey(key).key, capacity);
}

}  // namespace kovirant
