// Where an account history comes from: the cache beside the archive's log
// while it is the log's; for a log that only gained lines, a cache (or the
// history held) of the part it begins with and, as a layer over it, the
// reports the new lines name (and a cache of that layer); else the reports
// the log names (and a new cache).
#include "archive/account_history.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "archive/history_layout.h"
#include "archive/report_archive.h"
#include "import/report_reload.h"
#include "util/file_io.h"
#include "util/os_file.h"
#include "util/second_core.h"
#include "util/sha256.h"
#include "util/string_hash.h"

namespace kovirant {
namespace {

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

// A cache's name carries its proof's digest: a new one never replaces a
// file another program still reads.
namespace {

constexpr std::string_view kCachePrefix = "szamlatortenet-";
constexpr std::string_view kCacheSuffix = ".cache";
constexpr std::string_view kCacheMagic = "Kovirant számlatörténet 6";

std::filesystem::path cacheOf(const std::filesystem::path& folder, const std::string& proof) {
    return folder / (std::string(kCachePrefix) + hexOf(sha256(proof)).substr(0, 16) + std::string(kCacheSuffix));
}

bool isCacheName(std::string_view name) {
    return name.starts_with(kCachePrefix) && name.ends_with(kCacheSuffix) &&
           name.find_first_of("/\\:") == std::string_view::npos;
}

// Whether a history of `reports` reports made of the log's first `covered`
// bytes under `proof` is one of the part of this log: the log begins with
// those bytes, up to a line's end, and every copy they name is as it was.
bool coversPart(const std::filesystem::path& folder, std::string_view log, const std::vector<ArchiveLogEntry>& entries,
                std::string_view proof, std::uint64_t covered, std::size_t reports) {
    if (covered == 0 || covered > log.size() || log[covered - 1] != '\n') return false;
    const std::string_view part = log.substr(0, covered);
    const std::vector<ArchiveLogEntry> partEntries = archiveLogEntries(part, false);
    if (partEntries.size() != reports || reports > entries.size()) return false;
    for (std::size_t i = 0; i < reports; ++i)
        if (partEntries[i].line != entries[i].line || partEntries[i].copy != entries[i].copy ||
            partEntries[i].sha256 != entries[i].sha256)
            return false;
    return proofFrom(folder, part, partEntries) == proof;
}

// Which of the log's lines name a copy an earlier line names too.
std::vector<bool> repeatedCopies(const std::vector<ArchiveLogEntry>& entries) {
    std::vector<bool> repeated(entries.size(), false);
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < entries.size(); ++i) repeated[i] = !seen.insert(entries[i].copy).second;
    return repeated;
}

}  // namespace

// A register row takes some 200 bytes of a report's lines.
constexpr std::size_t kLeastReportBytesPerRow = 150;

AccountHistory::StagedReport AccountHistory::readCopy(const std::filesystem::path& copy, const std::string& sha256,
                                                     bool mapped) {
    StagedReport r;
    // Mapped, the copy's bytes are read where the system keeps them (no
    // fresh memory the size of the report); from a network drive, where a
    // file cut under the program would kill it, into memory.
    std::shared_ptr<const MappedFile> map = mapped ? MappedFile::open(copy) : nullptr;
    std::string read;
    if (!map) {
        if (const int err = readFile(copy, read)) {
            r.state = isMissingFile(err) ? CopyState::Missing : CopyState::Unreadable;
            return r;
        }
    }
    const std::string_view bytes = map ? map->bytes() : std::string_view(read);
    // The hash on another core while the report is read (a copy that is not
    // its line's is read for nothing, and then not used).
    Later<std::string> hashed([bytes] { return hexOf(kovirant::sha256(bytes)); });
    // Room for the register's rows (a row's stored cells take well under half
    // its lines in the report): never touched beyond them, it holds no memory
    // (but address space: a report of millions of rows grows the rest as it comes).
    constexpr std::size_t kMostReservedRows = std::size_t{1} << 21;
    const std::size_t rows = std::min(bytes.size() / kLeastReportBytesPerRow, kMostReservedRows);
    StagedTable& registers = r.tables[ViewRegister];
    reserveLarge(registers.pool, std::min(bytes.size() / 2, rows * kLeastReportBytesPerRow / 2));
    registers.at.reserve(rows);
    registers.keys.reserve(rows);
    struct Sink final : ReloadRowSink {
        StagedReport& into;
        explicit Sink(StagedReport& r) : into(r) {}
        void row(ViewKind kind, std::span<const std::string> cells) override { stage(into.tables[kind], kind, cells); }
    } sink(r);
    std::string converted;
    ReloadReportBytes(reportTextOf(bytes, converted), sink);
    if (hashed.get() != sha256) {
        r = StagedReport();
        r.state = CopyState::Changed;
    }
    return r;
}

bool AccountHistory::addReports(const std::filesystem::path& folder, const std::vector<ArchiveLogEntry>& entries,
                                std::size_t from, std::uintmax_t copiesBytes, const SavedReport* saved) {
    // Room for the rows the log names, as far as the copies can hold them (a
    // row of a report takes well over this many bytes): a log line edited to
    // name a billion rows reserves nothing it could not fill.
    constexpr std::uintmax_t kLeastBytesPerRow = 100;
    std::uintmax_t named = 0;
    for (std::size_t i = from; i < entries.size(); ++i)
        for (const std::string& n : entries[i].rows)
            named += std::min<std::uintmax_t>(std::strtoull(n.c_str(), nullptr, 10), 1u << 26);
    reserve(static_cast<std::size_t>(std::min(named, copiesBytes / kLeastBytesPerRow)));
    // A copy named by an earlier line too is not read again.
    const std::vector<bool> repeated = repeatedCopies(entries);
    const bool mapped = !onNetworkDrive(folder);
    auto readAt = [&](std::size_t i) {
        if (repeated[i]) {
            StagedReport r;
            r.state = CopyState::Repeated;
            return r;
        }
        // Speed: the saved report from its tables, its copy not read back nor hashed (the window's first look-up after a save: half).
        if (std::optional<StagedReport> r = saved ? stageSaved(*saved, folder, entries[i]) : std::nullopt) return std::move(*r);
        return readCopy(copyPath(folder, entries[i].copy), entries[i].sha256, mapped);
    };
    bool fits = true;
    auto addReport = [&](std::size_t i, StagedReport& read) {
        const auto report = static_cast<std::uint32_t>(reports_.size());
        reports_.push_back({entries[i].time, entries[i].copy, read.state});
        if (read.state != CopyState::Repeated) ++copiesRead_;
        if (read.state == CopyState::Used)
            for (ViewKind k : kAllKinds) fits = fits && addTable(report, k, read.tables[k]);
    };
    // The reports read on either core (reading is most of the work), at most
    // two ahead of the one added here, in the log's order, as they come.
    constexpr std::size_t kReadAhead = 2;
    std::vector<std::optional<StagedReport>> read(entries.size() - from);
    inOrder(
        read.size(), [&](std::size_t k) { read[k] = readAt(from + k); },
        [&](std::size_t k) {
            addReport(from + k, *read[k]);
            read[k].reset();
        },
        {.ahead = kReadAhead});
    bind();  // (room reserved beyond what the rows took is kept: never touched, it holds no memory)
    return fits;
}

AccountHistory AccountHistory::build(const std::filesystem::path& folder, int& errorCode,
                                     std::shared_ptr<const AccountHistory> previous,
                                     const std::shared_ptr<const SavedReport>& saved, Settle settle) {
    previous = settled(std::move(previous), folder);  // a layer goes only over one whose cache is written
    AccountHistory h;
    std::string log;
    errorCode = readFile(folder / std::string(kArchiveLogName), log);
    if (errorCode != 0) return h;
    const std::vector<ArchiveLogEntry> entries = archiveLogEntries(log, false);
    std::uintmax_t copiesBytes = 0;
    const std::string proof = proofFrom(folder, log, entries, &copiesBytes);
    if (h.readCache(folder, cacheOf(folder, proof), proof, entries.size())) return h;
    h = AccountHistory();
    // A history of a part of the log the log still begins with: only what
    // the log gained since is added, as a layer over it.
    if (!(previous && coversPart(folder, log, entries, previous->proof_, previous->covered_, previous->reports_.size())))
        previous = partCache(folder, log, entries);
    if (previous && previous->rows_.empty() && previous->below_) {
        auto reports = previous->reports_;
        previous = previous->below_;  // an empty layer (the log gained no rows) is passed over
        h.reports_ = std::move(reports);
    } else if (previous) {
        h.reports_ = previous->reports_;
    }
    if (previous) {
        const std::size_t from = h.reports_.size();
        h.first_ = previous->rowCount();
        h.below_ = std::move(previous);
        h.proof_ = proof;
        h.covered_ = log.size();
        h.unsettled_ = settle == Settle::Later;
        if (!h.addReports(folder, entries, from, copiesBytes, saved.get()) || (!h.unsettled_ && !h.mergeAll())) {
            errorCode = EFBIG;
            return AccountHistory();
        }
        // A log that gained no rows (only lines of the reports' states) keeps its cache as it is.
        if (!h.rows_.empty() && !h.unsettled_) h.writeCache(folder);
        h.fromCache_ = h.copiesRead_ == 0;
        return h;
    }
    h = AccountHistory();
    h.proof_ = proof;
    h.covered_ = log.size();
    if (!h.addReports(folder, entries, 0, copiesBytes, saved.get())) {
        errorCode = EFBIG;
        return AccountHistory();
    }
    h.writeCache(folder);
    return h;
}

std::string AccountHistory::proofOf(const std::filesystem::path& folder) {
    std::string log;
    int err = readFile(folder / std::string(kArchiveLogName), log);
    if (err != 0) return {};
    const std::vector<ArchiveLogEntry> entries = readArchiveLog(folder, err);
    return err != 0 ? std::string() : proofFrom(folder, log, entries);
}

// The cache: what it was made from (the proof, the log's length), the
// layer below it (its file and checksum), the reports, the history's arrays
// as they are in memory (each at a multiple of 8 bytes, so that a later
// start uses them in place), and a checksum of everything before it.
namespace {

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
        static constexpr char zeros[kCacheAlign] = {};
        if (offset % kCacheAlign) bytes(zeros, kCacheAlign - offset % kCacheAlign);
    }
    template <class T>
    void array(std::span<const T> v) {
        number(v.size());
        align();
        bytes(v.data(), v.size_bytes());
    }
};

}  // namespace

