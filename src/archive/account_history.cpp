#include "archive/account_history.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <version>
#if defined(_GLIBCXX_HAS_GTHREADS) || !defined(__GLIBCXX__)
#include <thread>
#define KOVIRANT_HAS_THREADS 1
#endif
#include <utility>

#include "archive/report_archive.h"
#include "editing/rules.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/sha256.h"

namespace kovirant {
namespace {

std::string digitsOf(std::string_view s) {
    std::string out;
    for (char c : s)
        if (isDigit(c)) out += c;
    return out;
}

// The table's columns a history row keeps: every column of a register and
// an account-change row (the check compares them all), an institution's
// company number, tax number and code. The tax number comes first and the
// accounts after it, so the lookups find them without walking the row.
std::span<const std::size_t> storedColumns(ViewKind kind) {
    using namespace RegisterCol;
    static constexpr std::size_t reg[] = {taxBaseNumber, accountNumber, companyNumber, openingDate, closingDate,
                                          accountCode};
    static constexpr std::size_t inst[] = {InstitutionCol::taxBaseNumber, InstitutionCol::companyNumber,
                                           InstitutionCol::operationCode};
    static constexpr std::size_t acc[] = {
        AccountChangeCol::taxBaseNumber,      AccountChangeCol::newAccountNumber,   AccountChangeCol::originalAccountNumber,
        AccountChangeCol::companyNumber,      AccountChangeCol::originalOpeningDate, AccountChangeCol::originalClosingDate,
        AccountChangeCol::newOpeningDate,     AccountChangeCol::newClosingDate};
    static_assert(std::size(reg) == RegisterCol::count && std::size(acc) == AccountChangeCol::count);
    switch (kind) {
        case ViewRegister: return reg;
        case ViewInstitution: return inst;
        case ViewAccountChange: return acc;
    }
    return {};
}
// Where storedColumns puts the tax number and the accounts.
constexpr std::size_t kStoredTax = 0;
constexpr std::size_t kStoredAccount = 1;         // register: its account; account change: the new one
constexpr std::size_t kStoredOriginalAccount = 2;  // account change

// A cell in the pool: its length in one byte, or 255 and four bytes.
constexpr unsigned char kLongCell = 255;

void appendCell(std::string& pool, std::string_view cell) {
    if (cell.size() < kLongCell) {
        pool += static_cast<char>(cell.size());
    } else {
        pool += static_cast<char>(kLongCell);
        const auto n = static_cast<std::uint32_t>(cell.size());
        pool.append(reinterpret_cast<const char*>(&n), sizeof n);
    }
    pool += cell;
}

// The cell at `p` and the position after it.
std::string_view cellAt(const char*& p) {
    std::size_t n = static_cast<unsigned char>(*p++);
    if (n == kLongCell) {
        std::uint32_t len = 0;
        std::memcpy(&len, p, sizeof len);
        p += sizeof len;
        n = len;
    }
    const std::string_view cell(p, n);
    p += n;
    return cell;
}

std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

template <class KeyOf>
std::uint32_t& AccountHistory::RefTable::slot(std::string_view key, const KeyOf& keyOf) {
    if ((used + 1) * 2 > slots.size()) {
        std::vector<std::uint32_t> old = std::move(slots);
        slots.assign(std::max<std::size_t>(16, old.size() * 2), 0);
        for (std::uint32_t s : old) {
            if (s == 0) continue;
            std::size_t i = hashOf(keyOf(s - 1)) & (slots.size() - 1);
            while (slots[i] != 0) i = (i + 1) & (slots.size() - 1);
            slots[i] = s;
        }
    }
    std::size_t i = hashOf(key) & (slots.size() - 1);
    while (slots[i] != 0 && keyOf(slots[i] - 1) != key) i = (i + 1) & (slots.size() - 1);
    if (slots[i] == 0) ++used;
    return slots[i];
}

template <class KeyOf>
std::uint32_t AccountHistory::RefTable::find(std::string_view key, const KeyOf& keyOf) const {
    if (slots.empty()) return 0;
    std::size_t i = hashOf(key) & (slots.size() - 1);
    while (slots[i] != 0 && keyOf(slots[i] - 1) != key) i = (i + 1) & (slots.size() - 1);
    return slots[i];
}

void AccountHistory::RefTable::presize(std::size_t entries) {
    if (used != 0) return;
    std::size_t size = 16;
    while (size < entries * 2 + 2) size *= 2;
    slots.assign(size, 0);
}

// Room for the rows the log says its reports hold (a hint: the reports are the truth).
void AccountHistory::reserve(std::size_t rows) {
    constexpr std::size_t kMostRows = std::size_t{1} << 26;
    constexpr std::size_t kBytesPerRow = 80;  // a register row's stored cells
    rows = std::min(rows, kMostRows);
    pool_.reserve(rows * kBytesPerRow);
    rows_.reserve(rows);
    nextByAccount_.reserve(rows * 2);
    nextByTax_.reserve(rows);
    for (RefTable* t : {&accounts_, &taxes_, &cells_}) t->presize(rows);
}

std::string_view AccountHistory::stored(std::uint32_t row, std::size_t index) const {
    const char* p = pool_.data() + rows_[row].at;
    for (std::size_t i = 0; i < index; ++i) cellAt(p);
    return cellAt(p);
}

std::string_view AccountHistory::field(std::uint32_t row, std::size_t column) const {
    const auto columns = storedColumns(static_cast<ViewKind>(rows_[row].table));
    const auto at = std::find(columns.begin(), columns.end(), column);
    return at == columns.end() ? std::string_view() : stored(row, static_cast<std::size_t>(at - columns.begin()));
}

std::string_view AccountHistory::accountOf(std::uint32_t ref) const {
    return stored(ref / 2, ref % 2 ? kStoredOriginalAccount : kStoredAccount);
}

std::string_view AccountHistory::openingOf(std::uint32_t ref) const {
    const std::uint32_t row = ref / 2;
    if (rows_[row].table == ViewRegister) return field(row, RegisterCol::openingDate);
    return field(row, ref % 2 ? AccountChangeCol::originalOpeningDate : AccountChangeCol::newOpeningDate);
}

void AccountHistory::add(std::uint32_t report, ViewKind kind, const RecordTables& tables, std::size_t r) {
    const auto row = static_cast<std::uint32_t>(rows_.size());
    rows_.push_back({static_cast<std::uint32_t>(pool_.size()), report, static_cast<std::uint8_t>(kind)});
    for (std::size_t column : storedColumns(kind)) appendCell(pool_, tables.cell(kind, r, column));
    auto cellsOf = [this](std::uint32_t ref) {
        const std::uint32_t end = ref + 1 < rows_.size() ? rows_[ref + 1].at : static_cast<std::uint32_t>(pool_.size());
        return std::string_view(pool_).substr(rows_[ref].at, end - rows_[ref].at);
    };
    if (kind != ViewInstitution) {
        std::uint32_t& earliest = cells_.slot(cellsOf(row), cellsOf);
        if (earliest == 0) earliest = row + 1;
    }
    nextByAccount_.resize(nextByAccount_.size() + 2, 0);
    auto account = [this](std::uint32_t ref) { return accountOf(ref); };
    for (std::uint32_t which = 0; which < (kind == ViewAccountChange ? 2u : kind == ViewRegister ? 1u : 0u); ++which) {
        const std::uint32_t ref = row * 2 + which;
        const std::string_view a = accountOf(ref);
        if (a.empty() || (which == 1 && a == accountOf(row * 2))) continue;
        std::uint32_t& head = accounts_.slot(a, account);
        nextByAccount_[ref] = head;
        head = ref + 1;
    }
    nextByTax_.push_back(0);
    const std::string_view tax = stored(row, kStoredTax);
    if (!tax.empty()) {
        std::uint32_t& head = taxes_.slot(tax, [this](std::uint32_t ref) { return stored(ref, kStoredTax); });
        nextByTax_[row] = head;
        head = row + 1;
    }
}

namespace {

// One archived report read into tables of its own.
struct ReadReport {
    std::unique_ptr<MemoryTable> reg = std::make_unique<MemoryTable>(ViewRegister);
    std::unique_ptr<MemoryTable> inst = std::make_unique<MemoryTable>(ViewInstitution);
    std::unique_ptr<MemoryTable> acc = std::make_unique<MemoryTable>(ViewAccountChange);
    std::unique_ptr<RecordTables> tables = std::make_unique<RecordTables>(*reg, *inst, *acc);
    bool read = false;
};

ReadReport readReport(std::filesystem::path copy) {
    ReadReport r;
    r.read = ReloadReport(copy, *r.tables).status != ReloadStatus::CannotOpen;
    return r;
}

// What the cache was made from: the log's bytes and every copy's size and time.
std::string proofFrom(const std::filesystem::path& folder, std::string_view log, const std::vector<ArchiveLogEntry>& entries) {
    std::string proof = hexOf(sha256(log));
    std::error_code ec;
    for (const ArchiveLogEntry& e : entries) {
        const std::filesystem::path copy = folder / std::filesystem::path(std::u8string(e.copy.begin(), e.copy.end()));
        const auto size = std::filesystem::file_size(copy, ec);
        const auto time = std::filesystem::last_write_time(copy, ec);
        proof += ' ' + std::to_string(ec ? 0 : size) + ':' + std::to_string(ec ? 0 : time.time_since_epoch().count());
    }
    return proof;
}

}  // namespace

AccountHistory AccountHistory::build(const std::filesystem::path& folder, int& errorCode, HistoryCache cache) {
    AccountHistory h;
    std::string log;
    errorCode = readFile(folder / std::string(kArchiveLogName), log);
    if (errorCode != 0) return h;
    const std::vector<ArchiveLogEntry> entries = readArchiveLog(folder, errorCode);
    if (errorCode != 0) return h;
    const std::string proof = proofFrom(folder, log, entries);
    h.proof_ = proof;
    if (cache == HistoryCache::Use && h.readCache(folder, proof)) return h;
    h = AccountHistory();
    h.proof_ = proof;
    std::size_t hint = 0;
    for (const ArchiveLogEntry& e : entries)
        for (const std::string& n : e.rows) hint += static_cast<std::size_t>(std::strtoull(n.c_str(), nullptr, 10) % (1u << 26));
    h.reserve(hint);
    // The next report is read on another core while one is added, in the log's order.
    auto copyOf = [&](std::size_t i) {
        const std::string& c = entries[i].copy;
        return folder / std::filesystem::path(std::u8string(c.begin(), c.end()));
    };
    ReadReport current = entries.empty() ? ReadReport() : readReport(copyOf(0));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ReadReport next;
        auto addCurrent = [&] {
            const auto report = static_cast<std::uint32_t>(h.reports_.size());
            h.reports_.push_back({entries[i].time, entries[i].copy});
            if (!current.read) return;
            for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange})
                for (std::size_t row = 0; row < current.tables->table(k).rowCount(); ++row)
                    h.add(report, k, *current.tables, row);
        };
#ifdef KOVIRANT_HAS_THREADS
        std::thread reader;
        if (i + 1 < entries.size()) reader = std::thread([&] { next = readReport(copyOf(i + 1)); });
        addCurrent();
        if (reader.joinable()) reader.join();
#else
        addCurrent();
        if (i + 1 < entries.size()) next = readReport(copyOf(i + 1));
#endif
        current = std::move(next);
    }
    h.pool_.shrink_to_fit();
    h.rows_.shrink_to_fit();
    h.nextByAccount_.shrink_to_fit();
    h.nextByTax_.shrink_to_fit();
    if (cache == HistoryCache::Use) h.writeCache(folder, proof);
    return h;
}

