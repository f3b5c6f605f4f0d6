#include "archive/log_fields.h"

#include <algorithm>

#include "archive/report_archive.h"
#include "text/cp1250.h"
#include "util/file_io.h"

namespace kovirant::archive_log {

std::string headerLine() {
    return cp1250ToUtf8(
        "Időpont;Művelet;Felhasználó;Gép;Jelentés;Másolat;SHA-256;Cégjegyzék;Cégnyilvántartás;"
        "Számlaszámváltozás;Program;Előző sor SHA-256");
}

bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || (n > 1 && c < 0xC2) || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string utf8Path(const std::filesystem::path& p) {
    const std::u8string u = p.u8string();
    const std::string s(u.begin(), u.end());
    return isUtf8(s) ? s : cp1250ToUtf8(s);
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    if (text.starts_with(kMark)) text.remove_prefix(kMark.size());
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    return lines;
}

std::filesystem::path logOf(const std::filesystem::path& folder) { return folder / std::string(kArchiveLogName); }
std::filesystem::path headOf(const std::filesystem::path& folder) {
    return folder / (std::string(kArchiveLogName) + ".sha256");
}
std::filesystem::path pendingOf(const std::filesystem::path& folder) {
    return folder / (std::string(kArchiveLogName) + ".folyamatban");
}

bool copyStaysInside(std::string_view copy) {
    if (copy.empty() || copy.front() == '/' || copy.front() == '\\' || copy.find(':') != std::string_view::npos)
        return false;
    std::size_t at = 0;
    while (at <= copy.size()) {
        const std::size_t end = std::min(copy.find_first_of("/\\", at), copy.size());
        const std::string_view part = copy.substr(at, end - at);
        if (part == ".." || part.empty()) return false;
        at = end + 1;
    }
    return true;
}

std::vector<std::string> headHashes(const std::filesystem::path& folder, int& errorCode) {
    std::string head;
    errorCode = readFile(headOf(folder), head);
    std::vector<std::string> hashes;
    for (std::string_view line : linesOf(head))
        if (line.size() >= 64) hashes.emplace_back(line.substr(0, 64));
    return hashes;
}

}  // namespace kovirant::archive_log
