// The account history: every row of every archived report, found by account
// number (both accounts of an account change) and by tax base number. It
// fills what earlier reports already said (a closing's opening date, a
// company number) and answers when an account was reported.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "directory/company_directory.h"
#include "editing/row_check.h"
#include "records/record_tables.h"

namespace kovirant {

struct HistoryReport {
    std::string time;  // the log's "YYYY-MM-DD HH:MM:SS"
    std::string copy;  // inside the archive, '/'-separated (UTF-8)
};

struct HistoryRow {
    std::uint32_t report = 0;  // into reports()
    ViewKind table = ViewRegister;
    std::string code, company, tax, account, opening, closing;  // an account change: its new account's
    std::string originalAccount, originalOpening, originalClosing;
};

class AccountHistory {
public:
    // Reads the archive's log and every copy it names (a copy that cannot be
    // read is passed over; --verify-archive tells of it). `errorCode`: the log's.
    static AccountHistory build(const std::filesystem::path& archiveFolder, int& errorCode);

    enum class Answer { Unknown, Known, Conflict };
    struct Value {
        Answer answer = Answer::Unknown;
        std::string text;
    };
    // The opening date the history holds for an account under a tax number.
    Value opening(std::string_view account, std::string_view tax) const;
    // The company number the history holds for a tax number.
    Value company(std::string_view tax) const;
    // Every row that holds the number (an account, or a tax base number;
    // separators allowed), oldest first.
    std::vector<const HistoryRow*> rowsOf(std::string_view number) const;

    // The earliest report that holds a register or account-change row with
    // exactly these cells (the table's columns in order), if any.
    std::optional<std::uint32_t> reportHolding(ViewKind kind, std::span<const std::string_view> cells) const;

    const std::vector<HistoryReport>& reports() const { return reports_; }
    std::size_t rows() const { return rows_.size(); }

private:
    void add(HistoryRow row);
    std::vector<HistoryReport> reports_;
    std::vector<HistoryRow> rows_;
    std::unordered_map<std::string, std::vector<std::uint32_t>> byAccount_, byTax_;
    std::unordered_map<std::string, std::uint32_t> byCells_;  // kind and cells -> the earliest report
};

// The check's view of the history: a row already reported, a conflict
// that kept the fill from a cell the row leaves empty.
std::function<CheckOptions::HistoryNotes(ViewKind, std::span<const std::string_view>)> historyForCheck(
    const AccountHistory& history);

struct HistoryFill {
    std::size_t companies = 0;  // company numbers filled from the history
    std::size_t openings = 0;   // opening dates of closings filled
};
// Fills a register row's missing opening date (a closing's) and a missing
// company number the directory does not know (register and account-change
// rows); a conflict in the history fills nothing.
HistoryFill fillFromHistory(const AccountHistory& history, RecordTables& tables, const CompanyDirectory* directory);

}  // namespace kovirant
