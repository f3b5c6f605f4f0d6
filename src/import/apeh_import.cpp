#include "import/apeh_import.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editing/pick_lists.h"
#include "import/line_reader.h"
#include "text/format.h"
#include "util/file_io.h"

namespace kovirant {

std::string apehQuestion(std::string_view fault, long long lineNumber) {
    return std::string(fault) + ": " + std::to_string(lineNumber) + ". sor. Folytatja ?";
}

std::optional<std::string_view> checkApehLine(std::string_view line, RegisterEntry& entry) {
    if (line.size() != kApehLineLength) return "A sor nem 216 karakter hosszú";

    using namespace apeh_field;
    const std::string_view tax = line.substr(kTaxAt, kTaxLength);
    if (!allDigits(tax)) return "Hibás karakter az törzsszámban";

    std::string& account = entry[RegisterCol::accountNumber];
    account.assign(line.substr(kAccountAt, kAccountLength));
    for (std::size_t i = 0; i < account.size(); ++i) {
        // The last eight characters of a 16-digit account are blanks.
        if (i >= kAccountDigits && account[i] == ' ') account[i] = '0';
        if (!isDigit(account[i])) return "Hibás karakter a pénzforgalmi jelzőszámban";
    }

    const std::string_view date = line.substr(kDateAt, apeh_field::kDateLength);
    if (!allDigits(date)) return "Hibás karakter a számla nyitás/zárás dátumában";

    const char code = line[kCodeAt];
    const bool opening = code == 'U' || code == '1' || code == ' ';
    const bool closing = code == 'T' || code == '2';
    if (!opening && !closing) return "Hibás jelzőkód";

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

namespace {

ApehOutcome importLines(std::FILE* file, RecordTables& tables, const ApehFaultHandler& handle,
                        std::vector<std::uint32_t>* rowLines) {
    ApehOutcome outcome;
    TextLineReader reader(file);
    RegisterEntry entry;
    std::string_view piece;
    long long fileLine = 1;
    while (reader.next(piece)) {
        // The line ends at its first CR or LF; a piece has LF last if at all,
        // and a piece without one goes on in the next (the same file line).
        const long long at = fileLine;
        std::string_view line = piece;
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
            ++fileLine;
        }
        if (const void* cr = std::memchr(line.data(), '\r', line.size()))
            line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(cr) - line.data()));
        ++outcome.lines;
        if (const auto fault = checkApehLine(line, entry)) {
            if (handle({*fault, outcome.lines, at, line.empty()})) continue;
            outcome.status = ApehStatus::Stopped;
            return outcome;
        }
        tables.appendRow(ViewRegister, entry);
        if (rowLines) rowLines->push_back(static_cast<std::uint32_t>(at));
        ++outcome.rowsAppended;
    }
    if (reader.error() != 0) {
        outcome.status = ApehStatus::ReadFailed;
        outcome.errorCode = reader.error();
    }
    return outcome;
}

ApehFaultHandler asking(const ApehQuestion& ask) {
    return [&ask](const ApehLineFault& f) { return ask(apehQuestion(f.fault, f.line)); };
}

}  // namespace

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehQuestion& ask) {
    return ImportApehFile(path, tables, asking(ask));
}

ApehOutcome ImportApehStream(std::FILE* file, RecordTables& tables, const ApehQuestion& ask) {
    return importLines(file, tables, asking(ask), nullptr);
}

ApehOutcome ImportApehFile(const std::filesystem::path& path, RecordTables& tables, const ApehFaultHandler& handle,
                           std::vector<std::uint32_t>* rowLines) {
    const OpenedFile opened = openFile(path, "rb");
    if (!opened) {
        ApehOutcome outcome;
        outcome.status = ApehStatus::CannotOpen;
        outcome.errorCode = opened.error;
        return outcome;
    }
    // The row list sized once from the file (a line and its CR LF a row), not
    // grown by copies as the rows come; a hint at most a few million rows.
    constexpr std::uintmax_t kMostHinted = std::uintmax_t{1} << 22;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec) tables.reserveRows(ViewRegister, static_cast<std::size_t>(std::min(kMostHinted, size / (kApehLineLength + 2))));
    return importLines(opened.file.get(), tables, handle, rowLines);
}

}  // namespace kovirant
