#include "editing/row_check.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "editing/account_change_editor.h"
#include "editing/check_digits.h"
#include "editing/check_warnings.h"
#include "editing/institution_editor.h"
#include "editing/register_entry_editor.h"
#include "editing/register_verdicts.h"
#include "editing/messages.h"
#include "text/format.h"
#include "util/os_file.h"
#include "util/prefetch.h"
#include "util/second_core.h"
#include "util/string_hash.h"
#include "util/tagged_slots.h"

namespace kovirant {
namespace {

class Checker {
public:
    explicit Checker(RowCheck& out) : out_(out) {}

    void fault(ViewKind kind, std::size_t row, std::string_view message) {
        // Faulty rows come in runs of the same message (an import's rows all
        // lack their company number): the last one is tried first.
        if (out_.messages.empty() || out_.messages[last_] != message) {
            auto [it, added] = index_.try_emplace(std::string(message), static_cast<std::uint32_t>(out_.messages.size()));
            if (added) out_.messages.emplace_back(message);
            last_ = it->second;
        }
        out_.faults.push_back({kind, static_cast<std::uint32_t>(row), last_});
    }

private:
    RowCheck& out_;
    std::unordered_map<std::string, std::uint32_t> index_;
    std::uint32_t last_ = 0;
};

// A value the writer writes as a company number or a date, and the editor's
// message when a filled one is not in the stored form: the columns that name
// such a message, in the order of their ranks.
struct StoredValue {
    std::size_t column;
    bool date;  // YYYY-MM-DD; else 10 digits
    std::string_view message;
};

std::span<const StoredValue> storedValuesOf(ViewKind kind) {
    static const PerKind<std::vector<StoredValue>> values = [] {
        PerKind<std::vector<StoredValue>> all;
        for (ViewKind k : kAllKinds) {
            const std::span<const Column> columns = columnsOf(k);
            std::vector<std::pair<int, StoredValue>> ranked;
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (!columns[c].storedFault.empty())
                    ranked.push_back({columns[c].storedRank, {c, columns[c].role == ColumnRole::Date, columns[c].storedFault}});
            std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
            for (const auto& [rank, value] : ranked) all[k].push_back(value);
        }
        return all;
    }();
    return values[kind];
}

bool inStoredForm(std::string_view v, bool date) {
    if (v.size() != (date ? kDateLength : kCompanyNumberLength)) return false;
    if (!date) return allDigits(v);
    // YYYY-MM-DD
    constexpr std::size_t kMonthAt = 5, kDayAt = 8;
    return allDigits(v.substr(0, kMonthAt - 1)) && v[kMonthAt - 1] == '-' && allDigits(v.substr(kMonthAt, 2)) &&
           v[kDayAt - 1] == '-' && allDigits(v.substr(kDayAt, 2));
}

// Cuts the row's company number and dates to what the writer writes (the editor then judges
// exactly that) and returns the message of the first filled one not in its stored form.
using CellViews = RowViews;
std::optional<std::string_view> storedFormFault(CellViews& row, ViewKind kind) {
    std::optional<std::string_view> fault;
    for (const StoredValue& v : storedValuesOf(kind)) {
        std::string_view& cell = row[v.column];
        cell = cell.substr(0, v.date ? kDateLength : kCompanyNumberLength);
        if (!fault && !cell.empty() && !inStoredForm(cell, v.date)) fault = v.message;
    }
    return fault;
}

// The editor calls an empty date wrong ("Hibás nyitás dátum"); the check
// says it is missing ("Hiányzik a nyitás dátuma"), as it does for an empty
// company number. The editor's message for any other fault stands.
std::string_view missingOrFaulty(ViewKind kind, const CellViews& cells, std::string_view message) {
    struct Missing {
        std::size_t column;
        std::string_view fault;
        std::string text;
    };
    static const PerKind<std::vector<Missing>> missing = [] {
        PerKind<std::vector<Missing>> all;
        for (ViewKind k : kAllKinds)
            for (const StoredValue& v : storedValuesOf(k)) {
                if (!v.date) continue;
                std::string_view what = v.message;  // "Hibás <what>!"
                constexpr std::string_view kFaulty = "Hibás ";
                if (what.starts_with(kFaulty)) what.remove_prefix(kFaulty.size());
                if (what.ends_with('!')) what.remove_suffix(1);
                constexpr std::string_view kVowels = "aáeéiíoóöőuúüű";
                const bool vowel = !what.empty() && kVowels.find(what.front()) != std::string_view::npos;
                all[k].push_back({v.column, v.message, (vowel ? "Hiányzik az " : "Hiányzik a ") + std::string(what) + "a"});
            }
        return all;
    }();
    for (const Missing& m : missing[kind])
        if (m.fault == message && cells[m.column].empty()) return m.text;
    return message;
}

// A row's cells, cut as RecordTables::readRow cuts them.
void readViews(const RecordTables& tables, ViewKind kind, std::size_t row, CellViews& out) {
    tables.readViews(kind, row, std::span(out.data(), columnCount(kind)));
}

// The record the editor judges, from the cells (its strings keep their room from row to row).
template <std::size_t N>
void copyCells(const CellViews& cells, std::array<std::string, N>& record) {
    for (std::size_t c = 0; c < N; ++c) record[c].assign(cells[c]);
}

// The rows [from, to) of one table.
void checkRange(const RecordTables& tables, ViewKind kind, std::size_t from, std::size_t to, int maxtk, int maxcf,
                RowCheck& out) {
    Checker checker(out);
    switch (kind) {
        case ViewRegister: {
            RegisterEntry reg;
            CellViews cells;
            RegisterVerdicts verdicts;
            for (std::size_t r = from; r < to; ++r) {
                readViews(tables, ViewRegister, r, cells);
                if (const auto stored = storedFormFault(cells, ViewRegister)) {
                    checker.fault(ViewRegister, r, *stored);
                    continue;
                }
                // The editor refuses every row without a company number (an import leaves them so).
                if (cells[RegisterCol::companyNumber].empty()) {
                    checker.fault(ViewRegister, r, kMsgMissingCompanyNumber);
                    continue;
                }
                const auto judge = [&]() -> std::optional<std::string> {
                    copyCells(cells, reg);
                    const auto result = ValidateRegisterEntry(registerEntryFormOf(reg), maxtk, maxcf);
                    if (!result.ok()) return std::string(missingOrFaulty(ViewRegister, cells, result.error->text));
                    // The editor's 8-character field could never hold a longer tax number.
                    if (reg[RegisterCol::taxBaseNumber].size() > kTaxBaseLength) return "Hibás törzsszám";
                    if (reg[RegisterCol::companyNumber].size() < kCompanyNumberLength) return std::string(kMsgFaultyRow);
                    return std::nullopt;
                };
                if (const auto fault = verdicts.of(std::span(cells.data(), RegisterCol::count), judge))
                    checker.fault(ViewRegister, r, *fault);
            }
            break;
        }
        case ViewInstitution: {
            InstitutionEntry inst;
            CellViews cells;
            for (std::size_t r = from; r < to; ++r) {
                readViews(tables, ViewInstitution, r, cells);
                if (const auto stored = storedFormFault(cells, ViewInstitution)) {
                    checker.fault(ViewInstitution, r, *stored);
                    continue;
                }
                if (cells[InstitutionCol::companyNumber].empty()) {  // refused by the editor too
                    checker.fault(ViewInstitution, r, kMsgMissingCompanyNumber);
                    continue;
                }
                copyCells(cells, inst);
                const auto result = ValidateInstitutionEntry(institutionFormOf(inst), maxtk);
                if (!result.ok()) checker.fault(ViewInstitution, r, result.error->text);
                else if (inst[InstitutionCol::taxBaseNumber].size() > kTaxBaseLength) checker.fault(ViewInstitution, r, "Hibás törzsszám!");
            }
            break;
        }
        case ViewAccountChange: {
            AccountChangeEntry acc;
            CellViews cells;
            for (std::size_t r = from; r < to; ++r) {
                readViews(tables, ViewAccountChange, r, cells);
                if (const auto stored = storedFormFault(cells, ViewAccountChange)) {
                    checker.fault(ViewAccountChange, r, *stored);
                    continue;
                }
                copyCells(cells, acc);
                const auto result = ValidateAccountChangeEntry(accountChangeFormOf(acc), maxtk, maxcf);
                if (!result.ok() && acc[AccountChangeCol::companyNumber].empty())
                    checker.fault(ViewAccountChange, r, kMsgMissingCompanyNumber);
                else if (!result.ok())
                    checker.fault(ViewAccountChange, r, missingOrFaulty(ViewAccountChange, cells, result.error->text));
            }
            break;
        }
    }
}

// Rows by a 64-bit hash, for finding an earlier row with the same key in one
// walk: each slot the hash's high half and row + 1.
class RowIndex {
    using Slots = TaggedSlots<std::uint64_t, 32>;

public:
    // Room for `rows` keys at once; with none, room made as keys come.
    explicit RowIndex(std::size_t rows) { slots_.presize(rows); }