void AccountHistory::writeCache(const std::filesystem::path& folder) const {
    // A layer is kept only over a layer that is kept.
    if (below_ && below_->cacheName_.empty()) return;
    const std::filesystem::path cache = cacheOf(folder, proof_);
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
        w.number(sizeof(StoredRow));
        w.text(proof_);
        w.number(covered_);
        w.number(reports_.size());
        w.text(below_ ? below_->cacheName_ : std::string());
        w.number(below_ ? below_->cacheSum_ : 0);
        w.number(first_);
        for (const HistoryReport& r : reports_) {
            w.text(r.time);
            w.text(r.copy);
            w.number(static_cast<std::uint64_t>(r.state));
        }
        w.array(std::span<const char>(pool_.data(), pool_.size()));
        w.array(rows_);
        w.array(nextByAccount_);
        w.array(nextByTax_);
        for (const KeyIndexView* t : {&accounts_, &taxes_, &cells_}) {
            w.array(t->slots);
            w.number(t->used);
        }
        w.align();
        w.drain(true);
        const std::uint64_t sum = w.sum.value();
        w.ok = w.ok && std::fwrite(&sum, 1, sizeof sum, opened.file.get()) == sizeof sum;
        if (std::fclose(opened.file.release()) != 0) w.ok = false;
        // Speed: not flushed to the disk, as a cut one fails its checksum and is built anew (a round: 20-100 ms less)
        std::error_code moved;
        if (w.ok) std::filesystem::rename(temp, cache, moved);
        written = w.ok && !moved;
        cacheSum_ = sum;
    }
    std::error_code ec;
    if (!written) {
        std::filesystem::remove(temp, ec);
        return;
    }
    cacheName_ = cache.filename().string();
    // The caches of earlier logs go but the layers of this one (one another program still reads stays).
    std::set<std::string> kept;
    for (const AccountHistory* h = this; h; h = h->below_.get()) kept.insert(h->cacheName_);
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kCachePrefix) && name.ends_with(kCacheSuffix) && !kept.contains(name)) {
            std::error_code gone;
            std::filesystem::remove(it->path(), gone);
        }
    }
}

