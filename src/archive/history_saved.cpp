// A report this program has just written and archived, added to the history
// from the tables it was written from rather than from its copy read back:
// only where a reload of the copy gives each stored cell exactly.
#include <algorithm>
#include <array>
#include <cassert>
#include <system_error>

#include "archive/account_history.h"
#include "archive/history_layout.h"
#include "archive/report_archive.h"
#include "records/memory_table.h"
#include "report/report_writer.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/os_file.h"

namespace kovirant {

SavedTables frozenTables(const RecordTables& tables) {
    SavedTables out;
    for (ViewKind k : kAllKinds) out[k] = tables.table(k).frozenCopy();
    return out;
}

std::shared_ptr<const SavedReport> savedReport(SavedTables tables, const std::filesystem::path& copy, std::string sha256) {
    auto out = std::make_shared<SavedReport>();
    std::error_code sizeError, timeError;
    out->size = std::filesystem::file_size(copy, sizeError);
    out->time = std::filesystem::last_write_time(copy, timeError);
    if (sizeError || timeError || sha256.empty()) return nullptr;
    for (ViewKind k : kAllKinds)
        if (!tables[k]) return nullptr;
    out->copy = copy;
    out->sha256 = std::move(sha256);
    out->tables = std::move(tables);
    return out;
}

namespace {

// Whether a byte of a cell goes into the report as it is and comes back as
// it went: no markup character, no control character, none that ISO-8859-2
// reads otherwise (a character reference), and no blank where the reload
// reads a word (an attribute's value is read up to its quote). Per byte, for
// an element's value and for an attribute's.
struct PlainBytes {
    bool element[256], attribute[256];
    PlainBytes() {
        for (int c = 0; c < 256; ++c) {
            const auto b = static_cast<unsigned char>(c);
            attribute[c] = b >= 0x20 && b != '&' && b != '<' && b != '>' && b != '"' && sameInLatin2(b);
            element[c] = attribute[c] && b != ' ';
        }
    }
};
const PlainBytes kPlain;

// A stored cell's rule: the plain bytes of its form, and the one length
// other than none it may have (0: any), an attribute written only whole.
struct StoredRule {
    std::size_t column = 0;
    const bool* plain = nullptr;
    std::size_t whole = 0;
};
struct KindRules {
    std::array<StoredRule, kMostColumns> cells{};
    std::size_t count = 0;
    std::size_t company = 0;
    bool needsCompany = false;
};
KindRules rulesOf(ViewKind kind) {
    KindRules k;
    const std::span<const Column> columns = columnsOf(kind);
    for (const std::size_t c : storedColumns(kind)) {
        const ReportCell& cell = columns[c].report;
        const bool attribute = cell.form == CellForm::Attribute || cell.form == CellForm::AttributeIfWhole;
        k.cells[k.count++] = {c, attribute ? kPlain.attribute : kPlain.element,
                              cell.form == CellForm::AttributeIfWhole ? reportLengthOf(cell.length) : 0};
    }
    k.company = columnOf(kind, ColumnRole::CompanyNumber);
    k.needsCompany = reportRowsOf(kind).reloadNeedsCompany;
    return k;
}

// Whether the reload of a row the writer wrote gives back these of its
// cells (as the writer wrote them: cut to the report's length): every
// stored cell of plain bytes, an attribute written only at its whole length
// whole or empty (at any other it is left out), and the company number a
// row must have to be read back.
bool readsBack(const KindRules& rules, std::span<const std::string_view> written) {
    for (std::size_t i = 0; i < rules.count; ++i) {
        const StoredRule& r = rules.cells[i];
        const std::string_view v = written[r.column];
        if (r.whole != 0 && !v.empty() && v.size() != r.whole) return false;
        for (const char b : v)
            if (!r.plain[static_cast<unsigned char>(b)]) return false;
    }
    return !rules.needsCompany || !written[rules.company].empty();
}

}  // namespace

std::optional<AccountHistory::StagedReport> AccountHistory::stageSaved(const SavedReport& saved,
                                                                       const std::filesystem::path& folder,
                                                                       const ArchiveLogEntry& entry) {
    // The copy of the line is the one archived then, as it was then.
    const std::filesystem::path copy = copyPath(folder, entry.copy);
    if (entry.sha256 != saved.sha256 || copy != saved.copy) return std::nullopt;
    std::error_code sizeError, timeError;
    const std::uintmax_t size = std::filesystem::file_size(copy, sizeError);
    const std::filesystem::file_time_type time = std::filesystem::last_write_time(copy, timeError);
    if (sizeError || timeError || size != saved.size || time != saved.time) return std::nullopt;
    StagedReport r;
    std::array<std::string_view, kMostColumns> cells;
    for (ViewKind kind : kAllKinds) {
        const MemoryTable& table = *saved.tables[kind];
        const std::span<const Column> columns = columnsOf(kind);
        std::array<std::size_t, kMostColumns> length{};
        for (std::size_t c = 0; c < columns.size(); ++c) length[c] = reportLengthOf(columns[c].report.length);
        // Room for the rows, asked for once (the pages of growing arrays cost more than the rows): a
        // stored cell takes its length and one byte, or four more past 254 bytes, where the table's row
        // takes its cells' lengths and a NUL after each.
        StagedTable& into = r.tables[kind];
        std::size_t pool = 0;
        for (std::size_t i = 0; i < table.rowCount(); ++i) pool += table.rowBytesSize(i) + 4 * storedColumns(kind).size();
        reserveLarge(into.pool, pool);
        reserveLarge(into.at, table.rowCount());
        reserveLarge(into.keys, table.rowCount());
        const std::span<std::string_view> row(cells.data(), columns.size());
        const KindRules rules = rulesOf(kind);
        for (std::size_t i = 0; i < table.rowCount(); ++i) {
            table.cellViews(i, row);
            for (std::size_t c = 0; c < columns.size(); ++c) row[c] = cut(row[c], length[c]);  // as the writer writes it
            if (!readsBack(rules, row)) return std::nullopt;
            stage(into, kind, std::span<const std::string_view>(row));
        }
    }
    r.state = CopyState::Used;
    assert(readsAsCopy(r, copy, saved.sha256));
    return r;
}

bool AccountHistory::readsAsCopy(const StagedReport& staged, const std::filesystem::path& copy, const std::string& sha256) {
    const StagedReport read = readCopy(copy, sha256, false);
    if (read.state != CopyState::Used) return true;  // a copy changed since (as its size and time do not show): nothing to compare
    for (ViewKind k : kAllKinds)
        if (read.tables[k].pool != staged.tables[k].pool || read.tables[k].at != staged.tables[k].at) return false;
    return true;
}

}  // namespace kovirant