    // The earlier row whose key `same` says equals this one's, or the free
    // slot where row `row` is now recorded. Returns the slot, valid until
    // the next find; `hashOf(row)` gives a recorded row's hash again.
    template <class Same, class HashOf>
    std::size_t find(std::uint64_t hash, std::uint32_t row, bool& found, const Same& same, const HashOf& hashOf) {
        slots_.makeRoom([&](std::uint64_t slot) { return hashOf(static_cast<std::uint32_t>(Slots::entryIn(slot) - 1)); });
        const std::size_t i = slots_.place(hash, same);
        found = slots_[i] != 0;
        if (!found) slots_[i] = Slots::slotOf(hash, std::uint64_t{row} + 1);
        return i;
    }
    std::uint32_t rowAt(std::size_t slot) const { return static_cast<std::uint32_t>(Slots::entryIn(slots_[slot]) - 1); }
    // Asks for the slot where a find of `hash` starts.
    void prefetch(std::uint64_t hash) const { slots_.prefetch(hash); }
    // A second row kept per key (+ 1; 0 none), of a presized index (its
    // slots stay); few keys have one.
    std::uint32_t& other(std::size_t slot) { return other_[slot]; }

private:
    Slots slots_;
    std::unordered_map<std::size_t, std::uint32_t> other_;
};

// The warnings of one table's rows, in one walk: check digits per row,
// repeated rows and repeated register accounts by hashing.
class TableWarnings {
public:
    // The register rows' index of whole rows starts empty and grows, as a row is recorded there only once
    // its account came before; no index keeps a second row for every slot: a month of 1M rows 32 MB less.
    TableWarnings(const RecordTables& tables, ViewKind kind, const CheckOptions& options, RowCheck& out)
        : tables_(tables), kind_(kind), options_(options), out_(out), columns_(columnCount(kind)),
          rows_(tables.table(kind).rowCount()), seenRows_(kind == ViewRegister ? 0 : rows_),
          accounts_(kind == ViewRegister ? rows_ : 0) {
        if (options.checkDay) {
            today_ = dateOfDay(*options.checkDay);
            lateBefore_ = dateOfDay(*options.checkDay - options.deadlineDays);
        }
    }

