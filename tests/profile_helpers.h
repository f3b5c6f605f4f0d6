// The profile calls one key at a time, as the tests compare them with the
// system's GetPrivateProfileStringA and WritePrivateProfileStringA.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "report/profile_file.h"
#include "report/settings.h"

namespace kovirant {

inline std::string getProfileString(const std::filesystem::path& file, std::string_view section,
                                    std::string_view key, std::string_view defaultValue, std::size_t capacity) {
    return profileValue(loadProfile(file), section, key, defaultValue, capacity);
}

inline int writeProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view value) {
    return writeProfileStrings(file, section, {{std::string(key), std::string(value)}});
}

// One "ADATLAP" key, fresh from the file, with its default and capacity.
inline std::string readDataSheetKey(const SettingsFile& settings, std::string_view key,
                                    std::size_t capacity = kDataSheetCapacity) {
    return dataSheetValue(loadProfile(settings.path()), key, capacity);
}

}  // namespace kovirant