std::string AccountHistory::proofOf(const std::filesystem::path& folder) {
    std::string log;
    int err = readFile(folder / std::string(kArchiveLogName), log);
    if (err != 0) return {};
    const std::vector<ArchiveLogEntry> entries = readArchiveLog(folder, err);
    return err != 0 ? std::string() : proofFrom(folder, log, entries);
}

std::size_t AccountHistory::bytes() const {
    std::size_t n = sizeof *this + pool_.capacity() + rows_.capacity() * sizeof(Packed) +
                    (nextByAccount_.capacity() + nextByTax_.capacity()) * sizeof(std::uint32_t);
    for (const RefTable* t : {&accounts_, &taxes_, &cells_}) n += t->slots.capacity() * sizeof(std::uint32_t);
    for (const HistoryReport& r : reports_) n += sizeof r + r.time.capacity() + r.copy.capacity();
    return n;
}

// The cache: a head line of text (what it was made from), the history's
// arrays as they are in memory, and a checksum of everything before it.
namespace {

constexpr std::string_view kCacheName = "szamlatortenet.cache";
constexpr std::string_view kCacheMagic = "Kovirant számlatörténet 1";

// A 64-bit checksum, fast enough not to count beside the read.
struct Checksum {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    void add(const void* data, std::size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (; n >= 8; n -= 8, p += 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            h = (h ^ w) * 0x100000001B3ull;
            h ^= h >> 29;
        }
        for (; n > 0; --n, ++p) h = (h ^ *p) * 0x100000001B3ull;
    }
};

struct CacheWriter {
    std::FILE* f;
    Checksum sum;
    bool ok = true;
    void bytes(const void* data, std::size_t n) {
        sum.add(data, n);
        ok = ok && std::fwrite(data, 1, n, f) == n;
    }
    void number(std::uint64_t n) { bytes(&n, sizeof n); }
    void text(std::string_view s) {
        number(s.size());
        bytes(s.data(), s.size());
    }
    template <class T>
    void array(const std::vector<T>& v) {
        number(v.size());
        bytes(v.data(), v.size() * sizeof(T));
    }
};

struct CacheReader {
    std::FILE* f;
    std::uint64_t left;  // bytes of the file not yet read
    Checksum sum;
    bool ok = true;
    void bytes(void* data, std::size_t n) {
        ok = ok && n <= left && std::fread(data, 1, n, f) == n;
        if (!ok) return;
        left -= n;
        sum.add(data, n);
    }
    std::uint64_t number() {
        std::uint64_t n = 0;
        bytes(&n, sizeof n);
        return ok ? n : 0;
    }
    std::string text() {
        const std::uint64_t n = number();
        std::string s;
        if (!ok || n > left) return ok = false, s;
        s.resize(n);
        bytes(s.data(), n);
        return s;
    }
    template <class T>
    void array(std::vector<T>& v) {
        const std::uint64_t n = number();
        if (!ok || n > left / sizeof(T)) {
            ok = false;
            return;
        }
        v.resize(n);
        bytes(v.data(), n * sizeof(T));
    }
};

}  // namespace