    void run() {
        const std::size_t tax = columnOf(kind_, ColumnRole::TaxBaseNumber);
        lookAhead(0);
        for (std::size_t r = 0; r < rows_; ++r) {
            const std::size_t at = r % (2 * kAhead);
            if (at % kAhead == 0) lookAhead(r + kAhead);
            row_ = cells_[at];
            rowHash_ = rowHashes_[at];
            accountHash_ = accountHashes_[at];
            historyHash_ = historyHashes_[at];
            if (taxNumberFailsCheck(row_[tax])) warn(r, WarningKind::TaxCheckDigit);
            checkDigits(r);
            if (kind_ == ViewRegister) {
                registerRepeats(r);
                directoryContradiction(r);
            } else {
                repeatedRow(r);
            }
            late_ = false;
            if (options_.checkDay) deadline(r);
            if (options_.history && kind_ != ViewInstitution && !quiet_[at]) historyNotes(r);
            assert(!quiet_[at] || options_.history(kind_, std::span(row_.data(), columns_), historyHash_).none());
        }
    }

private:
    using Views = CellViews;
    // Rows read and their keys hashed kAhead rows before their turn, kAhead
    // at a time, their slots asked for together (each far from the last in
    // a table of millions): two halves, one in turn while the other is read.
    static constexpr std::size_t kAhead = 32;
    void lookAhead(std::size_t from) {
        if (from >= kAhead && from - kAhead < rows_) quietRows(from - kAhead);  // the batch whose turn comes now
        const std::size_t n = std::min(kAhead, rows_ - std::min(rows_, from));
        if (n == 0) return;
        const std::size_t at = from % (2 * kAhead);
        for (std::size_t i = at; i < at + n; ++i) {
            readViews(from + i - at, cells_[i]);
            if (kind_ == ViewRegister) accountHashes_[i] = stringHash(cells_[i][RegisterCol::accountNumber]);
            else rowHashes_[i] = rowHashOf(cells_[i]);
        }
        for (std::size_t i = at; i < at + n; ++i) {
            if (kind_ == ViewRegister) accounts_.prefetch(accountHashes_[i]);
            else seenRows_.prefetch(rowHashes_[i]);
        }
        if (options_.history && options_.historyAhead && kind_ != ViewInstitution)
            options_.historyAhead.hash(kind_, std::span(cells_).subspan(at, n), std::span(historyHashes_).subspan(at, n));
    }
    // Speed: the rows from `from` the history says nothing of, found by their slots' probes (asked for a turn ago) in a loop of their own, not looked up: a month of 1M rows 10% less CPU.
    void quietRows(std::size_t from) {
        const std::size_t n = std::min(kAhead, rows_ - from), at = from % (2 * kAhead);
        if (options_.history && options_.historyAhead && kind_ != ViewInstitution)
            options_.historyAhead.quiet(kind_, std::span(cells_).subspan(at, n), std::span(historyHashes_).subspan(at, n),
                                    std::span(quiet_).subspan(at, n));
    }
    void readViews(std::size_t r, Views& out) const { kovirant::readViews(tables_, kind_, r, out); }
    std::uint64_t rowHashOf(const Views& cells) const {
        std::uint64_t h = kStringHashSeed;
        for (std::size_t c = 0; c < columns_; ++c) h = continueHash(cells[c], h ^ (c + 1) * 0x9E3779B97F4A7C15ULL);
        return spreadHash(h);
    }
    std::string_view cell(std::size_t r, std::size_t c) const { return tables_.cell(kind_, r, c); }
    void warn(std::size_t r, WarningKind what, std::size_t arg = 0) {
        out_.warnings.push_back({kind_, static_cast<std::uint32_t>(r), what, static_cast<std::uint32_t>(arg)});
    }

