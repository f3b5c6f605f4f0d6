// The account history's part in the fill and the check: a register row's
// missing company number and opening date from the history, the check's
// "already reported" and conflict notes, and the fill both front ends make
// (the directory first, then the history).
#include "archive/account_history.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <map>
#include <memory>

#include "archive/history_layout.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/second_core.h"
#include "util/string_hash.h"

namespace kovirant {

std::shared_ptr<const HistoryRoads> historyRoads(const std::filesystem::path& archiveFolder, const AccountHistory& history) {
    auto out = std::make_shared<HistoryRoads>();
    int err = 0;
    const std::vector<ReportRoad> roads = readReportRoads(archiveFolder, err);
    std::map<std::string_view, const ReportRoad*> byCopy;
    std::string firstOnRoad;  // the time of the first report on its road, not accepted
    for (const ReportRoad& r : roads) {
        byCopy[r.report.copy] = &r;
        if (r.state != ReportState::Saved && r.state != ReportState::Accepted &&
            (firstOnRoad.empty() || r.report.time < firstOnRoad))
            firstOnRoad = r.report.time;
    }
    for (const HistoryReport& h : history.reports()) {
        const auto it = byCopy.find(h.copy);
        out->states.push_back(it == byCopy.end() ? std::nullopt : std::optional<ReportState>(it->second->state));
    }
    // Only the accepted reports since then can hold a row of one on its road a second time.
    if (!firstOnRoad.empty())
        for (const ReportRoad& r : roads)
            if (r.state == ReportState::Accepted && r.report.time >= firstOnRoad)
                if (const auto rows = reportRows(archiveFolder, r.report)) out->acceptedRows.insert(rows->begin(), rows->end());
    return out;
}

void AccountHistory::prefetchHolding(ViewKind kind, std::span<const RowViews> rows, std::span<std::uint64_t> hashes) const {
    assert(hashes.size() >= rows.size());
    if (kind == ViewInstitution) return;
    const std::size_t columns = columnCount(kind);
    for (std::size_t i = 0; i < rows.size(); ++i) hashes[i] = stringHash(holdingKey(kind, std::span(rows[i].data(), columns)));
    // Speed: the slots asked for in one run, so that the processor waits for them together: a month of 1M rows 15% less CPU.
    for (const AccountHistory* h = this; h; h = h->below_.get())
        for (std::size_t i = 0; i < rows.size(); ++i) h->cells_.prefetch(hashes[i]);
}

bool AccountHistory::mayHold(std::uint64_t hash) const {
    bool met = false;
    for (const AccountHistory* h = this; h && !met; h = h->below_.get())
        KeyIndex::probe(h->cells_.slots, hash, [&](std::uint32_t) { return met = true; });
    return met;
}

namespace {

// The rows whose cell the fill would take from the history, so that the
// check tells of a conflict there: a missing company number, a register
// row's closing without its opening.
bool companyMissing(ViewKind kind, std::span<const std::string_view> cells) {
    return cells[columnOf(kind, ColumnRole::CompanyNumber)].empty();
}
bool openingMissing(ViewKind kind, std::span<const std::string_view> cells) {
    return kind == ViewRegister && !cells[RegisterCol::closingDate].empty() && cells[RegisterCol::openingDate].empty();
}

}  // namespace

decltype(CheckOptions::historyAhead) historyAheadForCheck(const AccountHistory& history) {
    CheckOptions::HistoryAhead ahead;
    ahead.hash = [&history](ViewKind kind, std::span<const RowViews> rows, std::span<std::uint64_t> hashes) {
        history.prefetchHolding(kind, rows, hashes);
    };
    ahead.quiet = [&history](ViewKind kind, std::span<const RowViews> rows, std::span<const std::uint64_t> hashes,
                             std::span<std::uint8_t> quiet) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::span<const std::string_view> cells(rows[i].data(), columnCount(kind));
            quiet[i] = !companyMissing(kind, cells) && !openingMissing(kind, cells) && !history.mayHold(hashes[i]);
        }
    };
    return ahead;
}

decltype(CheckOptions::history) historyForCheck(const AccountHistory& history,
                                               const std::shared_ptr<const HistoryRoads>& roads) {
    return [&history, roads](ViewKind kind, std::span<const std::string_view> cells, std::optional<std::uint64_t> ahead) {
        CheckOptions::HistoryNotes notes;
        if (const auto report = ahead ? history.reportHolding(kind, cells, *ahead) : history.reportHolding(kind, cells)) {
            const HistoryReport& r = history.reports()[*report];
            notes.alreadyReported = utf8ToCp1250(r.copy) + " (" + r.time + ")";
            const std::optional<ReportState> state =
                roads && *report < roads->states.size() ? roads->states[*report] : std::nullopt;
            if (state && *state != ReportState::Saved && *state != ReportState::Accepted &&
                !roads->acceptedRows.count(rowKey(kind, cells)))
                notes.notAccepted = *notes.alreadyReported + ": " + std::string(stateName(*state));
        }
        const std::size_t tax = columnOf(kind, ColumnRole::TaxBaseNumber);
        if (companyMissing(kind, cells))
            notes.companyConflict = history.company(cells[tax]).answer == AccountHistory::Answer::Conflict;
        if (openingMissing(kind, cells))
            notes.openingConflict =
                history.opening(cells[RegisterCol::accountNumber], cells[tax]).answer == AccountHistory::Answer::Conflict;
        return notes;
    };
}

