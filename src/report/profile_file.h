// Profile (INI) files read and written as Windows' private-profile
// functions do: section and key names matched without regard to case,
// blanks around names and values trimmed, one pair of surrounding quotes
// removed on read, the first matching section and key win, a missing file,
// section or key created on write. Writes replace the file atomically.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovirant {

struct ProfileKey {
    std::string name;
    std::optional<std::string> value;  // none for a line without '='
};

struct ProfileSection {
    std::string name;  // empty for the lines before the first section
    std::vector<ProfileKey> keys;
};

struct Profile {
    std::vector<ProfileSection> sections;

    static Profile parse(std::string_view bytes);
    std::string serialize() const;

    // The stored value, or nullopt when the section, the key or its value
    // is missing.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;
    // Sets a value, creating the section and the key as needed. Returns false
    // when the stored value already equals it.
    bool set(std::string_view section, std::string_view key, std::string_view value);
};

// GetPrivateProfileString over an already read profile: the value or the
// default, cut to capacity - 1 characters.
std::string profileValue(const Profile& profile, std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity);

// Reads a profile file; an unreadable or missing file gives an empty profile.
Profile loadProfile(const std::filesystem::path& file);

// WritePrivateProfileString for several keys of one section at once, the
// file replaced atomically. Returns 0 or the system error code.
int writeProfileStrings(const std::filesystem::path& file, std::string_view section,
                        const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace kovirant