    void checkDigits(std::size_t r) {
        switch (kind_) {
            case ViewRegister:
                if (accountNumberFailsCheck(row_[RegisterCol::accountNumber])) warn(r, WarningKind::AccountCheckDigit);
                break;
            case ViewInstitution:
                if (bankCodeFailsCheck(row_[InstitutionCol::codeNumber])) warn(r, WarningKind::BankCodeCheckDigit);
                break;
            case ViewAccountChange:
                if (accountNumberFailsCheck(row_[AccountChangeCol::originalAccountNumber]))
                    warn(r, WarningKind::OriginalAccountCheckDigit);
                if (accountNumberFailsCheck(row_[AccountChangeCol::newAccountNumber]))
                    warn(r, WarningKind::NewAccountCheckDigit);
                break;
        }
    }

    // The earliest recorded row with every cell as `cells`; else `r` is recorded.
    std::optional<std::uint32_t> sameRowBefore(std::size_t r, const Views& cells, std::uint64_t hash) {
        bool found = false;
        const auto same = [&](std::uint32_t other) {
            Views earlier;
            readViews(other, earlier);
            for (std::size_t c = 0; c < columns_; ++c)
                if (earlier[c] != cells[c]) return false;
            return true;
        };
        const auto hashOf = [&](std::uint32_t other) {
            Views earlier;
            readViews(other, earlier);
            return rowHashOf(earlier);
        };
        const std::size_t slot = seenRows_.find(hash, static_cast<std::uint32_t>(r), found, same, hashOf);
        return found ? std::optional<std::uint32_t>(seenRows_.rowAt(slot)) : std::nullopt;
    }
    void repeatedRow(std::size_t r) {
        if (const auto earlier = sameRowBefore(r, row_, rowHash_)) warn(r, WarningKind::RepeatedRow, *earlier);
    }

