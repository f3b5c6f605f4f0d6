#include "archive/account_history.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <deque>
#include <set>
#include <utility>

#include "archive/report_archive.h"
#include "editing/rules.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "text/cp1250.h"
#include "text/format.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/prefetch.h"
#include "util/sha256.h"
#include "util/string_hash.h"
#include "util/threads.h"

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

template <class Bytes>
void appendCell(Bytes& pool, std::string_view cell) {
    if (cell.size() < kLongCell) {
        pool.push_back(static_cast<char>(cell.size()));
    } else {
        pool.push_back(static_cast<char>(kLongCell));
        const auto n = static_cast<std::uint32_t>(cell.size());
        pool.insert(pool.end(), reinterpret_cast<const char*>(&n), reinterpret_cast<const char*>(&n) + sizeof n);
    }
    pool.insert(pool.end(), cell.begin(), cell.end());
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

// How many rows ahead the hash tables' slots are fetched: their loads, each
// far from the last in a table of millions, then overlap.
constexpr std::size_t kFetchAhead = 8;

// A slot holds a reference + 1 in its low bits and four bits of its key's
// hash above them: most slots of other keys met on the way are passed over
// without reading their row (which is far away in memory).
constexpr std::uint32_t kRefMask = (std::uint32_t{1} << 28) - 1;
std::uint32_t tagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 60) << 28; }

// Where `key` is in `slots` (a power of two of them, never full): its own
// slot, or the empty one where it would go.
template <class KeyOf>
std::size_t probe(std::span<const std::uint32_t> slots, std::uint64_t hash, std::string_view key, const KeyOf& keyOf) {
    const std::uint32_t tag = tagOf(hash);
    std::size_t i = static_cast<std::size_t>(hash) & (slots.size() - 1);
    while (slots[i] != 0 && ((slots[i] & ~kRefMask) != tag || keyOf((slots[i] & kRefMask) - 1) != key))
        i = (i + 1) & (slots.size() - 1);
    return i;
}

}  // namespace

std::uint32_t AccountHistory::refOf(std::uint32_t slot) { return slot & kRefMask; }
std::uint32_t AccountHistory::tagged(std::uint64_t hash, std::uint32_t ref) { return tagOf(hash) | ref; }

template <class KeyOf>
std::uint32_t& AccountHistory::RefTable::slot(std::uint64_t hash, std::string_view key, const KeyOf& keyOf) {
    if ((used + 1) * 2 > slots.size()) {
        std::vector<std::uint32_t> old = std::move(slots);
        slots.assign(std::max<std::size_t>(16, old.size() * 2), 0);
        for (std::uint32_t s : old) {
            if (s == 0) continue;
            std::size_t i = stringHash(keyOf(refOf(s) - 1)) & (slots.size() - 1);
            while (slots[i] != 0) i = (i + 1) & (slots.size() - 1);
            slots[i] = s;
        }
    }
    const std::size_t i = probe(slots, hash, key, keyOf);
    if (slots[i] == 0) ++used;
    return slots[i];
}

void AccountHistory::RefTable::prefetch(std::uint64_t hash) const { view().prefetch(hash); }

void AccountHistory::RefView::prefetch(std::uint64_t hash) const {
    if (!slots.empty()) kovirant::prefetch(&slots[hash & (slots.size() - 1)]);
}

template <class KeyOf>
std::uint32_t AccountHistory::RefView::find(std::uint64_t hash, std::string_view key, const KeyOf& keyOf) const {
    return slots.empty() ? 0 : refOf(slots[probe(slots, hash, key, keyOf)]);
}

void AccountHistory::RefTable::presize(std::size_t entries) {
    if (used != 0) return;
    std::size_t size = 16;
    while (size < entries * 2 + 2) size *= 2;
    slots = largeVector<std::uint32_t>(size);
}

