// The account history's store: the rows' cells in one pool, the hash
// tables of references to them and the look-ups. The walk of every
// account's last state is history_walk.cpp, where a history comes from
// history_cache.cpp, the fill and the check's look-ups history_fill.cpp.
#include "archive/account_history.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <functional>
#include <utility>

#include "archive/history_keys.h"
#include "archive/history_layout.h"
#include "editing/rules.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/os_file.h"
#include "util/prefetch.h"
#include "util/string_hash.h"

namespace kovirant {
namespace {

std::string digitsOf(std::string_view s) {
    std::string out;
    for (char c : s)
        if (isDigit(c)) out += c;
    return out;
}


}  // namespace

std::uint32_t AccountHistory::refIn(std::uint32_t slot) { return KeyIndex::entryIn(slot); }
std::uint32_t AccountHistory::slotFor(std::uint64_t hash, std::uint32_t ref) { return KeyIndex::slotOf(hash, ref); }

// Room for the rows the log says its reports hold (a hint: the reports are the truth).
void AccountHistory::reserve(std::size_t rows) {
    constexpr std::size_t kMostReserved = std::size_t{1} << 23;  // more rows grow the arrays as they come
    constexpr std::size_t kBytesPerRow = 80;  // a register row's stored cells
    rows = std::min(rows, kMostReserved);
    reserveLarge(built_.pool, rows * kBytesPerRow);
    reserveLarge(built_.rows, rows);
    reserveLarge(built_.nextByAccount, rows * 2);
    reserveLarge(built_.nextByTax, rows);
    for (KeyIndex* t : {&built_.accounts, &built_.taxes, &built_.cells}) t->presize(rows);
}

void AccountHistory::bind() {
    pool_ = std::string_view(built_.pool.data(), built_.pool.size());
    rows_ = built_.rows;
    nextByAccount_ = built_.nextByAccount;
    nextByTax_ = built_.nextByTax;
    accounts_ = built_.accounts.view();
    taxes_ = built_.taxes.view();
    cells_ = built_.cells.view();
}

const AccountHistory& AccountHistory::layerOf(std::uint32_t row) const {
    const AccountHistory* h = this;
    while (row < h->first_) h = h->below_.get();
    return *h;
}

const AccountHistory::StoredRow& AccountHistory::rowOf(std::uint32_t row) const {
    const AccountHistory& h = layerOf(row);
    return h.rows_[row - h.first_];
}

std::uint32_t AccountHistory::nextOfAccount(std::uint32_t ref) const {
    const AccountHistory& h = layerOf(ref / 2);
    return h.nextByAccount_[ref - 2 * h.first_];
}

std::uint32_t AccountHistory::nextOfTax(std::uint32_t row) const {
    const AccountHistory& h = layerOf(row);
    return h.nextByTax_[row - h.first_];
}

template <class KeyOf>
std::uint32_t AccountHistory::newest(KeyIndexView AccountHistory::*index, std::uint64_t hash, std::string_view key,
                                     const KeyOf& keyOf) const {
    for (const AccountHistory* h = this; h; h = h->below_.get())
        if (const std::uint32_t found = findKey(h->*index, hash, key, keyOf)) return found;
    return 0;
}

template <class KeyOf>
std::uint32_t AccountHistory::earliest(KeyIndexView AccountHistory::*index, std::uint64_t hash, std::string_view key,
                                       const KeyOf& keyOf) const {
    const std::uint32_t below = below_ ? below_->earliest(index, hash, key, keyOf) : 0;
    return below != 0 ? below : findKey(this->*index, hash, key, keyOf);
}

std::string_view AccountHistory::cellsOf(std::uint32_t row) const {
    const AccountHistory& h = layerOf(row);
    const std::size_t at = row - h.first_;
    const std::size_t end = at + 1 < h.rows_.size() ? h.rows_[at + 1].at : h.pool_.size();
    return h.pool_.substr(h.rows_[at].at, end - h.rows_[at].at);
}

std::string_view AccountHistory::storedCell(std::uint32_t row, std::size_t index) const {
    const AccountHistory& h = layerOf(row);
    const char* p = h.pool_.data() + h.rows_[row - h.first_].at;
    for (std::size_t i = 0; i < index; ++i) cellAt(p);
    return cellAt(p);
}

std::string_view AccountHistory::cellOfColumn(std::uint32_t row, std::size_t column) const {
    const auto columns = storedColumns(static_cast<ViewKind>(rowOf(row).table));
    const auto at = std::find(columns.begin(), columns.end(), column);
    return at == columns.end() ? std::string_view() : storedCell(row, static_cast<std::size_t>(at - columns.begin()));
}

std::string_view AccountHistory::accountOf(std::uint32_t ref) const {
    return storedCell(ref / 2, ref % 2 ? kStoredOriginalAccount : kStoredAccount);
}

std::string_view AccountHistory::openingOf(std::uint32_t ref) const {
    const std::uint32_t row = ref / 2;
    if (rowOf(row).table == ViewRegister) return cellOfColumn(row, RegisterCol::openingDate);
    return cellOfColumn(row, ref % 2 ? AccountChangeCol::originalOpeningDate : AccountChangeCol::newOpeningDate);
}

namespace {

// A reference (row * 2 + 1, + 1) fits beside its slot's tag, a cell's place
// in a layer's pool in 32 bits: an archive past either (some 50 million
// rows) cannot be held, and is not taken in part.
constexpr std::size_t kMostRows = (std::size_t{1} << 27) - 2;
static_assert(2 * kMostRows <= AccountHistory::KeyIndex::kEntryMask);  // the last row's second reference + 1

}  // namespace

void AccountHistory::stage(StagedTable& into, ViewKind kind, std::span<const std::string> cells) {
    // Each cell as the tables would hand it on: up to a NUL, cut to a field's length.
    std::array<std::string_view, kMostColumns> views;
    for (std::size_t c = 0; c < cells.size() && c < views.size(); ++c) views[c] = cut(cells[c].c_str(), kFieldMax);
    stage(into, kind, std::span<const std::string_view>(views));
}

void AccountHistory::stage(StagedTable& into, ViewKind kind, std::span<const std::string_view> views) {
    if (into.pool.size() > kMostPool) {
        into.overflow = true;
        return;
    }
    const std::span<const std::size_t> columns = storedColumns(kind);
    const std::size_t at = into.pool.size();
    into.at.push_back(static_cast<std::uint32_t>(at));
    for (std::size_t column : columns) appendCell(into.pool, views[column]);
    Keys& k = into.keys.emplace_back();
    if (kind != ViewInstitution) k.cells = stringHash(std::string_view(into.pool.data() + at, into.pool.size() - at));
    const std::string_view tax = views[columns[kStoredTax]];
    k.hasTax = !tax.empty();
    if (k.hasTax) k.tax = stringHash(tax);
    const std::uint32_t accounts = kind == ViewAccountChange ? 2u : kind == ViewRegister ? 1u : 0u;
    for (std::uint32_t which = 0; which < accounts; ++which) {
        const std::string_view a = views[columns[which == 0 ? kStoredAccount : kStoredOriginalAccount]];
        k.hasAccount[which] = !a.empty() && (which == 0 || a != views[columns[kStoredAccount]]);
        if (k.hasAccount[which]) k.account[which] = stringHash(a);
    }
}

std::vector<std::uint32_t> AccountHistory::headsBelow(const StagedTable& table, std::uint32_t first,
                                                      std::uint32_t accounts) const {
    std::vector<std::uint32_t> heads;
    if (!below_) return heads;
    heads.assign(table.at.size() * 3, 0);
    auto account = [this](std::uint32_t ref) { return accountOf(ref); };
    auto taxOf = [this](std::uint32_t ref) { return storedCell(ref, kStoredTax); };
    // Speed: a batch's slots in every layer below asked for at once, then probed (one key at a time: 3/4 of adding a report to 48).
    constexpr std::size_t kBatch = 32;
    for (std::size_t from = 0; from < table.at.size(); from += kBatch) {
        const std::size_t to = std::min(table.at.size(), from + kBatch);
        for (const AccountHistory* h = below_.get(); h; h = h->below_.get())
            for (std::size_t r = from; r < to; ++r) {
                const Keys& k = table.keys[r];
                if (k.hasTax) h->taxes_.prefetch(k.tax);
                for (std::uint32_t which = 0; which < accounts; ++which)
                    if (k.hasAccount[which]) h->accounts_.prefetch(k.account[which]);
            }
        for (std::size_t r = from; r < to; ++r) {
            const Keys& k = table.keys[r];
            const auto row = first + static_cast<std::uint32_t>(r);
            if (k.hasTax) heads[3 * r] = below_->newest(&AccountHistory::taxes_, k.tax, storedCell(row, kStoredTax), taxOf);
            for (std::uint32_t which = 0; which < accounts; ++which)
                if (k.hasAccount[which])
                    heads[3 * r + 1 + which] =
                        below_->newest(&AccountHistory::accounts_, k.account[which], accountOf(row * 2 + which), account);
        }
    }
    return heads;
}

bool AccountHistory::addTable(std::uint32_t report, ViewKind kind, StagedTable& table) {
    const std::size_t count = table.at.size();
    if (count == 0) return true;
    if (table.overflow || first_ + built_.rows.size() + count > kMostRows || built_.pool.size() + table.pool.size() > kMostPool)
        return false;
    // First the rows' cells into the pool as they were staged; then the keys
    // into the tables, each table's slot fetched a few rows ahead.
    const auto first = first_ + static_cast<std::uint32_t>(built_.rows.size());
    const auto base = static_cast<std::uint32_t>(built_.pool.size());
    if (built_.pool.empty() && built_.pool.capacity() < table.pool.capacity()) built_.pool.swap(table.pool);  // no room reserved lost
    else built_.pool.insert(built_.pool.end(), table.pool.begin(), table.pool.end());
    for (const std::uint32_t at : table.at) built_.rows.push_back({base + at, report, static_cast<std::uint8_t>(kind)});
    built_.nextByAccount.resize(built_.rows.size() * 2, 0);
    built_.nextByTax.resize(built_.rows.size(), 0);
    bind();  // the keys below read the rows
    auto account = [this](std::uint32_t ref) { return accountOf(ref); };
    auto taxOf = [this](std::uint32_t ref) { return storedCell(ref, kStoredTax); };
    auto cellsAt = [this](std::uint32_t ref) { return cellsOf(ref); };
    const std::uint32_t accounts = kind == ViewAccountChange ? 2u : kind == ViewRegister ? 1u : 0u;
    const std::vector<std::uint32_t> below = headsBelow(table, first, accounts);
    for (std::size_t r = 0; r < count; ++r) {
        if (r + kFetchAhead < count) {
            const Keys& ahead = table.keys[r + kFetchAhead];
            if (kind != ViewInstitution) built_.cells.prefetch(ahead.cells);
            if (ahead.hasTax) built_.taxes.prefetch(ahead.tax);
            for (std::uint32_t which = 0; which < accounts; ++which)
                if (ahead.hasAccount[which]) built_.accounts.prefetch(ahead.account[which]);
        }
        const Keys& k = table.keys[r];
        const auto row = first + static_cast<std::uint32_t>(r);
        // The earliest row of these cells in this layer (earliest() asks the layers below first).
        if (kind != ViewInstitution) {
            std::uint32_t& earliest = keySlot(built_.cells, k.cells, cellsOf(row), cellsAt);
            if (earliest == 0) earliest = slotFor(k.cells, row + 1);
        }
        // A key the layers below hold: its chain goes on into theirs.
        for (std::uint32_t which = 0; which < accounts; ++which) {
            if (!k.hasAccount[which]) continue;
            const std::uint32_t ref = row * 2 + which;
            std::uint32_t& head = keySlot(built_.accounts, k.account[which], accountOf(ref), account);
            built_.nextByAccount[ref - 2 * first_] = head != 0 || !below_ ? refIn(head) : below[3 * r + 1 + which];
            head = slotFor(k.account[which], ref + 1);
        }
        if (k.hasTax) {
            std::uint32_t& head = keySlot(built_.taxes, k.tax, storedCell(row, kStoredTax), taxOf);
            built_.nextByTax[row - first_] = head != 0 || !below_ ? refIn(head) : below[3 * r];
            head = slotFor(k.tax, row + 1);
        }
    }
    return true;
}

std::size_t AccountHistory::bytes() const {
    std::size_t n = sizeof *this + built_.pool.size() + built_.rows.size() * sizeof(StoredRow) +
                    (built_.nextByAccount.size() + built_.nextByTax.size()) * sizeof(std::uint32_t);
    for (const KeyIndex* t : {&built_.accounts, &built_.taxes, &built_.cells})
        n += t->bytes();
    if (mapped_) n += mapped_->bytes().size();
    n += copied_.capacity() * sizeof(std::uint64_t);
    for (const HistoryReport& r : reports_) n += sizeof r + r.time.capacity() + r.copy.capacity();
    return n + (below_ ? below_->bytes() : 0);
}

namespace {

// The one value seen, or a conflict when two differ.
struct OneValue {
    std::string_view value;
    bool seen = false, conflict = false;
    void add(std::string_view v) {
        if (seen && v != value) conflict = true;
        value = v;
        seen = true;
    }
    AccountHistory::Value answer() const {
        if (!seen) return {};
        if (conflict) return {AccountHistory::Answer::Conflict, {}};
        return {AccountHistory::Answer::Known, value};
    }
};

}  // namespace

std::string_view AccountHistory::holdingKey(ViewKind kind, std::span<const std::string_view> cells) {
    thread_local std::string key;  // its room kept for the thread's next row
    auto cell = [&](std::size_t column) { return column < cells.size() ? cells[column] : std::string_view(); };
    std::size_t size = 0;
    for (std::size_t column : storedColumns(kind)) size += cell(column).size() + (cell(column).size() < kLongCell ? 1 : 5);
    // Made in place rather than by appendCell (a month's check makes one a row): the same bytes.
    key.resize(size);
    char* at = key.data();
    for (std::size_t column : storedColumns(kind)) {
        const std::string_view c = cell(column);
        if (c.size() < kLongCell) {
            *at++ = static_cast<char>(c.size());
        } else {
            *at++ = static_cast<char>(kLongCell);
            const auto n = static_cast<std::uint32_t>(c.size());
            std::memcpy(at, &n, sizeof n);
            at += sizeof n;
        }
        if (!c.empty()) std::memcpy(at, c.data(), c.size());
        at += c.size();
    }
    return key;
}

std::optional<std::uint32_t> AccountHistory::reportHolding(ViewKind kind, std::span<const std::string_view> cells) const {
    return kind == ViewInstitution ? std::nullopt : reportHolding(kind, cells, stringHash(holdingKey(kind, cells)));
}

std::optional<std::uint32_t> AccountHistory::reportHolding(ViewKind kind, std::span<const std::string_view> cells,
                                                           std::uint64_t hash) const {
    if (kind == ViewInstitution) return std::nullopt;
    // Speed: a row no layer has a slot of its hash's tag for is held by none, its key not made (a month of 1M rows 7% less CPU).
    bool tagMet = false;
    for (const AccountHistory* h = this; h && !tagMet; h = h->below_.get())
        KeyIndex::probe(h->cells_.slots, hash, [&](std::uint32_t) { return tagMet = true; });
    const auto find = [&](std::string_view key) {
        assert(hash == stringHash(key));
        return earliest(&AccountHistory::cells_, hash, key, [this](std::uint32_t ref) { return cellsOf(ref); });
    };
    if (!tagMet) {
        assert(find(holdingKey(kind, cells)) == 0);
        return std::nullopt;
    }
    const std::uint32_t found = find(holdingKey(kind, cells));
    if (found == 0) return std::nullopt;
    return rowOf(found - 1).report;
}

AccountHistory::Value AccountHistory::opening(std::string_view account, std::string_view tax) const {
    return opening(account, stringHash(account), tax);
}

AccountHistory::Value AccountHistory::opening(std::string_view account, std::uint64_t accountHash, std::string_view tax) const {
    OneValue date;
    for (std::uint32_t s = newest(&AccountHistory::accounts_, accountHash, account,
                                  [this](std::uint32_t ref) { return accountOf(ref); });
         s != 0; s = nextOfAccount(s - 1)) {
        const std::uint32_t row = (s - 1) / 2;
        if (storedCell(row, kStoredTax) != tax) continue;
        if (const std::string_view d = openingOf(s - 1); !d.empty()) date.add(d);
    }
    return date.answer();
}

AccountHistory::Value AccountHistory::company(std::string_view tax) const { return company(tax, stringHash(tax)); }

AccountHistory::Value AccountHistory::company(std::string_view tax, std::uint64_t taxHash) const {
    auto taxOf = [this](std::uint32_t row) { return storedCell(row, kStoredTax); };
    OneValue number;
    for (std::uint32_t s = newest(&AccountHistory::taxes_, taxHash, tax, taxOf); s != 0; s = nextOfTax(s - 1)) {
        const std::string_view c =
            cellOfColumn(s - 1, columnOf(static_cast<ViewKind>(rowOf(s - 1).table), ColumnRole::CompanyNumber));
        if (c.size() == kCompanyNumberLength) number.add(c);
    }
    return number.answer();
}

void AccountHistory::lookUp(std::span<Lookup> batch) const {
    constexpr std::size_t kMost = 32;
    std::array<std::uint64_t, kMost * 2> hash;
    std::array<std::uint32_t, kMost * 2> head;
    for (std::size_t first = 0; first < batch.size(); first += kMost) {
        const std::span<Lookup> part = batch.subspan(first, std::min(kMost, batch.size() - first));
        // The slots.
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (part[i].opening) hash[2 * i] = stringHash(part[i].account);
            if (part[i].company) hash[2 * i + 1] = stringHash(part[i].tax);
            for (const AccountHistory* h = this; h; h = h->below_.get()) {
                if (part[i].opening) h->accounts_.prefetch(hash[2 * i]);
                if (part[i].company) h->taxes_.prefetch(hash[2 * i + 1]);
            }
        }
        // The rows they name (the first of each chain, in the newest layer
        // that has one where the key's probe starts), then those rows' cells.
        auto slotOf = [this](KeyIndexView AccountHistory::*index, std::size_t hash) {
            for (const AccountHistory* h = this; h; h = h->below_.get()) {
                const KeyIndexView& t = h->*index;
                if (!t.slots.empty() && t.slots[KeyIndex::homeOf(t.slots.size(), hash)] != 0)
                    return refIn(t.slots[KeyIndex::homeOf(t.slots.size(), hash)]);
            }
            return 0u;
        };
        for (std::size_t i = 0; i < part.size(); ++i) {
            head[2 * i] = part[i].opening ? slotOf(&AccountHistory::accounts_, hash[2 * i]) : 0;
            head[2 * i + 1] = part[i].company ? slotOf(&AccountHistory::taxes_, hash[2 * i + 1]) : 0;
            if (head[2 * i]) {
                const AccountHistory& l = layerOf((head[2 * i] - 1) / 2);
                prefetch(&l.rows_[(head[2 * i] - 1) / 2 - l.first_]);
                prefetch(&l.nextByAccount_[head[2 * i] - 1 - 2 * l.first_]);
            }
            if (head[2 * i + 1]) {
                const AccountHistory& l = layerOf(head[2 * i + 1] - 1);
                prefetch(&l.rows_[head[2 * i + 1] - 1 - l.first_]);
                prefetch(&l.nextByTax_[head[2 * i + 1] - 1 - l.first_]);
            }
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (head[2 * i]) prefetch(layerOf((head[2 * i] - 1) / 2).pool_.data() + rowOf((head[2 * i] - 1) / 2).at);
            if (head[2 * i + 1]) prefetch(layerOf(head[2 * i + 1] - 1).pool_.data() + rowOf(head[2 * i + 1] - 1).at);
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            Lookup& l = part[i];
            if (l.opening) l.openingFound = opening(l.account, hash[2 * i], l.tax);
            if (l.company) l.companyFound = company(l.tax, hash[2 * i + 1]);
        }
    }
}