void AccountHistory::writeCache(const std::filesystem::path& folder, const std::string& proof) const {
    const std::filesystem::path cache = folder / std::string(kCacheName);
    std::filesystem::path temp = cache;
    const std::string suffix = std::to_string(thisProcess().process);
    temp += ".";
    temp += suffix;
    {
        OpenedFile opened = openFile(temp, "wb");
        if (!opened) return;  // a folder the officer may only read: the history is built each time
        CacheWriter w{opened.file.get(), {}};
        w.text(kCacheMagic);
        w.number(sizeof(Packed));
        w.text(proof);
        w.number(reports_.size());
        for (const HistoryReport& r : reports_) {
            w.text(r.time);
            w.text(r.copy);
        }
        w.text(pool_);
        w.array(rows_);
        w.array(nextByAccount_);
        w.array(nextByTax_);
        for (const RefTable* t : {&accounts_, &taxes_, &cells_}) {
            w.array(t->slots);
            w.number(t->used);
        }
        const std::uint64_t sum = w.sum.h;
        w.ok = w.ok && std::fwrite(&sum, 1, sizeof sum, opened.file.get()) == sizeof sum;
        if (std::fclose(opened.file.release()) != 0) w.ok = false;
        if (w.ok && renameReplacing(temp, cache) == 0) return;
    }
    std::error_code ec;
    std::filesystem::remove(temp, ec);
}