namespace {

// The cache's bytes: mapped where the folder is on this machine; read into
// memory (aligned for the arrays) from a network drive, where a mapped file
// cut under the program would kill it. Empty when it cannot be had.
std::string_view cacheBytes(const std::filesystem::path& file, bool onNetwork, std::shared_ptr<const MappedFile>& mapped,
                            std::vector<std::uint64_t>& copied) {
    if (!onNetwork) {
        mapped = MappedFile::open(file);
        return mapped ? mapped->bytes() : std::string_view();
    }
    OpenedFile opened = openFile(file, "rb");
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!opened || ec || size == 0 || size > std::numeric_limits<std::size_t>::max() - sizeof(std::uint64_t)) return {};
    const auto bytes = static_cast<std::size_t>(size);
    copied.assign((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    if (std::fread(copied.data(), 1, bytes, opened.file.get()) != bytes) return {};
    return {reinterpret_cast<const char*>(copied.data()), bytes};
}

// The cache's head: whether this build wrote it, and what it holds.
struct CacheHead {
    std::string_view proof;
    std::uint64_t covered = 0, reports = 0;
    bool read(CacheReader& r, std::size_t storedRow) {
        // The slots' places follow the string hash, the arrays' layout this
        // build's word size: a cache of another build is not read.
        if (r.text() != kCacheMagic || r.text() != kStringHashName || r.number() != sizeof(void*) ||
            r.number() != storedRow)
            return false;
        proof = r.text();
        covered = r.number();
        reports = r.number();
        return r.ok;
    }
};

}  // namespace

std::shared_ptr<const AccountHistory> AccountHistory::partCache(const std::filesystem::path& folder, std::string_view log,
                                                                const std::vector<ArchiveLogEntry>& entries) {
    // Each cache's head (its first MiB, where a proof of some 40,000 reports ends).
    constexpr std::size_t kHead = std::size_t{1} << 20;
    struct Candidate {
        std::filesystem::path file;
        std::string proof;
        std::uint64_t covered = 0, reports = 0;
    };
    std::vector<Candidate> candidates;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!isCacheName(it->path().filename().string())) continue;
        OpenedFile opened = openFile(it->path(), "rb");
        if (!opened) continue;
        std::string head(kHead, '\0');
        head.resize(std::fread(head.data(), 1, head.size(), opened.file.get()));
        CacheReader r{head};
        CacheHead h;
        if (h.read(r, sizeof(StoredRow)) && coversPart(folder, log, entries, h.proof, h.covered, h.reports))
            candidates.push_back({it->path(), std::string(h.proof), h.covered, h.reports});
    }
    // The one of the most reports that reads whole (a layer whose layer below is gone does not).
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) { return a.covered > b.covered; });
    for (const Candidate& c : candidates) {
        auto part = std::make_shared<AccountHistory>();
        if (part->readCache(folder, c.file, c.proof, c.reports)) return part;
    }
    return nullptr;
}