HistoryRow AccountHistory::rowAt(std::uint32_t row) const {
    HistoryRow out;
    out.report = rowOf(row).report;
    out.table = static_cast<ViewKind>(rowOf(row).table);
    auto s = [&](std::size_t column) { return std::string(cellOfColumn(row, column)); };
    switch (out.table) {
        case ViewRegister:
            out.company = s(RegisterCol::companyNumber);
            out.tax = s(RegisterCol::taxBaseNumber);
            out.account = s(RegisterCol::accountNumber);
            out.opening = s(RegisterCol::openingDate);
            out.closing = s(RegisterCol::closingDate);
            out.code = s(RegisterCol::accountCode);
            break;
        case ViewInstitution:
            out.company = s(InstitutionCol::companyNumber);
            out.tax = s(InstitutionCol::taxBaseNumber);
            out.code = s(InstitutionCol::operationCode);
            break;
        case ViewAccountChange:
            out.company = s(AccountChangeCol::companyNumber);
            out.tax = s(AccountChangeCol::taxBaseNumber);
            out.account = s(AccountChangeCol::newAccountNumber);
            out.opening = s(AccountChangeCol::newOpeningDate);
            out.closing = s(AccountChangeCol::newClosingDate);
            out.originalAccount = s(AccountChangeCol::originalAccountNumber);
            out.originalOpening = s(AccountChangeCol::originalOpeningDate);
            out.originalClosing = s(AccountChangeCol::originalClosingDate);
            break;
    }
    return out;
}