    // A row is recorded among the whole rows once its account came before (its first row then too).
    // Speed: a repeat shares its account, so a row of a new one has none; 1M rows 0.51 -> 0.41 s of CPU.
    void registerRepeats(std::size_t r) {
        const std::string_view account = row_[RegisterCol::accountNumber];
        if (account.empty()) {
            rowHash_ = rowHashOf(row_);
            repeatedRow(r);
            return;
        }
        bool found = false;
        const std::size_t slot = accounts_.find(
            accountHash_, static_cast<std::uint32_t>(r), found,
            [&](std::uint32_t other) { return cell(other, RegisterCol::accountNumber) == account; },
            [&](std::uint32_t other) { return stringHash(cell(other, RegisterCol::accountNumber)); });
        if (!found) return;
        const std::uint32_t first = accounts_.rowAt(slot);
        Views firstCells;
        readViews(first, firstCells);
        sameRowBefore(first, firstCells, rowHashOf(firstCells));  // recorded, or found as itself
        rowHash_ = rowHashOf(row_);
        const auto earlier = sameRowBefore(r, row_, rowHash_);
        assert(!earlier || cell(*earlier, RegisterCol::accountNumber) == account);
        if (earlier) warn(r, WarningKind::RepeatedRow, *earlier);
        accountUnderOtherTax(r, slot, first);
    }

    // An account seen before: its first row (its tax number the first), and the first under another.
    void accountUnderOtherTax(std::size_t r, std::size_t slot, std::uint32_t first) {
        std::uint32_t& otherTax = accounts_.other(slot);
        if (row_[RegisterCol::taxBaseNumber] != cell(first, RegisterCol::taxBaseNumber)) {
            warn(r, WarningKind::AccountUnderOtherTax, first);
            if (otherTax == 0) otherTax = static_cast<std::uint32_t>(r) + 1;
        } else if (otherTax != 0) {
            warn(r, WarningKind::AccountUnderOtherTax, otherTax - 1);
        }
    }

    void directoryContradiction(std::size_t r) {
        if (!options_.directoryCompany) return;
        const std::string_view company = row_[RegisterCol::companyNumber];
        if (company.empty()) return;
        const auto known = options_.directoryCompany(row_[RegisterCol::taxBaseNumber]);
        if (!known || known->size() != kCompanyNumberLength || *known == company) return;
        std::array<char, kCompanyNumberLength> number{};
        known->copy(number.data(), number.size());
        warn(r, WarningKind::DirectoryCompanyNumber, out_.directoryNumbers.size());
        out_.directoryNumbers.push_back(number);
    }

    void deadline(std::size_t r) {
        std::string_view date;
        bool closing = false;
        if (kind_ == ViewRegister) {
            closing = !row_[RegisterCol::closingDate].empty();
            date = row_[closing ? RegisterCol::closingDate : RegisterCol::openingDate];
        } else if (kind_ == ViewAccountChange) {
            date = row_[AccountChangeCol::newOpeningDate];
        } else {
            return;  // the bank's own data has no event
        }
        // Stored dates compare as text: only a row out of time is read as a day.
        if (date.size() != kDateLength || (date >= lateBefore_ && date <= today_)) return;
        const std::optional<DayNumber> day = dayNumber(date);
        if (!day) return;  // no date, or one the check faults
        const DayNumber today = *options_.checkDay;
        if (*day > today) warn(r, WarningKind::FutureDate, static_cast<std::uint32_t>(*day));
        else if (today - *day > options_.deadlineDays) {
            late_ = true;
            warn(r, closing ? WarningKind::LateClosing : WarningKind::LateOpening, static_cast<std::uint32_t>(today - *day));
        }
    }
    void historyNotes(std::size_t r) {
        const CheckOptions::HistoryNotes notes =
            options_.history(kind_, std::span(row_.data(), columns_),
                             options_.historyAhead ? std::optional<std::uint64_t>(historyHash_) : std::nullopt);
        if (notes.alreadyReported) {
            warn(r, WarningKind::AlreadyReported, out_.notes.size());
            out_.notes.push_back(*notes.alreadyReported);
        }
        if (notes.notAccepted && late_) {
            warn(r, WarningKind::NotAccepted, out_.notes.size());
            out_.notes.push_back(*notes.notAccepted);
        }
        if (notes.openingConflict) warn(r, WarningKind::HistoryOpeningConflict);
        if (notes.companyConflict) warn(r, WarningKind::HistoryCompanyConflict);
    }