bool AccountHistory::readCache(const std::filesystem::path& folder, const std::string& proof) {
    const std::filesystem::path cache = folder / std::string(kCacheName);
    std::error_code ec;
    const auto size = std::filesystem::file_size(cache, ec);
    if (ec || size < sizeof(std::uint64_t)) return false;
    OpenedFile opened = openFile(cache, "rb");
    if (!opened) return false;
    CacheReader r{opened.file.get(), size - sizeof(std::uint64_t), {}};
    if (r.text() != kCacheMagic || r.number() != sizeof(Packed) || r.text() != proof) return false;
    const std::uint64_t reports = r.number();
    if (!r.ok || reports > r.left) return false;
    reports_.resize(reports);
    for (HistoryReport& rep : reports_) {
        rep.time = r.text();
        rep.copy = r.text();
    }
    pool_ = r.text();
    r.array(rows_);
    r.array(nextByAccount_);
    r.array(nextByTax_);
    for (RefTable* t : {&accounts_, &taxes_, &cells_}) {
        r.array(t->slots);
        t->used = r.number();
    }
    std::uint64_t sum = 0;
    const bool whole = r.ok && r.left == 0 && std::fread(&sum, 1, sizeof sum, opened.file.get()) == sizeof sum &&
                       sum == r.sum.h;
    // Whatever the cache says must point inside it.
    bool sound = whole && nextByAccount_.size() == rows_.size() * 2 && nextByTax_.size() == rows_.size();
    for (const RefTable* t : {&accounts_, &taxes_, &cells_})
        sound = sound && (t->slots.size() & (t->slots.size() - 1)) == 0;
    for (const RefTable* t : {&accounts_, &taxes_, &cells_})
        sound = sound && t->used < t->slots.size() &&
                std::all_of(t->slots.begin(), t->slots.end(), [&](std::uint32_t s) { return s <= nextByAccount_.size(); });
    // Every row's cells inside the pool, before the next row's; every chain
    // pointing back to an earlier row (so that no walk can go round).
    for (std::size_t i = 0; sound && i < rows_.size(); ++i) {
        const std::size_t end = i + 1 < rows_.size() ? rows_[i + 1].at : pool_.size();
        sound = rows_[i].at <= end && end <= pool_.size() && rows_[i].report < reports_.size() &&
                rows_[i].table < kViewKindCount && nextByTax_[i] <= i && nextByAccount_[2 * i] <= 2 * i &&
                nextByAccount_[2 * i + 1] <= 2 * i + 1;
        std::size_t at = rows_[i].at;
        for (std::size_t c = 0; sound && c < storedColumns(static_cast<ViewKind>(rows_[i].table)).size(); ++c) {
            if (at >= end) {
                sound = false;
                break;
            }
            std::size_t n = static_cast<unsigned char>(pool_[at++]);
            if (n == kLongCell) {
                std::uint32_t len = 0;
                if (end - at < sizeof len) {
                    sound = false;
                    break;
                }
                std::memcpy(&len, pool_.data() + at, sizeof len);
                at += sizeof len;
                n = len;
            }
            sound = n <= end - at;
            at += n;
        }
    }
    if (!sound) {
        *this = AccountHistory();
        proof_ = proof;
        return false;
    }
    fromCache_ = true;
    return true;
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
        return {AccountHistory::Answer::Known, std::string(value)};
    }
};

}  // namespace