// Room for the rows the log says its reports hold (a hint: the reports are the truth).
void AccountHistory::reserve(std::size_t rows) {
    constexpr std::size_t kMostRows = std::size_t{1} << 23;  // more rows grow the arrays as they come
    constexpr std::size_t kBytesPerRow = 80;  // a register row's stored cells
    rows = std::min(rows, kMostRows);
    reserveLarge(built_.pool, rows * kBytesPerRow);
    reserveLarge(built_.rows, rows);
    reserveLarge(built_.nextByAccount, rows * 2);
    reserveLarge(built_.nextByTax, rows);
    for (RefTable* t : {&built_.accounts, &built_.taxes, &built_.cells}) t->presize(rows);
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

std::string_view AccountHistory::cellsOf(std::uint32_t row) const {
    const std::size_t end = row + 1 < rows_.size() ? rows_[row + 1].at : pool_.size();
    return pool_.substr(rows_[row].at, end - rows_[row].at);
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

bool AccountHistory::addTable(std::uint32_t report, ViewKind kind, const RecordTables& tables) {
    // A reference (row * 2 + 1, + 1) fits beside its slot's tag, a cell's
    // place in the pool in 32 bits: an archive past either (some 50 million
    // rows) cannot be held, and is not taken in part.
    constexpr std::size_t kMostRows = (std::size_t{1} << 27) - 2;
    constexpr std::size_t kMostPool = std::size_t{0xFFFFFFFF} - (std::size_t{1} << 20);  // a row takes far less
    const std::size_t count = tables.table(kind).rowCount();
    if (count == 0) return true;
    // First the rows' cells into the pool, and the hashes of their keys; then
    // the keys into the tables, each table's slot fetched a few rows ahead.
    struct Keys {
        std::uint64_t cells = 0, tax = 0, account[2] = {0, 0};
        bool hasTax = false, hasAccount[2] = {false, false};
    };
    std::vector<Keys> keys(count);
    const auto first = static_cast<std::uint32_t>(built_.rows.size());
    const std::span<const std::size_t> columns = storedColumns(kind);
    const std::uint32_t accounts = kind == ViewAccountChange ? 2u : kind == ViewRegister ? 1u : 0u;
    std::array<std::string_view, 16> cells;
    const std::span<std::string_view> rowCells(cells.data(), columnCount(kind));
    for (std::size_t r = 0; r < count; ++r) {
        if (built_.rows.size() >= kMostRows || built_.pool.size() > kMostPool) return false;
        tables.readViews(kind, r, rowCells);
        const std::size_t at = built_.pool.size();
        built_.rows.push_back({static_cast<std::uint32_t>(at), report, static_cast<std::uint8_t>(kind)});
        for (std::size_t column : columns) appendCell(built_.pool, cells[column]);
        Keys& k = keys[r];
        if (kind != ViewInstitution) k.cells = stringHash(std::string_view(built_.pool.data() + at, built_.pool.size() - at));
        const std::string_view tax = cells[columns[kStoredTax]];
        k.hasTax = !tax.empty();
        if (k.hasTax) k.tax = stringHash(tax);
        for (std::uint32_t which = 0; which < accounts; ++which) {
            const std::string_view a = cells[columns[which == 0 ? kStoredAccount : kStoredOriginalAccount]];
            k.hasAccount[which] = !a.empty() && (which == 0 || a != cells[columns[kStoredAccount]]);
            if (k.hasAccount[which]) k.account[which] = stringHash(a);
        }
    }
    built_.nextByAccount.resize(built_.rows.size() * 2, 0);
    built_.nextByTax.resize(built_.rows.size(), 0);
    bind();  // the keys below read the rows
    auto account = [this](std::uint32_t ref) { return accountOf(ref); };
    auto taxOf = [this](std::uint32_t ref) { return stored(ref, kStoredTax); };
    auto cellsAt = [this](std::uint32_t ref) { return cellsOf(ref); };
    for (std::size_t r = 0; r < count; ++r) {
        if (r + kFetchAhead < count) {
            const Keys& ahead = keys[r + kFetchAhead];
            if (kind != ViewInstitution) built_.cells.prefetch(ahead.cells);
            if (ahead.hasTax) built_.taxes.prefetch(ahead.tax);
            for (std::uint32_t which = 0; which < accounts; ++which)
                if (ahead.hasAccount[which]) built_.accounts.prefetch(ahead.account[which]);
        }
        const Keys& k = keys[r];
        const auto row = first + static_cast<std::uint32_t>(r);
        if (kind != ViewInstitution) {
            std::uint32_t& earliest = built_.cells.slot(k.cells, cellsOf(row), cellsAt);
            if (earliest == 0) earliest = tagged(k.cells, row + 1);
        }
        for (std::uint32_t which = 0; which < accounts; ++which) {
            if (!k.hasAccount[which]) continue;
            const std::uint32_t ref = row * 2 + which;
            std::uint32_t& head = built_.accounts.slot(k.account[which], accountOf(ref), account);
            built_.nextByAccount[ref] = refOf(head);
            head = tagged(k.account[which], ref + 1);
        }
        if (k.hasTax) {
            std::uint32_t& head = built_.taxes.slot(k.tax, stored(row, kStoredTax), taxOf);
            built_.nextByTax[row] = refOf(head);
            head = tagged(k.tax, row + 1);
        }
    }
    return true;
}

namespace {

// One archived report read into tables of its own, when its bytes are the
// ones its line's SHA-256 proves.
struct ReadReport {
    std::unique_ptr<RecordTables> tables = std::make_unique<RecordTables>();
    CopyState state = CopyState::Used;
};

ReadReport readReport(const std::filesystem::path& copy, const std::string& sha256) {
    ReadReport r;
    std::string bytes;
    if (const int err = readFile(copy, bytes)) {
        r.state = isMissingFile(err) ? CopyState::Missing : CopyState::Unreadable;
        return r;
    }
    if (hexOf(kovirant::sha256(bytes)) != sha256) {
        r.state = CopyState::Changed;
        return r;
    }
    ReloadReportBytes(reportTextOf(bytes), *r.tables);
    return r;
}

// What the cache was made from: the log's bytes and every copy's size and
// time; and the bytes of the copies there are.
std::string proofFrom(const std::filesystem::path& folder, std::string_view log, const std::vector<ArchiveLogEntry>& entries,
                      std::uintmax_t* copiesBytes = nullptr) {
    std::string proof = hexOf(sha256(log));
    std::uintmax_t bytes = 0;
    std::set<std::string_view> seen;  // a copy named again is read once
    for (const ArchiveLogEntry& e : entries) {
        if (!seen.insert(e.copy).second) {
            proof += " =";
            continue;
        }
        const std::filesystem::path copy = copyPath(folder, e.copy);
        std::error_code sizeError, timeError;
        const auto size = std::filesystem::file_size(copy, sizeError);
        const auto time = std::filesystem::last_write_time(copy, timeError);
        const bool known = !sizeError && !timeError;
        if (known) bytes += size;
        proof += ' ' + std::to_string(known ? size : 0) + ':' + std::to_string(known ? time.time_since_epoch().count() : 0);
    }
    if (copiesBytes) *copiesBytes = bytes;
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
    std::uintmax_t copiesBytes = 0;
    const std::string proof = proofFrom(folder, log, entries, &copiesBytes);
    h.proof_ = proof;
    if (cache == HistoryCache::Use && h.readCache(folder, proof, entries.size())) return h;
    h = AccountHistory();
    h.proof_ = proof;
    // Room for the rows the log names, as far as the copies can hold them (a
    // row of a report takes well over this many bytes): a log line edited to
    // name a billion rows reserves nothing it could not fill.
    constexpr std::uintmax_t kLeastBytesPerRow = 100;
    std::uintmax_t named = 0;
    for (const ArchiveLogEntry& e : entries)
        for (const std::string& n : e.rows) named += std::min<std::uintmax_t>(std::strtoull(n.c_str(), nullptr, 10), 1u << 26);
    h.reserve(static_cast<std::size_t>(std::min(named, copiesBytes / kLeastBytesPerRow)));
    // A copy named by an earlier line too is not read again.
    std::vector<bool> repeated(entries.size(), false);
    {
        std::set<std::string_view> seen;
        for (std::size_t i = 0; i < entries.size(); ++i) repeated[i] = !seen.insert(entries[i].copy).second;
    }
    auto readAt = [&](std::size_t i) {
        if (repeated[i]) {
            ReadReport r;
            r.state = CopyState::Repeated;
            return r;
        }
        return readReport(copyPath(folder, entries[i].copy), entries[i].sha256);
    };
    bool fits = true;
    auto addReport = [&](std::size_t i, const ReadReport& read) {
        const auto report = static_cast<std::uint32_t>(h.reports_.size());
        h.reports_.push_back({entries[i].time, entries[i].copy, read.state});
        if (read.state == CopyState::Used)
            for (ViewKind k : kAllKinds) fits = fits && h.addTable(report, k, *read.tables);
    };
#ifdef KOVIRANT_HAS_THREADS
    // The reports are read two at a time on other threads (reading is most of
    // the work) and added here in the log's order as they come.
    constexpr std::size_t kReadAhead = 2;
    std::deque<std::future<ReadReport>> reading;
    std::size_t started = 0;
    auto readAhead = [&] {
        for (; started < entries.size() && reading.size() < kReadAhead; ++started)
            reading.push_back(std::async(std::launch::async, [&readAt, i = started] { return readAt(i); }));
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        readAhead();
        const ReadReport read = reading.front().get();
        reading.pop_front();
        readAhead();
        addReport(i, read);
    }
#else
    for (std::size_t i = 0; i < entries.size(); ++i) addReport(i, readAt(i));
#endif
    if (!fits) {
        errorCode = EFBIG;
        return AccountHistory();
    }
    // (Room reserved beyond what the rows took is left as it is: never
    // touched, it holds no memory, while a shrink would copy every array.)
    h.bind();
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
    std::size_t n = sizeof *this + built_.pool.size() + built_.rows.size() * sizeof(Packed) +
                    (built_.nextByAccount.size() + built_.nextByTax.size()) * sizeof(std::uint32_t);
    for (const RefTable* t : {&built_.accounts, &built_.taxes, &built_.cells})
        n += t->slots.capacity() * sizeof(std::uint32_t);
    if (mapped_) n += mapped_->bytes().size();
    for (const HistoryReport& r : reports_) n += sizeof r + r.time.capacity() + r.copy.capacity();
    return n;
}

// The cache: what it was made from (the proof), the reports, the history's
// arrays as they are in memory (each at a multiple of 8 bytes, so that a
// later start uses them in place), and a checksum of everything before it.
// Its name carries the proof's digest: a new one never replaces a file
// another program still reads.
namespace {

constexpr std::string_view kCachePrefix = "szamlatortenet-";
constexpr std::string_view kCacheSuffix = ".cache";
constexpr std::string_view kCacheMagic = "Kovirant számlatörténet 5";
constexpr std::size_t kAlign = 8;

std::filesystem::path cacheOf(const std::filesystem::path& folder, const std::string& proof) {
    return folder / (std::string(kCachePrefix) + hexOf(sha256(proof)).substr(0, 16) + std::string(kCacheSuffix));
}

// A 64-bit checksum, fast enough not to count beside the read: four lanes
// of 8-byte words (independent, so the processor runs them side by side),
// carried on over the pieces it is fed (whole 32-byte blocks until the last
// piece), folded into one at the end.
class Checksum {
public:
    static constexpr std::size_t kBlock = 32;
    void add(std::string_view bytes) {
        const char* p = bytes.data();
        std::size_t n = bytes.size();
        for (; n >= kBlock; n -= kBlock, p += kBlock)
            for (std::size_t i = 0; i < 4; ++i) step(lane_[i], word(p + 8 * i));
        for (; n >= 8; n -= 8, p += 8) step(lane_[0], word(p));
        for (; n > 0; --n, ++p) lane_[0] = (lane_[0] ^ static_cast<unsigned char>(*p)) * kPrime;
    }
    std::uint64_t value() const {
        std::uint64_t h = lane_[0];
        for (std::size_t i = 1; i < 4; ++i) step(h, lane_[i]);
        return h;
    }

private:
    static constexpr std::uint64_t kPrime = 0x100000001B3ull;
    static std::uint64_t word(const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static void step(std::uint64_t& h, std::uint64_t w) {
        h = (h ^ w) * kPrime;
        h ^= h >> 29;
    }
    std::uint64_t lane_[4] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0x27D4EB2F165667C5ull};
};

struct CacheWriter {
    explicit CacheWriter(std::FILE* file) : f(file) {}
    std::FILE* f;
    std::uint64_t offset = 0;
    Checksum sum;
    bool ok = true;
    // The checksum runs over the whole file; the writer feeds it in the
    // same blocks the reader reads (every piece but the last is a multiple
    // of the block long).
    static constexpr std::size_t kBlock = Checksum::kBlock;
    std::string pending;
    static constexpr std::size_t kPiece = 1u << 20;
    void bytes(const void* data, std::size_t n) {
        const char* p = static_cast<const char*>(data);
        offset += n;
        if (n >= kPiece) {
            // A large array goes out from where it lies, not through `pending`:
            // what is pending is first made whole blocks from its front.
            const std::size_t fill = std::min(n, (kBlock - pending.size() % kBlock) % kBlock);
            pending.append(p, fill);
            drain(true);
            p += fill;
            n -= fill;
            const std::size_t whole = n / kBlock * kBlock;
            ok = ok && std::fwrite(p, 1, whole, f) == whole;
            sum.add(std::string_view(p, whole));
            p += whole;
            n -= whole;
        }
        pending.append(p, n);
        if (pending.size() >= kPiece) drain(false);
    }
    void drain(bool all) {
        const std::size_t whole = all ? pending.size() : pending.size() / kBlock * kBlock;
        ok = ok && std::fwrite(pending.data(), 1, whole, f) == whole;
        sum.add(std::string_view(pending).substr(0, whole));
        pending.erase(0, whole);
    }
    void number(std::uint64_t n) { bytes(&n, sizeof n); }
    void text(std::string_view s) {
        number(s.size());
        bytes(s.data(), s.size());
    }
    void align() {
        static constexpr char zeros[kAlign] = {};
        if (offset % kAlign) bytes(zeros, kAlign - offset % kAlign);
    }
    template <class T>
    void array(std::span<const T> v) {
        number(v.size());
        align();
        bytes(v.data(), v.size_bytes());
    }
};

struct CacheReader {
    std::string_view all;
    std::size_t at = 0;
    bool ok = true;
    std::uint64_t number() {
        std::uint64_t n = 0;
        if (all.size() - at < sizeof n) return ok = false, 0;
        std::memcpy(&n, all.data() + at, sizeof n);
        at += sizeof n;
        return n;
    }
    std::string_view text() {
        const std::uint64_t n = number();
        if (!ok || n > all.size() - at) return ok = false, std::string_view();
        const std::string_view s = all.substr(at, n);
        at += n;
        return s;
    }
    template <class T>
    std::span<const T> array() {
        const std::uint64_t n = number();
        if (at % kAlign) at += kAlign - at % kAlign;
        if (!ok || at > all.size() || n > (all.size() - at) / sizeof(T)) return ok = false, std::span<const T>();
        const std::span<const T> v(reinterpret_cast<const T*>(all.data() + at), n);
        at += n * sizeof(T);
        return v;
    }
};

}  // namespace

void AccountHistory::writeCache(const std::filesystem::path& folder, const std::string& proof) const {
    const std::filesystem::path cache = cacheOf(folder, proof);
    std::filesystem::path temp = cache;
    const std::string suffix = std::to_string(thisProcess().process);
    temp += ".";
    temp += suffix;
    bool written = false;
    {
        OpenedFile opened = openFile(temp, "wb");
        if (!opened) return;  // a folder the officer may only read: the history is built each time
        CacheWriter w(opened.file.get());
        w.text(kCacheMagic);
        w.text(kStringHashName);
        w.number(sizeof(void*));
        w.number(sizeof(Packed));
        w.text(proof);
        w.number(reports_.size());
        for (const HistoryReport& r : reports_) {
            w.text(r.time);
            w.text(r.copy);
            w.number(static_cast<std::uint64_t>(r.state));
        }
        w.array(std::span<const char>(pool_.data(), pool_.size()));
        w.array(rows_);
        w.array(nextByAccount_);
        w.array(nextByTax_);
        for (const RefView* t : {&accounts_, &taxes_, &cells_}) {
            w.array(t->slots);
            w.number(t->used);
        }
        w.align();
        w.drain(true);
        const std::uint64_t sum = w.sum.value();
        w.ok = w.ok && std::fwrite(&sum, 1, sizeof sum, opened.file.get()) == sizeof sum;
        if (std::fclose(opened.file.release()) != 0) w.ok = false;
        written = w.ok && renameReplacing(temp, cache) == 0;
    }
    std::error_code ec;
    if (!written) {
        std::filesystem::remove(temp, ec);
        return;
    }
    // The caches of earlier logs go (one another program still reads stays).
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kCachePrefix) && name.ends_with(kCacheSuffix) && it->path() != cache) {
            std::error_code gone;
            std::filesystem::remove(it->path(), gone);
        }
    }
}