    // The check's day and the first day still in time, as stored dates.
    std::string today_, lateBefore_;
    bool late_ = false;  // the row in turn is past the deadline

    const RecordTables& tables_;
    ViewKind kind_;
    const CheckOptions& options_;
    RowCheck& out_;
    std::size_t columns_;
    std::size_t rows_;
    RowIndex seenRows_;
    RowIndex accounts_;
    Views row_;
    std::uint64_t rowHash_ = 0, accountHash_ = 0, historyHash_ = 0;  // row_'s
    std::array<Views, 2 * kAhead> cells_{};
    std::array<std::uint64_t, 2 * kAhead> rowHashes_{}, accountHashes_{}, historyHashes_{};
    std::array<std::uint8_t, 2 * kAhead> quiet_{};  // 0 but where historyAhead marks it
};

// Appends `part` to `out`, its message numbers made `out`'s.
void merge(RowCheck& out, RowCheck&& part) {
    std::vector<std::uint32_t> map(part.messages.size());
    for (std::size_t i = 0; i < part.messages.size(); ++i) {
        const auto it = std::find(out.messages.begin(), out.messages.end(), part.messages[i]);
        map[i] = static_cast<std::uint32_t>(it - out.messages.begin());
        if (it == out.messages.end()) out.messages.push_back(std::move(part.messages[i]));
    }
    out.faults.reserve(out.faults.size() + part.faults.size());
    for (RowFault f : part.faults) {
        f.message = map[f.message];
        out.faults.push_back(f);
    }
}

}  // namespace

RowCheck checkAllRows(const RecordTables& tables, int maxtk, int maxcf, const CheckOptions& options) {
    // The faults in stretches of rows, each stretch's kept apart and all put
    // together in the rows' order; from 50,000 rows, a second core takes
    // stretches while this thread gives the warnings (and so every call of
    // `options`' callbacks), then joins it. The rows are only read.
    constexpr std::size_t kSplitAt = 50000;
    constexpr std::size_t kStretch = std::size_t{1} << 16;
    struct Stretch {
        ViewKind kind;
        std::size_t from, to;
    };
    std::vector<Stretch> stretches;
    for (ViewKind kind : kAllKinds)
        for (std::size_t from = 0, n = tables.table(kind).rowCount(); from < n; from += kStretch)
            stretches.push_back({kind, from, std::min(n, from + kStretch)});
    std::vector<RowCheck> parts(stretches.size());
    RowCheck warned;  // the warnings, their notes and directory numbers
    inOrder(
        stretches.size(),
        [&](std::size_t i) {
            checkRange(tables, stretches[i].kind, stretches[i].from, stretches[i].to, maxtk, maxcf, parts[i]);
        },
        [](std::size_t) {}, {.share = tables.totalRows() >= kSplitAt},
        [&] {
            for (ViewKind kind : kAllKinds) TableWarnings(tables, kind, options, warned).run();
        });
    RowCheck out;
    out.deadlineDays = options.deadlineDays;
    std::size_t faultCount = 0;
    for (const RowCheck& part : parts) faultCount += part.faults.size();
    out.faults.reserve(faultCount);
    for (RowCheck& part : parts) merge(out, std::move(part));
    out.warnings = std::move(warned.warnings);
    out.notes = std::move(warned.notes);
    out.directoryNumbers = std::move(warned.directoryNumbers);
    return out;
}

std::size_t RowCheck::lateRows() const {
    return static_cast<std::size_t>(std::count_if(warnings.begin(), warnings.end(), [](const RowWarning& w) {
        return w.what == WarningKind::LateOpening || w.what == WarningKind::LateClosing;
    }));
}

std::vector<CheckLine> checkLines(const RowCheck& check) {
    std::vector<CheckLine> lines;
    lines.reserve(check.faults.size() + check.warnings.size());
    std::size_t f = 0, w = 0;
    while (f < check.faults.size() || w < check.warnings.size()) {
        // A row's fault goes before its warnings.
        const bool fault =
            w == check.warnings.size() ||
            (f < check.faults.size() &&
             (check.faults[f].kind != check.warnings[w].kind ? check.faults[f].kind < check.warnings[w].kind
                                                             : check.faults[f].row <= check.warnings[w].row));
        if (fault) {
            lines.push_back({check.faults[f].kind, check.faults[f].row, false, static_cast<std::uint32_t>(f)});
            ++f;
        } else {
            lines.push_back({check.warnings[w].kind, check.warnings[w].row, true, static_cast<std::uint32_t>(w)});
            ++w;
        }
    }
    return lines;
}

std::string lineText(const RowCheck& check, const CheckLine& line) {
    return line.warning ? warningText(check, check.warnings[line.index])
                        : check.messages[check.faults[line.index].message];
}

std::string warningText(const RowCheck& check, const RowWarning& w) {
    switch (w.what) {
        case WarningKind::TaxCheckDigit: return std::string(kWarnTaxCheckDigit);
        case WarningKind::AccountCheckDigit: return std::string(kWarnAccountCheckDigit);
        case WarningKind::OriginalAccountCheckDigit: return std::string(kWarnOriginalAccountCheckDigit);
        case WarningKind::NewAccountCheckDigit: return std::string(kWarnNewAccountCheckDigit);
        case WarningKind::BankCodeCheckDigit: return std::string(kWarnBankCodeCheckDigit);
        case WarningKind::RepeatedRow:
            return "Figyelmeztetés: ugyanez a sor már szerepel (" + std::to_string(w.arg + 1) + ". sor)";
        case WarningKind::AccountUnderOtherTax:
            return "Figyelmeztetés: a számlaszám más törzsszámmal is szerepel (" + std::to_string(w.arg + 1) + ". sor)";
        case WarningKind::LateOpening:
        case WarningKind::LateClosing:
            return std::string("Figyelmeztetés: határidőn túl: a ") +
                   (w.what == WarningKind::LateOpening ? "nyitás" : "zárás") + " óta " + std::to_string(w.arg) +
                   " nap telt el (határidő: " + std::to_string(check.deadlineDays) + " nap)";
        case WarningKind::FutureDate:
            return "Figyelmeztetés: a dátum a jövőben van: " +
                   dateOfDay(static_cast<DayNumber>(static_cast<std::int32_t>(w.arg)));
        case WarningKind::AlreadyReported:
            return "Figyelmeztetés: ez a sor már szerepelt: " + check.notes[w.arg];
        case WarningKind::NotAccepted:
            return "Figyelmeztetés: határidőn túl, és az egyetlen archivált jelentés, amely tartalmazza, nincs elfogadva: " +
                   check.notes[w.arg];
        case WarningKind::HistoryOpeningConflict:
            return "Figyelmeztetés: az archívum két különböző nyitás dátumot ismer erre a számlára, ezért nem töltöttem ki";
        case WarningKind::HistoryCompanyConflict:
            return "Figyelmeztetés: az archívum két különböző cégszámot ismer erre a törzsszámra, ezért nem töltöttem ki";
        case WarningKind::DirectoryCompanyNumber: {
            const auto& n = check.directoryNumbers[w.arg];
            const std::string_view d(n.data(), n.size());
            return "Figyelmeztetés: a cégtár szerint a cégszám " + std::string(d.substr(0, 2)) + "-" +
                   std::string(d.substr(2, 2)) + "-" + std::string(d.substr(4));
        }
    }
    return {};
}

}  // namespace kovirant
