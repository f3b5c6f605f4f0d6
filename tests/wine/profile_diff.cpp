// Runs the same profile-file cases through Windows' own private-profile
// functions and through Kovirant's, and fails on any difference in the value
// returned, the count returned or the file written.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../profile_helpers.h"

namespace {

struct Op {
    enum Kind { Get, Write } kind;
    const char* section;
    const char* key;
    const char* text;  // default for Get, value for Write
    int capacity;
};

struct Case {
    const char* name;
    std::string initial;  // empty: no file at the start
    std::vector<Op> ops;
};

std::string readAll(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<no file>";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

void writeAll(const std::string& path, const std::string& bytes) {
    DeleteFileA(path.c_str());
    if (bytes.empty()) return;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string show(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 32 || c > 126) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            out += b;
        } else out += static_cast<char>(c);
    }
    if (out.size() > 300) out = out.substr(0, 300) + "...";
    return out;
}

Op get(const char* s, const char* k, const char* d, int cap = 512) { return {Op::Get, s, k, d, cap}; }
Op put(const char* s, const char* k, const char* v) { return {Op::Write, s, k, v, 0}; }

std::vector<Case> cases() {
    const std::string sample =
        "; top comment\r\n\r\n[Sec]\r\n  key1  =  value one  \r\nKEY2=\"quoted\"\r\nk3='single'\r\n"
        "k4=\"\r\nk5=\"\"\r\nk6=\"a\r\nk7= \" b \" \r\n\r\n\r\n[other]\r\nx=1\r\n[sec]\r\nkey3=dup\r\nkey1=second\r\n";
    std::string junk;
    for (int i = 0; i < 3000; ++i) junk += static_cast<char>((i * 7919 + 13) % 256 == 0 ? 1 : (i * 7919 + 13) % 256);
    std::string nul = std::string("[s]\r\na=1\0b=2\r\nc\0d=3\r\ne=x\0y\r\n", 28);
    return {
        {"missing file", "", {get("s", "k", "dflt"), get("s", "k", "", 1), get("s", "k", "  pad  ")}},
        {"sample reads", sample,
         {get("sec", "key1", "d"), get(" SEC ", "key2", "d"), get("sec", "key3", "d"), get("sec", "nokey", "def  "),
          get("sec", "key2", "d", 6), get("sec", "key2", "d", 7), get("sec", "key2", "d", 8),
          get("sec", "key1", "d", 4), get("nosec", "k", "\"qd\""), get("sec", "key1", "d", 1),
          get("sec", "k3", "d"), get("sec", "k4", "d"), get("sec", "k5", "d"), get("sec", "k6", "d"),
          get("sec", "k7", "d"), get("OTHER", "X", "d"), get("sec", " key1 ", "d")}},
        {"LF only", "[a]\nk=v\n[b]\nk=w\n", {get("a", "k", "d"), get("b", "k", "d"), put("a", "n", "1")}},
        {"CR only", "[a]\rk=v\r[b]\rk=w\r", {get("a", "k", "d"), get("b", "k", "d"), put("b", "k", "z")}},
        {"no final line end", "[a]\r\nk=last", {get("a", "k", "d"), put("a", "k2", "v2")}},
        {"missing bracket", "[s]\nk=v\n[bad\nk2=v2\n=noname\nnoeq\n",
         {get("s", "k2", "d"), get("s", "[bad", "d"), get("s", "", "d"), get("s", "noeq", "d"), put("s", "k", "w")}},
        {"section name blanks", "[ A ]\nk=v\n[B ]\nk=w\n", {get("A", "k", "d"), get(" A ", "k", "d"), get("B", "k", "d")}},
        {"long line", "[s]\nlong=" + std::string(100000, 'x') + "\nk=v\n",
         {get("s", "long", "d", 600), get("s", "k", "d"), put("s", "k", "w")}},
        {"binary junk", junk + "\n[s]\nk=v\n", {get("s", "k", "d"), put("s", "k", "w")}},
        {"nul bytes", nul, {get("s", "a", "d"), get("s", "b", "d"), get("s", "c", "d"), get("s", "e", "d")}},
        {"write new file", "",
         {put("ADATLAP", "cim", "x"), put("ADATLAP", "targy", "  y  "), put("adatlap", "CIM", "z"),
          get("ADATLAP", "cim", "d")}},
        {"write existing", sample,
         {put("sec", "newkey", "nv"), put("other", "x", "2"), put("New", "k", "v"), put("sec", "key3", "into first"),
          put("sec", "key1", "value one"), get("sec", "key3", "d")}},
        {"write same value keeps file", "[s]\n k = v \n", {put("s", "k", "v")}},
        {"blank lines and comments", "\r\n\r\n;c1\r\n[s]\r\n\r\n;c2\r\nk=v\r\n\r\n\r\n[t]\r\n", {put("s", "n", "1")}},
        {"duplicate keys", "[s]\nk=1\nK=2\n", {get("s", "k", "d"), put("s", "k", "3")}},
        {"hungarian values", "[ADATLAP]\nCnev=\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p\n",
         {get("ADATLAP", "Cnev", "d"), put("ADATLAP", "hely", "Gy\xF5r")}},
    };
}

std::string tempDir() {
    char buf[MAX_PATH];
    GetTempPathA(MAX_PATH, buf);
    std::string dir = std::string(buf) + "kovirant-profile-diff";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

int main() {
    const std::string dir = tempDir();
    const std::string winFile = dir + "\\windows.ini";
    const std::string ourFile = dir + "\\ours.ini";
    int failures = 0, checks = 0;
    for (const Case& c : cases()) {
        writeAll(winFile, c.initial);
        writeAll(ourFile, c.initial);
        for (const Op& op : c.ops) {
            ++checks;
            if (op.kind == Op::Get) {
                std::vector<char> buf(op.capacity + 1, '#');
                DWORD n = GetPrivateProfileStringA(op.section, op.key, op.text, buf.data(), op.capacity, winFile.c_str());
                std::string theirs(buf.data(), n);
                std::string ours = kovirant::getProfileString(ourFile, op.section, op.key, op.text, op.capacity);
                if (theirs != ours) {
                    ++failures;
                    std::printf("FAIL %s: get [%s] %s cap %d: windows '%s' (%lu), ours '%s' (%u)\n", c.name, op.section,
                                op.key, op.capacity, show(theirs).c_str(), n, show(ours).c_str(),
                                static_cast<unsigned>(ours.size()));
                }
            } else {
                BOOL ok = WritePrivateProfileStringA(op.section, op.key, op.text, winFile.c_str());
                int err = kovirant::writeProfileString(ourFile, op.section, op.key, op.text);
                if ((ok != 0) != (err == 0)) {
                    ++failures;
                    std::printf("FAIL %s: write [%s] %s: windows %d, ours %d\n", c.name, op.section, op.key, ok, err);
                }
            }
        }
        ++checks;
        std::string theirs = readAll(winFile), ours = readAll(ourFile);
        if (theirs != ours) {
            ++failures;
            size_t at = 0;
            while (at < theirs.size() && at < ours.size() && theirs[at] == ours[at]) ++at;
            size_t from = at > 40 ? at - 40 : 0;
            std::printf("FAIL %s: files differ at byte %u\n  windows: %s\n  ours:    %s\n", c.name,
                        static_cast<unsigned>(at), show(theirs.substr(from, 120)).c_str(),
                        show(ours.substr(from, 120)).c_str());
        }
    }
    DeleteFileA(winFile.c_str());
    DeleteFileA(ourFile.c_str());
    std::printf("profile differential: %d checks, %d differences\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