bool AccountHistory::readCache(const std::filesystem::path& folder, const std::string& proof, std::size_t reports) {
    std::shared_ptr<const MappedFile> mapped = MappedFile::open(cacheOf(folder, proof));
    if (!mapped) return false;
    const std::string_view all = mapped->bytes();
    if (all.size() < sizeof(std::uint64_t)) return false;
    std::uint64_t sum = 0;
    std::memcpy(&sum, all.data() + all.size() - sizeof sum, sizeof sum);
    const std::string_view summed = all.substr(0, all.size() - sizeof sum);
    auto checksumHolds = [summed, sum] {
        Checksum computed;
        computed.add(summed);
        return computed.value() == sum;
    };
    // The checksum on another core while the arrays are checked here (every
    // read below stays inside the file, whatever it holds).
#ifdef KOVIRANT_HAS_THREADS
    std::future<bool> checked = std::async(std::launch::async, checksumHolds);
    auto holds = [&checked] { return checked.get(); };
#else
    auto holds = checksumHolds;
#endif
    CacheReader r{summed};
    // The slots' places follow the string hash, the arrays' layout this
    // build's word size: a cache of another build is not read.
    if (r.text() != kCacheMagic || r.text() != kStringHashName || r.number() != sizeof(void*) ||
        r.number() != sizeof(Packed) || r.text() != proof)
        return false;
    // One report per line of the log (the proof's), before the checksum
    // has said whether anything here is what was written.
    if (r.number() != reports || !r.ok) return false;
    reports_.resize(reports);
    for (HistoryReport& rep : reports_) {
        rep.time = r.text();
        rep.copy = r.text();
        const std::uint64_t state = r.number();
        if (state > static_cast<std::uint64_t>(CopyState::Repeated)) r.ok = false;
        rep.state = static_cast<CopyState>(state);
    }
    const std::span<const char> pool = r.array<char>();
    pool_ = std::string_view(pool.data(), pool.size());
    rows_ = r.array<Packed>();
    nextByAccount_ = r.array<std::uint32_t>();
    nextByTax_ = r.array<std::uint32_t>();
    for (RefView* t : {&accounts_, &taxes_, &cells_}) {
        t->slots = r.array<std::uint32_t>();
        t->used = r.number();
    }
    // Whatever the cache says must point inside it.
    bool sound = r.ok && nextByAccount_.size() == rows_.size() * 2 && nextByTax_.size() == rows_.size();
    for (const RefView* t : {&accounts_, &taxes_, &cells_})
        sound = sound && !t->slots.empty() && (t->slots.size() & (t->slots.size() - 1)) == 0 && t->used < t->slots.size() &&
                std::all_of(t->slots.begin(), t->slots.end(), [&](std::uint32_t s) { return refOf(s) <= nextByAccount_.size(); });
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
    sound = holds() && sound;
    if (!sound) {
        *this = AccountHistory();
        proof_ = proof;
        return false;
    }
    mapped_ = std::move(mapped);
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
        return {AccountHistory::Answer::Known, value};
    }
};

}  // namespace

