#include "archive/account_history.h"

#include <algorithm>
#include <set>
#include <utility>

#include "archive/report_archive.h"
#include "editing/rules.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "text/format.h"

namespace kovirant {
namespace {

std::string digitsOf(std::string_view s) {
    std::string out;
    for (char c : s)
        if (isDigit(c)) out += c;
    return out;
}

// A row's key: its table and every cell.
std::string cellsKey(ViewKind kind, std::span<const std::string_view> cells) {
    std::string key(1, static_cast<char>('0' + kind));
    for (std::string_view c : cells) {
        key += '\0';
        key += c;
    }
    return key;
}

}  // namespace

std::optional<std::uint32_t> AccountHistory::reportHolding(ViewKind kind, std::span<const std::string_view> cells) const {
    const auto it = byCells_.find(cellsKey(kind, cells));
    if (it == byCells_.end()) return std::nullopt;
    return it->second;
}

void AccountHistory::add(HistoryRow row) {
    if (row.table == ViewRegister) {
        const std::string_view cells[] = {row.company, row.tax, row.account, row.opening, row.closing, row.code};
        byCells_.emplace(cellsKey(ViewRegister, cells), row.report);
    } else if (row.table == ViewAccountChange) {
        const std::string_view cells[] = {row.tax, row.company, row.originalAccount, row.originalOpening,
                                          row.originalClosing, row.account, row.opening, row.closing};
        byCells_.emplace(cellsKey(ViewAccountChange, cells), row.report);
    }
    const auto index = static_cast<std::uint32_t>(rows_.size());
    if (!row.account.empty()) byAccount_[row.account].push_back(index);
    if (!row.originalAccount.empty() && row.originalAccount != row.account) byAccount_[row.originalAccount].push_back(index);
    if (!row.tax.empty()) byTax_[row.tax].push_back(index);
    rows_.push_back(std::move(row));
}

AccountHistory AccountHistory::build(const std::filesystem::path& folder, int& errorCode) {
    AccountHistory h;
    for (const ArchiveLogEntry& entry : readArchiveLog(folder, errorCode)) {
        const auto report = static_cast<std::uint32_t>(h.reports_.size());
        h.reports_.push_back({entry.time, entry.copy});
        MemoryTable reg(ViewRegister), inst(ViewInstitution), acc(ViewAccountChange);
        RecordTables tables(reg, inst, acc);
        const std::u8string copy(entry.copy.begin(), entry.copy.end());
        if (ReloadReport(folder / std::filesystem::path(copy), tables).status == ReloadStatus::CannotOpen) continue;
        for (std::size_t r = 0; r < reg.rowCount(); ++r) {
            HistoryRow row;
            row.report = report;
            row.table = ViewRegister;
            row.company = reg.cell(r, RegisterCol::companyNumber);
            row.tax = reg.cell(r, RegisterCol::taxBaseNumber);
            row.account = reg.cell(r, RegisterCol::accountNumber);
            row.opening = reg.cell(r, RegisterCol::openingDate);
            row.closing = reg.cell(r, RegisterCol::closingDate);
            row.code = reg.cell(r, RegisterCol::accountCode);
            h.add(std::move(row));
        }
        for (std::size_t r = 0; r < inst.rowCount(); ++r) {
            HistoryRow row;
            row.report = report;
            row.table = ViewInstitution;
            row.company = inst.cell(r, InstitutionCol::companyNumber);
            row.tax = inst.cell(r, InstitutionCol::taxBaseNumber);
            row.code = inst.cell(r, InstitutionCol::operationCode);
            h.add(std::move(row));
        }
        for (std::size_t r = 0; r < acc.rowCount(); ++r) {
            HistoryRow row;
            row.report = report;
            row.table = ViewAccountChange;
            row.company = acc.cell(r, AccountChangeCol::companyNumber);
            row.tax = acc.cell(r, AccountChangeCol::taxBaseNumber);
            row.account = acc.cell(r, AccountChangeCol::newAccountNumber);
            row.opening = acc.cell(r, AccountChangeCol::newOpeningDate);
            row.closing = acc.cell(r, AccountChangeCol::newClosingDate);
            row.originalAccount = acc.cell(r, AccountChangeCol::originalAccountNumber);
            row.originalOpening = acc.cell(r, AccountChangeCol::originalOpeningDate);
            row.originalClosing = acc.cell(r, AccountChangeCol::originalClosingDate);
            h.add(std::move(row));
        }
    }
    return h;
}

namespace {

AccountHistory::Value single(const std::set<std::string>& values) {
    if (values.empty()) return {};
    if (values.size() > 1) return {AccountHistory::Answer::Conflict, {}};
    return {AccountHistory::Answer::Known, *values.begin()};
}

}  // namespace

AccountHistory::Value AccountHistory::opening(std::string_view account, std::string_view tax) const {
    const auto it = byAccount_.find(std::string(account));
    if (it == byAccount_.end()) return {};
    std::set<std::string> dates;
    for (std::uint32_t i : it->second) {
        const HistoryRow& r = rows_[i];
        if (r.tax != tax) continue;
        if (r.account == account && !r.opening.empty()) dates.insert(r.opening);
        if (r.originalAccount == account && !r.originalOpening.empty()) dates.insert(r.originalOpening);
    }
    return single(dates);
}

AccountHistory::Value AccountHistory::company(std::string_view tax) const {
    const auto it = byTax_.find(std::string(tax));
    if (it == byTax_.end()) return {};
    std::set<std::string> numbers;
    for (std::uint32_t i : it->second)
        if (rows_[i].company.size() == kCompanyNumberLength) numbers.insert(rows_[i].company);
    return single(numbers);
}

std::vector<const HistoryRow*> AccountHistory::rowsOf(std::string_view number) const {
    const std::string digits = digitsOf(number);
    std::vector<const HistoryRow*> out;
    for (const auto* index : {&byAccount_, &byTax_}) {
        const auto it = index->find(digits);
        if (it == index->end()) continue;
        for (std::uint32_t i : it->second) out.push_back(&rows_[i]);
    }
    // Oldest first: the log's order is the reports' order.
    std::sort(out.begin(), out.end());  // the rows' order is the log's, the reports' order
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::function<CheckOptions::HistoryNotes(ViewKind, std::span<const std::string_view>)> historyForCheck(
    const AccountHistory& history) {
    return [&history](ViewKind kind, std::span<const std::string_view> cells) {
        CheckOptions::HistoryNotes notes;
        if (const auto report = history.reportHolding(kind, cells)) {
            const HistoryReport& r = history.reports()[*report];
            notes.alreadyReported = utf8ToCp1250(r.copy) + " (" + r.time + ")";
        }
        const bool registerRow = kind == ViewRegister;
        const std::size_t company = columnOf(kind, ColumnRole::CompanyNumber);
        const std::size_t tax = columnOf(kind, ColumnRole::TaxBaseNumber);
        if (cells[company].empty())
            notes.companyConflict = history.company(cells[tax]).answer == AccountHistory::Answer::Conflict;
        if (registerRow && !cells[RegisterCol::closingDate].empty() && cells[RegisterCol::openingDate].empty())
            notes.openingConflict =
                history.opening(cells[RegisterCol::accountNumber], cells[tax]).answer == AccountHistory::Answer::Conflict;
        return notes;
    };
}

HistoryFill fillFromHistory(const AccountHistory& history, RecordTables& tables, const CompanyDirectory* directory) {
    HistoryFill out;
    auto companyFor = [&](std::string_view tax) -> std::optional<std::string> {
        if (directory && directory->companyOf(tax)) return std::nullopt;  // the directory's is filled from it
        const AccountHistory::Value v = history.company(tax);
        if (v.answer != AccountHistory::Answer::Known) return std::nullopt;
        return v.text;
    };
    for (std::size_t r = 0; r < tables.table(ViewRegister).rowCount(); ++r) {
        const std::string tax(tables.cell(ViewRegister, r, RegisterCol::taxBaseNumber));
        if (tables.cell(ViewRegister, r, RegisterCol::companyNumber).empty())
            if (const auto company = companyFor(tax)) {
                tables.writeCell(ViewRegister, r, RegisterCol::companyNumber, *company);
                ++out.companies;
            }
        if (!tables.cell(ViewRegister, r, RegisterCol::closingDate).empty() &&
            tables.cell(ViewRegister, r, RegisterCol::openingDate).empty()) {
            const AccountHistory::Value v =
                history.opening(tables.cell(ViewRegister, r, RegisterCol::accountNumber), tax);
            if (v.answer == AccountHistory::Answer::Known) {
                tables.writeCell(ViewRegister, r, RegisterCol::openingDate, v.text);
                ++out.openings;
            }
        }
    }
    for (std::size_t r = 0; r < tables.table(ViewAccountChange).rowCount(); ++r) {
        if (!tables.cell(ViewAccountChange, r, AccountChangeCol::companyNumber).empty()) continue;
        if (const auto company = companyFor(tables.cell(ViewAccountChange, r, AccountChangeCol::taxBaseNumber))) {
            tables.writeCell(ViewAccountChange, r, AccountChangeCol::companyNumber, *company);
            ++out.companies;
        }
    }
    return out;
}

}  // namespace kovirant
