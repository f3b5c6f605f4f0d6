// Checking every row of the three tables at once, with the rules each
// table's editor applies on save (the row's Modify-mode form through the
// editor's own validation) and, for register rows, the report writer's
// faulty-row rule; then the warnings of the typos those rules let through.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editing/deadline.h"
#include "editing/rules.h"
#include "records/record_tables.h"

namespace kovirant {

struct RowFault {
    ViewKind kind;
    std::uint32_t row;      // index in its table
    std::uint32_t message;  // into RowCheck::messages
};

enum class WarningKind : std::uint8_t {
    TaxCheckDigit,
    AccountCheckDigit,
    OriginalAccountCheckDigit,
    NewAccountCheckDigit,
    BankCodeCheckDigit,
    RepeatedRow,             // every cell equal to an earlier row: `arg` is its index
    AccountUnderOtherTax,    // a register account under another tax number earlier: `arg` is that row
    DirectoryCompanyNumber,  // the directory knows another number: `arg` indexes directoryNumbers
    LateOpening,             // reported past the deadline: `arg` days since the opening
    LateClosing,             // the same since the closing
    FutureDate,              // the event date lies after the day of the check: `arg` is its DayNumber
    AlreadyReported,         // an archived report holds the same row: `arg` indexes notes
    HistoryOpeningConflict,  // the archive knows two opening dates for the account: none filled
    HistoryCompanyConflict,  // the archive knows two company numbers for the tax number: none filled
    NotAccepted,             // late, and the archived report that holds it was not accepted: `arg` indexes notes
};

struct RowWarning {
    ViewKind kind;
    std::uint32_t row;
    WarningKind what;
    std::uint32_t arg = 0;
};

struct RowCheck {
    std::vector<RowFault> faults;       // in table order, then row order
    std::vector<std::string> messages;  // each distinct first failing message once
    std::vector<RowWarning> warnings;   // in table order, then row order, a row's in a fixed order
    std::vector<std::array<char, kCompanyNumberLength>> directoryNumbers;
    int deadlineDays = kDefaultDeadlineDays;  // for the late rows' text
    std::vector<std::string> notes;           // "<copy> (<time>)" of AlreadyReported, "... : <state>" of NotAccepted
    // Rows past the deadline (LateOpening, LateClosing).
    std::size_t lateRows() const;
};

// A row's cells as views, the kind's columns first.
using RowViews = std::array<std::string_view, kMostColumns>;

// The callbacks are called on checkAllRows' caller's thread, in the rows'
// order, at any size of the tables: a second core, where the check takes
// one (50,000 rows and more), checks only the faults.
struct CheckOptions {
    // The company number (10 digits) the company directory holds for a tax
    // base number; unset or nothing: no comparison.
    std::function<std::optional<std::string_view>(std::string_view taxNumber)> directoryCompany;
    // The day of the check; unset: no deadline rule. A row's event date (a
    // register row's closing, else its opening; an account change's new
    // opening) more than `deadlineDays` before it is late, one after it in
    // the future.
    std::optional<DayNumber> checkDay;
    int deadlineDays = kDefaultDeadlineDays;
    // What the archive's history says of a register or account-change row
    // (its cells in column order); unset: no archive.
    struct HistoryNotes {
        std::optional<std::string> alreadyReported;  // "<copy> (<time>)"
        // The only report that holds it is on its road but not accepted (returned, refused, not
        // yet sent or answered): "<copy> (<time>): <state>"; warned when the row is late.
        std::optional<std::string> notAccepted;
        bool openingConflict = false;
        bool companyConflict = false;
        bool none() const { return !alreadyReported && !notAccepted && !openingConflict && !companyConflict; }
    };
    // `ahead`: the hash `historyAhead` gave for the row, when it is set.
    std::function<HistoryNotes(ViewKind, std::span<const std::string_view>, std::optional<std::uint64_t> ahead)> history;
    // The history's look-ups made several rows at once; optional.
    struct HistoryAhead {
        // Told of rows some rows before their turn: puts each row's hash in
        // `hashes` (handed to `history` with the row) and asks for the
        // memory its look-up reads first.
        std::function<void(ViewKind, std::span<const RowViews> rows, std::span<std::uint64_t> hashes)> hash;
        // Then, just before their turn, marks (`quiet` = 1) the rows of
        // which `history` would say nothing: it is not asked of them.
        std::function<void(ViewKind, std::span<const RowViews> rows, std::span<const std::uint64_t> hashes,
                           std::span<std::uint8_t> quiet)>
            quiet;
        explicit operator bool() const { return hash && quiet; }
    };
    HistoryAhead historyAhead;
};

RowCheck checkAllRows(const RecordTables& tables, int maxtk, int maxcf, const CheckOptions& options = {});

// The lines of the check's list: each row's fault, then its warnings; rows
// in table order.
struct CheckLine {
    ViewKind kind;
    std::uint32_t row;
    bool warning;
    std::uint32_t index;  // into faults or warnings
};
std::vector<CheckLine> checkLines(const RowCheck& check);
// A line's text: the fault's message or the warning's text.
std::string lineText(const RowCheck& check, const CheckLine& line);

// A warning's text, "Figyelmeztetés: ..." (row numbers as the list shows them).
std::string warningText(const RowCheck& check, const RowWarning& warning);

}  // namespace kovirant