bool AccountHistory::readCache(const std::filesystem::path& folder, const std::filesystem::path& file,
                               std::string_view proof, std::size_t reports, std::size_t depth) {
    std::shared_ptr<const MappedFile> mapped;
    std::vector<std::uint64_t> copied;
    const std::string_view all = cacheBytes(file, onNetworkDrive(folder), mapped, copied);
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
    Later<bool> checked(checksumHolds);
    CacheReader r{summed};
    CacheHead head;
    if (!head.read(r, sizeof(StoredRow)) || (!proof.empty() && head.proof != proof)) return false;
    // One report per line of the log (the proof's; a layer below, at most
    // as many), before the checksum has said whether anything here is what
    // was written.
    if (depth == 0 ? head.reports != reports : head.reports > reports) return false;
    const std::string_view belowName = r.text();
    const std::uint64_t belowSum = r.number(), first = r.number();
    if (!r.ok || first > std::numeric_limits<std::uint32_t>::max()) return false;
    proof_ = head.proof;
    covered_ = head.covered;
    first_ = static_cast<std::uint32_t>(first);
    reports_.resize(head.reports);
    for (HistoryReport& rep : reports_) {
        rep.time = r.text();
        rep.copy = r.text();
        const std::uint64_t state = r.number();
        if (state > static_cast<std::uint64_t>(CopyState::Repeated)) r.ok = false;
        rep.state = static_cast<CopyState>(state);
    }
    const std::span<const char> pool = r.array<char>();
    pool_ = std::string_view(pool.data(), pool.size());
    rows_ = r.array<StoredRow>();
    nextByAccount_ = r.array<std::uint32_t>();
    nextByTax_ = r.array<std::uint32_t>();
    for (KeyIndexView* t : {&accounts_, &taxes_, &cells_}) {
        t->slots = r.array<std::uint32_t>();
        t->used = r.number();
    }
    // The layer below: the cache this one was written over, as it was then.
    if (!belowName.empty()) {
        auto below = std::make_shared<AccountHistory>();
        if (depth + 1 < kMostLayers && isCacheName(belowName) &&
            below->readCache(folder, folder / std::string(belowName), {}, reports_.size(), depth + 1) &&
            below->cacheSum_ == belowSum && below->rowCount() == first_)
            below_ = std::move(below);
        else
            r.ok = false;
    } else if (first_ != 0) {
        r.ok = false;
    }
    const bool sound = r.ok && holdsTogether();
    if (!checked.get() || !sound) {
        *this = AccountHistory();
        return false;
    }
    cacheName_ = file.filename().string();
    cacheSum_ = sum;
    mapped_ = std::move(mapped);
    copied_ = std::move(copied);  // the arrays' spans point into it, and stay where they are
    fromCache_ = true;
    return true;
}