namespace {

// Whether the directory holds the tax number's company number: the fill
// takes it from there, never from the history.
bool directoryKnows(const CompanyDirectory* directory, std::string_view tax) {
    return directory != nullptr && directory->companyOf(tax).has_value();
}

// What the history gives a register row.
struct RowFound {
    std::uint32_t row = 0;
    std::string_view company, opening;  // empty: nothing
};

// The register rows [from, to)'s findings, in order, looked up a batch at a time.
void findInHistory(const AccountHistory& history, const MemoryTable::Reader& rows, const CompanyDirectory* directory,
                   std::size_t from, std::size_t to, std::vector<RowFound>& found) {
    constexpr std::size_t kBatch = 32;
    found.reserve(to - from);  // at most a finding per row
    std::array<AccountHistory::Lookup, kBatch> batch;
    std::array<std::string_view, RegisterCol::count> cells;
    for (std::size_t first = from; first < to; first += kBatch) {
        const std::size_t n = std::min(kBatch, to - first);
        for (std::size_t i = 0; i < n; ++i) {
            AccountHistory::Lookup& l = batch[i];
            rows.cellViews(first + i, cells);
            l.tax = cut(cells[RegisterCol::taxBaseNumber], kFieldMax);
            l.account = cut(cells[RegisterCol::accountNumber], kFieldMax);
            l.company = cells[RegisterCol::companyNumber].empty() && !directoryKnows(directory, l.tax);
            l.opening = !cells[RegisterCol::closingDate].empty() && cells[RegisterCol::openingDate].empty();
        }
        history.lookUp(std::span(batch.data(), n));
        for (std::size_t i = 0; i < n; ++i) {
            const AccountHistory::Lookup& l = batch[i];
            RowFound f;
            f.row = static_cast<std::uint32_t>(first + i);
            if (l.company && l.companyFound.answer == AccountHistory::Answer::Known) f.company = l.companyFound.text;
            if (l.opening && l.openingFound.answer == AccountHistory::Answer::Known) f.opening = l.openingFound.text;
            if (!f.company.empty() || !f.opening.empty()) found.push_back(f);
        }
    }
}

}  // namespace

HistoryFill fillFromHistory(const AccountHistory& history, RecordTables& tables, const CompanyDirectory* directory) {
    HistoryFill out;
    // The register rows go in stretches. A stretch's findings are found on
    // either core (the history, the directory and the rows not yet written
    // are only read) and written by this thread, in the rows' order, as soon
    // as they are there, while the other core finds the stretches after it.
    constexpr std::size_t kStretch = std::size_t{1} << 15;
    const MemoryTable& reg = tables.table(ViewRegister);
    const std::size_t count = reg.rowCount();
    const std::size_t stretches = (count + kStretch - 1) / kStretch;
    std::vector<std::vector<RowFound>> found(stretches);
    const MemoryTable::Reader reader(reg);
    const auto find = [&](std::size_t k) {
        findInHistory(history, reader, directory, k * kStretch, std::min(count, (k + 1) * kStretch), found[k]);
    };
    std::array<std::string_view, RegisterCol::count> row;
    const auto write = [&](std::vector<RowFound>& part) {
        for (const RowFound& f : part) {
            out.companies += f.company.empty() ? 0 : 1;
            out.openings += f.opening.empty() ? 0 : 1;
            // The row rewritten once, from views of its own cells and the history's.
            reg.cellViews(f.row, row);
            if (!f.company.empty()) row[RegisterCol::companyNumber] = f.company;
            if (!f.opening.empty()) row[RegisterCol::openingDate] = f.opening;
            tables.writeRow(ViewRegister, f.row, std::span<const std::string_view>(row));
        }
        std::vector<RowFound>().swap(part);
    };
    inOrder(stretches, find, [&](std::size_t k) { write(found[k]); });
    for (std::size_t r = 0; r < tables.table(ViewAccountChange).rowCount(); ++r) {
        if (!tables.cell(ViewAccountChange, r, AccountChangeCol::companyNumber).empty()) continue;
        const std::string_view tax = tables.cell(ViewAccountChange, r, AccountChangeCol::taxBaseNumber);
        if (directoryKnows(directory, tax)) continue;
        const AccountHistory::Value v = history.company(tax);
        if (v.answer == AccountHistory::Answer::Known) {
            tables.writeCell(ViewAccountChange, r, AccountChangeCol::companyNumber, v.text);
            ++out.companies;
        }
    }
    return out;
}

CompanyFill fillCompanies(RecordTables& tables, const CompanyDirectory* directory, const AccountHistory* history) {
    CompanyFill out;
    if (directory) out.directory = fillCompanyNumbers(*directory, tables);
    if (history) out.history = fillFromHistory(*history, tables, directory);
    return out;
}

}  // namespace kovirant