std::optional<std::uint32_t> AccountHistory::reportHolding(ViewKind kind, std::span<const std::string_view> cells) const {
    if (kind == ViewInstitution) return std::nullopt;
    std::string key;
    for (std::size_t column : storedColumns(kind)) appendCell(key, column < cells.size() ? cells[column] : "");
    const std::uint32_t found = cells_.find(key, [this](std::uint32_t ref) {
        const std::uint32_t end = ref + 1 < rows_.size() ? rows_[ref + 1].at : static_cast<std::uint32_t>(pool_.size());
        return std::string_view(pool_).substr(rows_[ref].at, end - rows_[ref].at);
    });
    if (found == 0) return std::nullopt;
    return rows_[found - 1].report;
}

AccountHistory::Value AccountHistory::opening(std::string_view account, std::string_view tax) const {
    OneValue date;
    for (std::uint32_t s = accounts_.find(account, [this](std::uint32_t ref) { return accountOf(ref); }); s != 0;
         s = nextByAccount_[s - 1]) {
        const std::uint32_t row = (s - 1) / 2;
        if (stored(row, kStoredTax) != tax) continue;
        if (const std::string_view d = openingOf(s - 1); !d.empty()) date.add(d);
    }
    return date.answer();
}

AccountHistory::Value AccountHistory::company(std::string_view tax) const {
    auto taxOf = [this](std::uint32_t row) { return stored(row, kStoredTax); };
    OneValue number;
    for (std::uint32_t s = taxes_.find(tax, taxOf); s != 0; s = nextByTax_[s - 1]) {
        const std::string_view c =
            field(s - 1, columnOf(static_cast<ViewKind>(rows_[s - 1].table), ColumnRole::CompanyNumber));
        if (c.size() == kCompanyNumberLength) number.add(c);
    }
    return number.answer();
}

HistoryRow AccountHistory::rowAt(std::uint32_t row) const {
    HistoryRow out;
    out.report = rows_[row].report;
    out.table = static_cast<ViewKind>(rows_[row].table);
    auto s = [&](std::size_t column) { return std::string(field(row, column)); };
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
    std::vector<std::uint32_t> found;
    for (std::uint32_t s = accounts_.find(digits, [this](std::uint32_t ref) { return accountOf(ref); }); s != 0;
         s = nextByAccount_[s - 1])
        found.push_back((s - 1) / 2);
    auto taxOf = [this](std::uint32_t row) { return stored(row, kStoredTax); };
    for (std::uint32_t s = taxes_.find(digits, taxOf); s != 0; s = nextByTax_[s - 1]) found.push_back(s - 1);
    // Oldest first: the rows are in the log's order, the reports' order.
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<HistoryRow> out;
    out.reserve(found.size());
    for (std::uint32_t row : found) out.push_back(rowAt(row));
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