std::optional<std::uint32_t> AccountHistory::reportHolding(ViewKind kind, std::span<const std::string_view> cells) const {
    if (kind == ViewInstitution) return std::nullopt;
    std::string key;
    for (std::size_t column : storedColumns(kind)) appendCell(key, column < cells.size() ? cells[column] : "");
    const std::uint32_t found = cells_.find(stringHash(key), key, [this](std::uint32_t ref) { return cellsOf(ref); });
    if (found == 0) return std::nullopt;
    return rows_[found - 1].report;
}

AccountHistory::Value AccountHistory::opening(std::string_view account, std::string_view tax) const {
    return opening(account, stringHash(account), tax);
}

AccountHistory::Value AccountHistory::opening(std::string_view account, std::uint64_t accountHash, std::string_view tax) const {
    OneValue date;
    for (std::uint32_t s = accounts_.find(accountHash, account, [this](std::uint32_t ref) { return accountOf(ref); }); s != 0;
         s = nextByAccount_[s - 1]) {
        const std::uint32_t row = (s - 1) / 2;
        if (stored(row, kStoredTax) != tax) continue;
        if (const std::string_view d = openingOf(s - 1); !d.empty()) date.add(d);
    }
    return date.answer();
}

AccountHistory::Value AccountHistory::company(std::string_view tax) const { return company(tax, stringHash(tax)); }

