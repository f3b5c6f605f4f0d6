// The archive's verification: every copy re-hashed, the chain and its
// proof checked, every file of the folder accounted for, and the chain
// compared with the anchors exported from the system's log.
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "archive/log_fields.h"
#include "archive/report_archive.h"
#include "archive/report_state.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/sha256.h"

namespace kovirant {

using namespace archive_log;

namespace {

// The files directly in the archive's folder that are the log's own.
bool logsOwnFile(const std::string& name) {
    const std::string log(kArchiveLogName);
    return name == log || name == log + ".sha256" || name == log + ".lock" || name == log + ".folyamatban" ||
           (name.starts_with("szamlatortenet-") && name.ends_with(".cache"));
}

}  // namespace

int readAnchors(const std::filesystem::path& file, std::vector<ArchiveAnchor>& anchors) {
    std::string bytes;
    if (const int err = readFile(file, bytes)) return err;
    // An export in UTF-16 (the event viewer's): its ASCII is all a hash needs.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const std::size_t low = bytes[0] == '\xFF' ? 0 : 1;
        std::string narrow;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            narrow += bytes[i + 1 - low] == 0 ? bytes[i + low] : '?';
        bytes.swap(narrow);
    }
    auto hex = [](char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    for (std::string_view line : linesOf(bytes)) {
        std::vector<std::string> found;
        for (std::size_t i = 0; i < line.size() && found.size() < 2;) {
            if (!hex(line[i])) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < line.size() && hex(line[j])) ++j;
            if (j - i == 64) {
                std::string h(line.substr(i, 64));
                for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                found.push_back(std::move(h));
            }
            i = j;
        }
        if (!found.empty()) anchors.push_back({found[0], found.size() > 1 ? found[1] : std::string()});
    }
    return 0;
}

namespace {

struct Verification {
    const std::filesystem::path& folder;
    std::vector<ArchiveFinding> findings;
    std::set<std::filesystem::path> named;
    std::map<std::string, long long> copies;  // a copy's name -> the first line that names it

    void finding(long long line, std::string text) { findings.push_back({line, std::move(text)}); }

    // The copy a line names (a report's, or a state line's receipt): inside
    // the archive, named by no earlier line, there, and of the line's SHA-256.
    void checkCopy(long long n, const std::string& name, const std::string& sha, bool receipt) {
        const std::string what = receipt ? "a tértivevény" : "a másolat";
        if (!copyStaysInside(name) || !insideArchive(folder, copyPath(folder, name))) {
            finding(n, cp1250ToUtf8(what + " útvonala kivezet az archívumból: ") + name);
            return;
        }
        if (const auto [first, fresh] = copies.emplace(name, n); !fresh) {
            finding(n, cp1250ToUtf8("a másolatot már a(z) ") + std::to_string(first->second) +
                           cp1250ToUtf8(". sor is megnevezi: ") + name);
            return;
        }
        const std::filesystem::path copy = copyPath(folder, name);
        named.insert(std::filesystem::weakly_canonical(copy));
        Sha256Digest digest{};
        if (const int err = sha256OfFile(copy, digest))
            finding(n, cp1250ToUtf8("hiányzik " + what + (receipt ? " másolata: " : ": ")) + name +
                           cp1250ToUtf8(" (Hibakód=") + std::to_string(err) + ")");
        else if (hexOf(digest) != sha)
            finding(n, cp1250ToUtf8(what + (receipt ? " másolata megváltozott: " : " megváltozott: ")) + name);
    }

    // Every file of the folder that no line names, but the log's own and the
    // copy of an archiving under way or stopped (the next one removes it).
    void findUnnamedFiles() {
        std::string pending;
        if (readFile(pendingOf(folder), pending) == 0) pending.resize(std::min(pending.size(), pending.find_first_of("\r\n")));
        else pending.clear();
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            const std::u8string relative = std::filesystem::relative(it->path(), folder, ec).generic_u8string();
            const std::string name(relative.begin(), relative.end());
            if (it.depth() == 0 && logsOwnFile(utf8Path(it->path().filename()))) continue;
            if (named.count(std::filesystem::weakly_canonical(it->path()))) continue;
            if (!pending.empty() && name.starts_with(pending)) continue;
            finding(0, cp1250ToUtf8("a naplóban nem szereplő állomány: ") + name);
        }
    }

