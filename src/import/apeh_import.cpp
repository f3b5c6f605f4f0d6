#include "import/apeh_import.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editing/pick_lists.h"
#include "import/line_reader.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

std::string question(const char* pattern, long long lineNumber) {
    char buf[128];
    std::snprintf(buf, sizeof buf, pattern, lineNumber);
    return buf;
}

}  // namespace

std::optional<std::string> checkApehLine(std::string_view line, long long n, RegisterEntry& entry) {
    if (line.size() != kApehLineLength) return question("A sor nem 216 karakter hosszú: %lld. sor. Folytatja ?", n);

    const std::string_view tax = line.substr(6, 8);
    if (!allDigits(tax)) return question("Hibás karakter az törzsszámban: %lld. sor. Folytatja ?", n);

    std::string& account = entry[RegisterCol::accountNumber];
    account.assign(line.substr(17, 24));
    for (std::size_t i = 0; i < account.size(); ++i) {
        // The last eight characters of a 16-digit account are blanks.
        if (i >= 16 && account[i] == ' ') account[i] = '0';
        if (!isDigit(account[i])) return question("Hibás karakter a pénzforgalmi jelzőszámban: %lld. sor. Folytatja ?", n);
    }

    const std::string_view date = line.substr(41, 6);
    if (!allDigits(date)) return question("Hibás karakter a számla nyitás/zárás dátumában: %lld. sor. Folytatja ?", n);

    const char code = line[215];
    const bool opening = code == 'U' || code == '1' || code == ' ';
    const bool closing = code == 'T' || code == '2';
    if (!opening && !closing) return question("Hibás jelzőkód: %lld. sor. Folytatja ?", n);

    entry[RegisterCol::companyNumber].clear();
    entry[RegisterCol::taxBaseNumber].assign(tax);
    std::string& target = entry[opening ? RegisterCol::openingDate : RegisterCol::closingDate];
    entry[opening ? RegisterCol::closingDate : RegisterCol::openingDate].clear();
    // "20%02s-%02s-%02s" of the three two-character pieces
    target.assign("20");
    target.append(date.substr(0, 2));
    target.push_back('-');
    target.append(date.substr(2, 2));
    target.push_back('-');
    target.append(date.substr(4, 2));
    entry[RegisterCol::accountCode].assign(CodeList()[opening ? kCodeBejegyzes : kCodeTorles]);
    return std::nullopt;
}

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehQuestion& ask) {
    return ImportApehFile(path, tables, [&](const std::string& q, long long) { return ask(q); });
}

ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehQuestion& ask) {
    return ImportApehStream(file, tables, [&](const std::string& q, long long) { return ask(q); });
}

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehLineQuestion& ask) {
    ApehOutcome outcome;
    const OpenedFile opened = openFile(path, "rb");
    if (!opened) {
        outcome.status = ApehStatus::CannotOpen;
        outcome.errorCode = opened.error;
        return outcome;
    }
    return ImportApehStream(opened.file.get(), tables, ask);
}

ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehLineQuestion& ask) {
    ApehOutcome outcome;
    TextLineReader reader(file);
    RegisterEntry entry;
    std::string_view piece;
    while (reader.next(piece)) {
        // The line ends at its first CR or LF; a piece has LF last if at all.
        std::string_view line = piece;
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        if (const void* cr = std::memchr(line.data(), '\r', line.size()))
            line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(cr) - line.data()));
        ++outcome.lines;
        if (const auto question = checkApehLine(line, outcome.lines, entry)) {
            if (ask(*question, outcome.lines)) continue;
            outcome.status = ApehStatus::Stopped;
            return outcome;
        }
        tables.appendRow(ViewRegister, entry);
        ++outcome.rowsAppended;
    }
    return outcome;
}

}  // namespace kovirant
