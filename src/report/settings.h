// The settings file "Kovirant.ini": the limits of section "GENERAL" and the
// data sheet of section "ADATLAP".
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
};

inline constexpr std::string_view kDeadlineKey = "hatarido";
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