// Whether the arrays a cache gave hold together, whatever its checksum says:
// every reference inside its array, every hash table with an empty slot
// (counted, and as many as its count of used ones leaves: a probe ends at
// one), every row's cells inside the pool before the next row's, every
// chain pointing back to an earlier row (so that no walk can go round).
bool AccountHistory::holdsTogether() const {
    if (nextByAccount_.size() != rows_.size() * 2 || nextByTax_.size() != rows_.size()) return false;
    // A slot names a row of its own layer; a chain goes on into the layers below.
    const std::size_t first = first_;
    const std::tuple<const KeyIndexView*, std::size_t, std::size_t> tables[] = {
        {&accounts_, 2 * first, nextByAccount_.size()}, {&taxes_, first, rows_.size()}, {&cells_, first, rows_.size()}};
    for (const auto& [t, firstRef, count] : tables) {
        const std::size_t before = firstRef, refs = count;  // copies: a lambda cannot capture a binding in C++17 tools
        const std::size_t size = t->slots.size();
        if (size == 0 || (size & (size - 1)) != 0) return false;
        const auto empty = static_cast<std::size_t>(std::count(t->slots.begin(), t->slots.end(), 0u));
        if (empty == 0 || t->used != size - empty) return false;
        if (!std::all_of(t->slots.begin(), t->slots.end(), [before, refs](std::uint32_t s) {
                return s == 0 || (refIn(s) > before && refIn(s) <= before + refs);
            }))
            return false;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const std::size_t end = i + 1 < rows_.size() ? rows_[i + 1].at : pool_.size();
        if (rows_[i].at > end || end > pool_.size() || rows_[i].report >= reports_.size() ||
            rows_[i].table >= kViewKindCount || nextByTax_[i] > first + i || nextByAccount_[2 * i] > 2 * (first + i) ||
            nextByAccount_[2 * i + 1] > 2 * (first + i) + 1)
            return false;
        std::size_t at = rows_[i].at;
        for (std::size_t c = 0; c < storedColumns(static_cast<ViewKind>(rows_[i].table)).size(); ++c) {
            if (at >= end) return false;
            std::size_t n = static_cast<unsigned char>(pool_[at++]);
            if (n == kLongCell) {
                std::uint32_t len = 0;
                if (end - at < sizeof len) return false;
                std::memcpy(&len, pool_.data() + at, sizeof len);
                at += sizeof len;
                n = len;
            }
            if (n > end - at) return false;
            at += n;
        }
    }
    return true;
}

}  // namespace kovirant