std::vector<HistoryRow> AccountHistory::rowsOf(std::string_view number) const {
    const std::string digits = digitsOf(number);
    // The forms the number may be stored in.
    constexpr std::string_view kZeros = "00000000";
    std::vector<std::string> accounts = {digits}, taxes = {digits};
    if (digits.size() == 16) accounts.push_back(digits + std::string(kZeros));
    if (digits.size() == 24 && std::string_view(digits).substr(16) == kZeros) accounts.push_back(digits.substr(0, 16));
    if (digits.size() == 11) taxes.push_back(digits.substr(0, 8));
    std::vector<std::uint32_t> found;
    for (const std::string& a : accounts)
        for (std::uint32_t s =
                 newest(&AccountHistory::accounts_, stringHash(a), a, [this](std::uint32_t ref) { return accountOf(ref); });
             s != 0; s = nextOfAccount(s - 1))
            found.push_back((s - 1) / 2);
    auto taxOf = [this](std::uint32_t row) { return storedCell(row, kStoredTax); };
    for (const std::string& t : taxes)
        for (std::uint32_t s = newest(&AccountHistory::taxes_, stringHash(t), t, taxOf); s != 0; s = nextOfTax(s - 1))
            found.push_back(s - 1);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    // Oldest first by the report's own time (an earlier report added later
    // keeps its place), rows of one report in their order.
    std::stable_sort(found.begin(), found.end(), [this](std::uint32_t a, std::uint32_t b) {
        return reports_[rowOf(a).report].time < reports_[rowOf(b).report].time;
    });
    std::vector<HistoryRow> out;
    out.reserve(found.size());
    for (std::uint32_t row : found) out.push_back(rowAt(row));
    return out;
}

std::vector<std::string> AccountHistory::copyWarnings() const {
    std::vector<std::string> out;
    for (const HistoryReport& r : reports_) {
        const std::string copy = utf8ToCp1250(r.copy);
        switch (r.state) {
            case CopyState::Used:
            case CopyState::Repeated: break;
            case CopyState::Changed:
                out.push_back("Az archívum másolata (" + copy + ") nem az, amelyet a napló SHA-256-ja igazol: nem használtam.");
                break;
            case CopyState::Missing: out.push_back("Hiányzik az archívum másolata (" + copy + "): nem használtam."); break;
            case CopyState::Unreadable:
                out.push_back("Az archívum másolata (" + copy + ") nem olvasható: nem használtam.");
                break;
        }
    }
    return out;
}

}  // namespace kovirant