AccountHistory::Value AccountHistory::company(std::string_view tax, std::uint64_t taxHash) const {
    auto taxOf = [this](std::uint32_t row) { return stored(row, kStoredTax); };
    OneValue number;
    for (std::uint32_t s = taxes_.find(taxHash, tax, taxOf); s != 0; s = nextByTax_[s - 1]) {
        const std::string_view c =
            field(s - 1, columnOf(static_cast<ViewKind>(rows_[s - 1].table), ColumnRole::CompanyNumber));
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
            if (part[i].opening) accounts_.prefetch(hash[2 * i] = stringHash(part[i].account));
            if (part[i].company) taxes_.prefetch(hash[2 * i + 1] = stringHash(part[i].tax));
        }
        // The rows they name (the first of each chain), then those rows' cells.
        auto slotOf = [](const RefView& t, std::size_t h) {
            std::size_t at = h & (t.slots.size() - 1);
            return t.slots.empty() ? 0u : refOf(t.slots[at]);
        };
        for (std::size_t i = 0; i < part.size(); ++i) {
            head[2 * i] = part[i].opening ? slotOf(accounts_, hash[2 * i]) : 0;
            head[2 * i + 1] = part[i].company ? slotOf(taxes_, hash[2 * i + 1]) : 0;
            if (head[2 * i]) {
                prefetch(&rows_[(head[2 * i] - 1) / 2]);
                prefetch(&nextByAccount_[head[2 * i] - 1]);
            }
            if (head[2 * i + 1]) {
                prefetch(&rows_[head[2 * i + 1] - 1]);
                prefetch(&nextByTax_[head[2 * i + 1] - 1]);
            }
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (head[2 * i]) prefetch(pool_.data() + rows_[(head[2 * i] - 1) / 2].at);
            if (head[2 * i + 1]) prefetch(pool_.data() + rows_[head[2 * i + 1] - 1].at);
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
    // The forms the number may be stored in.
    constexpr std::string_view kZeros = "00000000";
    std::vector<std::string> accounts = {digits}, taxes = {digits};
    if (digits.size() == 16) accounts.push_back(digits + std::string(kZeros));
    if (digits.size() == 24 && std::string_view(digits).substr(16) == kZeros) accounts.push_back(digits.substr(0, 16));
    if (digits.size() == 11) taxes.push_back(digits.substr(0, 8));
    std::vector<std::uint32_t> found;
    for (const std::string& a : accounts)
        for (std::uint32_t s = accounts_.find(stringHash(a), a, [this](std::uint32_t ref) { return accountOf(ref); }); s != 0;
             s = nextByAccount_[s - 1])
            found.push_back((s - 1) / 2);
    auto taxOf = [this](std::uint32_t row) { return stored(row, kStoredTax); };
    for (const std::string& t : taxes)
        for (std::uint32_t s = taxes_.find(stringHash(t), t, taxOf); s != 0; s = nextByTax_[s - 1]) found.push_back(s - 1);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    // Oldest first by the report's own time (an earlier report added later
    // keeps its place), rows of one report in their order.
    std::stable_sort(found.begin(), found.end(), [this](std::uint32_t a, std::uint32_t b) {
        return reports_[rows_[a].report].time < reports_[rows_[b].report].time;
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
    // either core (the history and the rows not yet written are only read)
    // and written by this thread, in the rows' order, as soon as they are
    // there, while the other core finds the stretches after it.
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
#ifdef KOVIRANT_HAS_THREADS
    std::atomic<std::size_t> next{0};
    const auto done = std::make_unique<std::atomic<bool>[]>(stretches);
    const auto findNext = [&] {
        const std::size_t k = next.fetch_add(1);
        if (k >= stretches) return false;
        find(k);
        done[k].store(true, std::memory_order_release);
        done[k].notify_one();
        return true;
    };
    {
        std::jthread helper;
        if (stretches > 1) helper = std::jthread([&] { while (findNext()) {} });
        for (std::size_t w = 0; w < stretches; ++w) {
            while (!done[w].load(std::memory_order_acquire))
                if (!findNext()) done[w].wait(false, std::memory_order_acquire);  // the helper is finding it
            write(found[w]);
        }
    }
#else
    for (std::size_t k = 0; k < stretches; ++k) {
        find(k);
        write(found[k]);
    }
#endif
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

// The reconciliation's walk: an account's chain starts at its newest row.
void AccountHistory::eachLastState(const std::function<void(const AccountState&)>& visit) const {
    constexpr std::size_t kAhead = 16;  // the rows of the slots ahead are fetched, then their cells
    const std::span<const std::uint32_t> slots = accounts_.slots;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i + kAhead < slots.size() && slots[i + kAhead] != 0) prefetch(&rows_[(refOf(slots[i + kAhead]) - 1) / 2]);
        if (i + kAhead / 2 < slots.size() && slots[i + kAhead / 2] != 0)
            prefetch(pool_.data() + rows_[(refOf(slots[i + kAhead / 2]) - 1) / 2].at);
        const std::uint32_t slot = slots[i];
        if (slot == 0) continue;
        const std::uint32_t newest = refOf(slot) - 1;
        const std::uint32_t row = newest / 2;
        AccountState state;
        state.account = accountOf(newest);
        state.tax = stored(row, kStoredTax);
        state.closing = rows_[row].table == ViewRegister ? field(row, RegisterCol::closingDate)
                        : newest % 2                     ? field(row, AccountChangeCol::originalClosingDate)
                                                         : field(row, AccountChangeCol::newClosingDate);
        for (std::uint32_t s = newest + 1; s != 0 && (state.opening.empty() || state.company.empty());
             s = nextByAccount_[s - 1]) {
            const std::uint32_t r = (s - 1) / 2;
            if (stored(r, kStoredTax) != state.tax) continue;
            if (state.opening.empty()) state.opening = openingOf(s - 1);
            const std::string_view company =
                field(r, columnOf(static_cast<ViewKind>(rows_[r].table), ColumnRole::CompanyNumber));
            if (state.company.empty() && company.size() == kCompanyNumberLength) state.company = company;
        }
        visit(state);
    }
}

}  // namespace kovirant
