#include "cli/findings.h"

#include <cstdio>

#include "text/cp1250.h"

namespace kovirant::cli {
namespace {

std::string severity(const Finding& f) { return cp1250ToUtf8(f.warning ? "figyelmeztetés" : "hiba"); }

}  // namespace

void appendText(std::string& out, const Finding& f) {
    out += f.place;
    if (f.number > 0) out += ":" + std::to_string(f.number);
    out += ": " + severity(f) + ": " + f.message + "\n";
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonHead(const Summary& s) {
    std::string out = "{\n  \"output\": " + (s.written ? jsonString(*s.written) : std::string("null")) + ",\n";
    out += "  \"rows\": {\"register\": " + std::to_string(s.rows[0]) + ", \"institution\": " + std::to_string(s.rows[1]) +
           ", \"accountChange\": " + std::to_string(s.rows[2]) + "},\n";
    out += "  \"filled\": " + std::to_string(s.filled) + ",\n  \"findings\": [";
    return out;
}

void appendJson(std::string& out, const Finding& f, std::size_t count) {
    out += count == 0 ? "\n    {" : ",\n    {";
    out += jsonString(f.inFile ? "file" : "table") + ": " + jsonString(f.place) + ", ";
    out += jsonString(f.inFile ? "line" : "row") + ": " + (f.number > 0 ? std::to_string(f.number) : "null") + ", ";
    out += "\"taxNumber\": " + (f.taxNumber.empty() ? std::string("null") : jsonString(f.taxNumber)) + ", ";
    out += "\"severity\": " + jsonString(severity(f)) + ", \"message\": " + jsonString(f.message) + "}";
}

std::string jsonTail(std::size_t count) { return count == 0 ? "]\n}\n" : "\n  ]\n}\n"; }

}  // namespace kovirant::cli
