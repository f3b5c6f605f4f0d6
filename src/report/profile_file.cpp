#include "report/profile_file.h"

#include "text/cp1250.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

bool isProfileSpace(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == 0x1A; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isProfileSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isProfileSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Names and values are C strings: they end at a NUL byte.
std::string cString(std::string_view s) {
    std::size_t nul = s.find('\0');
    return std::string(nul == std::string_view::npos ? s : s.substr(0, nul));
}

// Narrower than lowerCp1250 on purpose: the system's profile functions fold
// only ASCII and the accented capitals 0xC0-0xDE (the differential test
// against them pins this), so "Ő" (0xD5) folds but "Š" (0x8A) does not.
unsigned char foldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    return c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// Files that begin with a byte-order mark hold Unicode text.
std::string decodeText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) return utf8ToCp1250(bytes.substr(kUtf8ByteOrderMark.size()));
    if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        std::u16string u;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned char lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            unsigned char hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            u.push_back(static_cast<char16_t>(hi << 8 | lo));
        }
        return utf16ToCp1250(u);
    }
    return std::string(bytes);
}

}  // namespace

Profile Profile::parse(std::string_view raw) {
    const std::string text = decodeText(raw);
    std::string_view rest = text;
    Profile p;
    p.sections.push_back({});
    while (!rest.empty()) {
        // CR, LF and CR LF all end a line; the blank lines between go.
        std::size_t end = rest.find_first_of("\r\n");
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        line = trim(line);
        if (line.empty()) continue;
        if (line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                p.sections.push_back({cString(trim(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        ProfileKey key;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            key.name = cString(line);
        } else {
            std::string_view name = line.substr(0, eq);
            while (!name.empty() && isProfileSpace(name.back())) name.remove_suffix(1);
            std::string_view value = line.substr(eq + 1);
            while (!value.empty() && isProfileSpace(value.front())) value.remove_prefix(1);
            key.name = cString(name);
            key.value = cString(value);
        }
        p.sections.back().keys.push_back(std::move(key));
    }
    return p;
}

std::string Profile::serialize() const {
    std::string out;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const ProfileSection& s = sections[i];
        if (!s.name.empty()) {
            out += '[';
            out += s.name;
            out += "]\r\n";
        }
        for (const ProfileKey& k : s.keys) {
            out += k.name;
            if (k.value) {
                out += '=';
                out += *k.value;
            }
            out += "\r\n";
        }
    }
    return out;
}

std::optional<std::string_view> Profile::find(std::string_view section, std::string_view key) const {
    section = trim(section);
    key = trim(key);
    for (const ProfileSection& s : sections) {
        if (!sameName(s.name, section)) continue;
        for (const ProfileKey& k : s.keys) {
            if (sameName(k.name, key)) {
                if (!k.value) return std::nullopt;
                return std::string_view(*k.value);
            }
        }
        return std::nullopt;  // only the first matching section is searched
    }
    return std::nullopt;
}

bool Profile::set(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    while (!value.empty() && isProfileSpace(value.front())) value.remove_prefix(1);
    ProfileSection* target = nullptr;
    for (ProfileSection& s : sections) {
        if (sameName(s.name, section)) {
            target = &s;
            break;
        }
    }
    if (target == nullptr) {
        sections.push_back({std::string(section), {}});
        target = &sections.back();
    }
    for (ProfileKey& k : target->keys) {
        if (sameName(k.name, key)) {
            if (k.value && *k.value == value) return false;
            k.value = std::string(value);
            return true;
        }
    }
    target->keys.push_back({std::string(key), std::string(value)});
    return true;
}

std::string profileValue(const Profile& profile, std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity) {
    if (capacity == 0) return {};
    std::string_view value;
    if (auto found = profile.find(section, key)) {
        value = *found;
    } else {
        value = defaultValue;
        std::size_t nul = value.find('\0');
        if (nul != std::string_view::npos) value = value.substr(0, nul);
        while (value.size() > 1 && value.back() == ' ') value.remove_suffix(1);
    }
    // One surrounding pair of quotes is removed; the closing one only when
    // the whole value fits.
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::string out(value.substr(0, std::min(value.size(), capacity - 1)));
    if (quoted && capacity >= value.size() && !out.empty()) out.pop_back();
    return out;
}

Profile loadProfile(const std::filesystem::path& file) {
    std::string bytes;
    if (readFile(file, bytes) != 0) return {};
    return Profile::parse(bytes);
}

int writeProfileStrings(const std::filesystem::path& file, std::string_view section,
                        const std::vector<std::pair<std::string, std::string>>& values) {
    std::string bytes;
    Profile profile;
    // A file that is there but cannot be read is never replaced by one built
    // without its other sections and lines.
    if (const int err = readFile(file, bytes)) {
        if (!isMissingFile(err)) return err;
    } else {
        profile = Profile::parse(bytes);
    }
    if (profile.sections.empty()) profile.sections.push_back({});
    bool changed = false;
    for (const auto& [key, value] : values) changed |= profile.set(section, key, value);
    if (!changed) return 0;
    return replaceFile(file, profile.serialize());
}

}  // namespace kovirant