    // Every line among the anchors kept elsewhere, and no anchored line missing after its previous one.
    void checkAnchors(const std::vector<ArchiveAnchor>& anchors, const std::map<std::string, long long>& lineOf) {
        std::set<std::string> anchored;
        for (const ArchiveAnchor& a : anchors) anchored.insert(a.sha256);
        for (const auto& [hash, n] : lineOf)
            if (!anchored.count(hash))
                finding(n, cp1250ToUtf8("a sor nem szerepel a külső horgonyok között (SHA-256=") + hash + ")");
        for (const ArchiveAnchor& a : anchors) {
            const auto before = lineOf.find(a.previous);
            if (before != lineOf.end() && !lineOf.count(a.sha256))
                finding(before->second, cp1250ToUtf8("a külső horgony szerint e sor után következő sor hiányzik a naplóból (SHA-256=") +
                                            a.sha256 + ")");
        }
        std::stable_sort(findings.begin(), findings.end(),
                         [](const ArchiveFinding& x, const ArchiveFinding& y) { return x.line < y.line; });
    }
};

}  // namespace

std::vector<ArchiveFinding> verifyArchive(const std::filesystem::path& folder, int& errorCode,
                                          const std::vector<ArchiveAnchor>* anchors) {
    Verification v{folder, {}, {}, {}};
    auto finding = [&v](long long line, std::string text) { v.finding(line, std::move(text)); };
    std::string log;
    errorCode = readFile(logOf(folder), log);
    if (errorCode != 0) return v.findings;
    if (!log.starts_with(kMark)) finding(1, cp1250ToUtf8("a napló nem UTF-8 jelöléssel kezdődik"));
    const std::vector<std::string_view> lines = linesOf(log);
    if (lines.empty() || lines[0] != headerLine()) finding(1, cp1250ToUtf8("a napló fejléce nem a programé"));
    const std::string mismatch = cp1250ToUtf8(kActionMismatch);
    std::map<std::string, long long> lineOf;  // a line's SHA-256 -> its line
    std::map<std::string, ReportState> states;  // an archived report's SHA-256 -> its state so far
    // A state line names a report archived before it, in an allowed order;
    // its receipt's copy is hashed again.
    auto checkStateLine = [&](long long n, const std::vector<std::string>& f) {
        const auto it = states.find(f[6]);
        const std::optional<ReportState> to = stateNamed(utf8ToCp1250(f[4]));
        if (it == states.end())
            finding(n, cp1250ToUtf8("az állapotsor nem archivált jelentést nevez meg (SHA-256=") + f[6] + ")");
        else if (!to || cp1250ToUtf8(actionOf(*to)) != f[1])
            finding(n, cp1250ToUtf8("az állapotsor állapota ismeretlen: ") + f[4]);
        else if (!allowedTransition(it->second, *to))
            finding(n, cp1250ToUtf8("az állapotok sorrendje hibás: \"") + cp1250ToUtf8(stateName(it->second)) +
                           cp1250ToUtf8("\" után nem következhet \"") + f[4] + "\"");
        else
            it->second = *to;
        if (!f[5].empty()) v.checkCopy(n, f[5], f[7], true);
    };
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const long long n = static_cast<long long>(i) + 1;
        lineOf.emplace(hexOf(sha256(lines[i])), n);
        const std::vector<std::string> f = splitFields(lines[i]);
        if (f.size() != kFields) {
            finding(n, cp1250ToUtf8("a sor nem a napló sora (") + std::to_string(f.size()) + cp1250ToUtf8(" mező)"));
            continue;
        }
        if (f[11] != hexOf(sha256(lines[i - 1])))
            finding(n, cp1250ToUtf8("megszakadt a lánc: az előző sor megváltozott, hiányzik vagy máshová került"));
        if (f[1] == mismatch) {
            finding(n, cp1250ToUtf8("itt a napló utolsó sora nem az volt, amelyet a naplo.csv.sha256 igazolt (") + f[4] +
                           "; " + f[2] + ", " + f[3] + ", " + f[0] + ")");
            continue;
        }
        if (isStateAction(f[1])) {
            checkStateLine(n, f);
            continue;
        }
        states.emplace(f[6], ReportState::Saved);
        v.checkCopy(n, f[5], f[6], false);
    }
    int headErr = 0;
    const std::vector<std::string> head = headHashes(folder, headErr);
    // (Two hashes: an archiving stopped between the proof and the log; either line is proven.)
    if (lines.size() > 1 && std::find(head.begin(), head.end(), hexOf(sha256(lines.back()))) == head.end())
        finding(static_cast<long long>(lines.size()),
                cp1250ToUtf8("a napló utolsó sora megváltozott vagy hiányzik (") + std::string(kArchiveLogName) +
                    ".sha256)");
    v.findUnnamedFiles();
    if (anchors) v.checkAnchors(*anchors, lineOf);
    return std::move(v.findings);
}

}  // namespace kovirant
