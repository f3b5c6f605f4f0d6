#include "cli/findings.h"

#include <cstdio>

#include "text/cp1250.h"

namespace kovirant::cli {
namespace {

std::string severity(const Finding& f) {
    return cp1250ToUtf8(f.difference ? "eltérés" : f.warning ? "figyelmeztetés" : "hiba");
}

}  // namespace

void appendText(std::string& out, const Finding& f) {
    const bool inFile = !f.file.empty();
    out += inFile ? f.file : f.table;
    if (const long long n = inFile ? f.line : f.row; n > 0) out += ":" + std::to_string(n);
    out += ": " + severity(f) + ": " + f.message + "\n";
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t utf8Sequence(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < low || b(1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF) return 0;
    return n;
}

}  // namespace

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else if (const std::size_t n = utf8Sequence(s.substr(i)); n > 0) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no sequence
        }
        ++i;
    }
    return out + "\"";
}

std::string jsonHead(const Summary& s) {
    std::string out = "{\n  \"output\": " + (s.written ? jsonString(*s.written) : std::string("null")) + ",\n";
    out += "  \"rows\": {\"register\": " + std::to_string(s.rows[0]) + ", \"institution\": " + std::to_string(s.rows[1]) +
           ", \"accountChange\": " + std::to_string(s.rows[2]) + "},\n";
    out += "  \"filled\": " + std::to_string(s.filled) + ",\n  \"filledFromHistory\": " + std::to_string(s.fromHistory) +
           ",\n  \"openingsFilled\": " + std::to_string(s.openings) + ",\n  \"late\": " + std::to_string(s.late) +
           ",\n  \"findings\": [";
    return out;
}

void appendJson(std::string& out, const Finding& f, std::size_t count) {
    out += count == 0 ? "\n    {" : ",\n    {";
    auto number = [](long long n) { return n > 0 ? std::to_string(n) : std::string("null"); };
    if (!f.file.empty()) out += "\"file\": " + jsonString(f.file) + ", \"line\": " + number(f.line) + ", ";
    if (!f.table.empty()) out += "\"table\": " + jsonString(f.table) + ", \"row\": " + number(f.row) + ", ";
    out += "\"taxNumber\": " + (f.taxNumber.empty() ? std::string("null") : jsonString(f.taxNumber)) + ", ";
    out += "\"severity\": " + jsonString(severity(f)) + ", \"message\": " + jsonString(f.message) + "}";
}

std::string jsonTail(std::size_t count) { return count == 0 ? "]\n}\n" : "\n  ]\n}\n"; }

std::string pathText(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string utf8(std::string_view cp1250) { return cp1250ToUtf8(cp1250); }

}  // namespace kovirant::cli
