#include "recovery/change_journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "util/crc32.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

namespace H = journal_header;
namespace R = journal_record;

constexpr std::string_view kMagic = "KOVNAPLO";
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
constexpr std::size_t kInsertHeadSize = 10;  // op, kind, first, count
constexpr std::size_t kRowLengthSize = 4;
constexpr std::size_t kMaxColumns = 16;  // a row's cells a record holds
static_assert(kMostColumns <= kMaxColumns, "a record must hold the widest kind's row");

enum Op : std::uint8_t { kInsert = 1, kRemove, kClear, kSetRow, kSetCell };

void put32(std::string& out, std::uint32_t v) {
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    out.append(b, 4);
}

void put64(std::string& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

void patch32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

std::uint32_t get32(std::string_view in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint64_t get64(std::string_view in, std::size_t at) {
    return get32(in, at) | static_cast<std::uint64_t>(get32(in, at + 4)) << 32;
}

// Appends a row with its length in front.
void putRow(std::string& out, const MemoryTable& table, std::size_t row) {
    const std::size_t at = out.size();
    put32(out, 0);
    table.appendRowBytes(row, out);
    patch32(out, at, static_cast<std::uint32_t>(out.size() - at - 4));
}

// Reads the payload front to back; every read checks that the bytes are there.
class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool done() const { return at_ == in_.size(); }
    bool u8(std::uint8_t& v) {
        if (in_.size() - at_ < 1) return false;
        v = static_cast<unsigned char>(in_[at_++]);
        return true;
    }
    bool u32(std::uint32_t& v) {
        if (in_.size() - at_ < 4) return false;
        v = get32(in_, at_);
        at_ += 4;
        return true;
    }
    bool bytes(std::string_view& v) {
        std::uint32_t n = 0;
        if (!u32(n) || in_.size() - at_ < n) return false;
        v = in_.substr(at_, n);
        at_ += n;
        return true;
    }

private:
    std::string_view in_;
    std::size_t at_ = 0;
};

// A row's bytes as its cells: exactly `columns` cells, each ended by NUL.
bool splitRow(std::string_view bytes, std::size_t columns, std::array<std::string, kMaxColumns>& cells) {
    if (columns > cells.size()) return false;
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t nul = bytes.find('\0');
        if (nul == std::string_view::npos) return false;
        cells[c].assign(bytes.substr(0, nul));
        bytes.remove_prefix(nul + 1);
    }
    return bytes.empty();
}

}  // namespace

std::filesystem::path journalPath(const std::filesystem::path& workingFolder) {
    return workingFolder / std::filesystem::path(std::string(kJournalFileName));
}

void ChangeJournal::beginOp(std::uint8_t op, ViewKind kind) {
    copyInserted(kind);
    pending_ += static_cast<char>(op);
    pending_ += static_cast<char>(kind);
}

void ChangeJournal::putInsertHead(std::string& out, const Inserted& rows) {
    out += static_cast<char>(kInsert);
    out += static_cast<char>(rows.kind);
    put32(out, static_cast<std::uint32_t>(rows.first));
    put32(out, static_cast<std::uint32_t>(rows.count));
}

void ChangeJournal::copyInserted(ViewKind kind) {
    Inserted& lazy = lazy_[kind];
    if (lazy.count == 0) return;
    const Inserted rows = lazy;
    lazy = {};
    putInsertHead(pending_, rows);
    for (std::size_t r = rows.first; r < rows.first + rows.count; ++r) putRow(pending_, *rows.table, r);
}

void ChangeJournal::changing(const TableChange& c, const MemoryTable& table) {
    // The table's rows not yet copied must be read before another change
    // moves or overwrites them; an append at the end moves none.
    if (!c.appends(table.rowCount())) copyInserted(c.kind);
}

void ChangeJournal::changed(const TableChange& c, const MemoryTable& table) {
    const auto row = static_cast<std::uint32_t>(c.row);
    switch (c.type) {
        case TableChange::Type::Insert: {
            Inserted& lazy = lazy_[c.kind];
            if (lazy.count > 0 && lazy.table == &table && lazy.first + lazy.count == c.row) {
                lazy.count += c.count;
                return;
            }
            copyInserted(c.kind);
            lazy = {c.kind, &table, c.row, c.count};
            return;
        }
        case TableChange::Type::Remove:
            beginOp(kRemove, c.kind);
            put32(pending_, row);
            put32(pending_, static_cast<std::uint32_t>(c.count));
            return;
        case TableChange::Type::Clear: beginOp(kClear, c.kind); return;
        case TableChange::Type::SetRow:
            beginOp(kSetRow, c.kind);
            put32(pending_, row);
            putRow(pending_, table, c.row);
            return;
        case TableChange::Type::SetCell: {
            beginOp(kSetCell, c.kind);
            put32(pending_, row);
            put32(pending_, static_cast<std::uint32_t>(c.column));
            const std::string_view text = table.cell(c.row, c.column);
            put32(pending_, static_cast<std::uint32_t>(text.size()));
            pending_ += text;
            return;
        }
    }
}

void ChangeJournal::discardPending() {
    if (pending_.capacity() > kPieceBytes) std::string().swap(pending_);  // a large collection's memory goes back
    pending_.clear();
    lazy_ = {};
}

bool ChangeJournal::hasPending() const {
    return !pending_.empty() || std::any_of(lazy_.begin(), lazy_.end(), [](const Inserted& i) { return i.count > 0; });
}

void ChangeJournal::collectWholeTables(const RecordTables& tables) {
    discardPending();
    for (ViewKind kind : kAllKinds)
        changed({TableChange::Type::Clear, kind}, tables.table(kind));
    // Every table's rows are written straight from the table at the commit.
    for (ViewKind kind : kAllKinds) {
        const MemoryTable& t = tables.table(kind);
        if (t.rowCount() > 0) changed({TableChange::Type::Insert, kind, 0, t.rowCount()}, t);
    }
}

int ChangeJournal::create(const std::filesystem::path& file, std::uint64_t generation, std::uint64_t baseSequence) {
    std::filesystem::path beside = file;
    beside += std::string(kJournalTempSuffix);
    replacing_.clear();
    if (const int err = file_.open(beside, 0)) return err;
    replacing_ = file;
    std::string header(kMagic);
    put64(header, generation);
    put64(header, baseSequence);
    put32(header, kJournalVersion);
    put32(header, crc32(header));
    size_ = 0;
    if (const int err = file_.append(header)) {
        close();  // nothing half-made stays beside the journal
        return err;
    }
    size_ = header.size();
    return 0;  // flushed with the first record
}

void ChangeJournal::close() {
    file_.close();
    if (replacing_.empty()) return;
    std::filesystem::path beside = std::exchange(replacing_, {});
    beside += std::string(kJournalTempSuffix);
    removeFile(beside);
}

int ChangeJournal::reopen(const std::filesystem::path& file, std::uint64_t keep) {
    size_ = 0;
    replacing_.clear();
    if (const int err = file_.open(file, keep)) return err;
    size_ = keep;
    return 0;
}

// The collection, then each table's rows appended since it was last copied,
// written in pieces as they are copied: an import's million rows never lie
// in memory twice.
int ChangeJournal::commit(std::uint64_t sequence) {
    const std::array<Inserted, kViewKindCount> lazy = lazy_;
    lazy_ = {};
    std::uint64_t length = pending_.size();
    for (const Inserted& rows : lazy) {
        if (rows.count == 0) continue;
        length += kInsertHeadSize;
        for (std::size_t r = rows.first; r < rows.first + rows.count; ++r)
            length += kRowLengthSize + rows.table->rowBytesSize(r);
    }
    std::string piece;
    put32(piece, static_cast<std::uint32_t>(length));
    put64(piece, sequence);
    put32(piece, crc32(piece));
    int err = length > UINT32_MAX ? EFBIG : 0;
    std::uint32_t crc = 0;
    auto write = [&](const std::string& bytes) {
        crc = crc32(bytes, crc);
        if (err == 0) err = file_.append(bytes);
    };
    write(piece);
    write(pending_);
    // Rows appended to different tables do not depend on each other, nor on
    // the other tables' changes: each table's go after what was collected.
    for (const Inserted& rows : lazy) {
        if (rows.count == 0) continue;
        piece.clear();
        putInsertHead(piece, rows);
        for (std::size_t r = rows.first; r < rows.first + rows.count && err == 0; ++r) {
            putRow(piece, *rows.table, r);
            if (piece.size() < kPieceBytes) continue;
            write(piece);
            piece.clear();
        }
        write(piece);
    }
    piece.clear();
    put32(piece, crc);
    if (err == 0) err = file_.append(piece);
    if (err == 0) err = file_.sync();
    if (err == 0) size_ += R::kOverhead + length;
    discardPending();
    if (!replacing_.empty()) err = putInPlace(err);
    return err;
}

// A new journal, header and first record on the disk, takes the old one's
// place; one that failed goes, and the old one stays as it was.
int ChangeJournal::putInPlace(int err) {
    const std::filesystem::path target = std::exchange(replacing_, {});
    std::filesystem::path beside = target;
    beside += std::string(kJournalTempSuffix);
    file_.close();
    if (err == 0) err = renameReplacing(beside, target);
    if (err == 0) err = file_.open(target, size_);
    if (err != 0) {
        file_.close();
        removeFile(beside);
    }
    return err;
}

namespace {

// A version 2 record's head that passes its check, with a sequence number
// after `after` (no later record can have a smaller one).
bool recordHeadAt(std::string_view in, std::size_t at, std::uint64_t after) {
    if (in.size() - at < R::kHeadSize) return false;
    const std::uint64_t sequence = get64(in, at + R::kSequence);
    return sequence > after && sequence - after <= in.size() &&
           get32(in, at + R::kHeadCrc) == crc32(in.substr(at, R::kHeadCrc));
}

// The whole records that lie in `in` from `from` on: what damage cost.
std::size_t recordsFrom(std::string_view in, std::size_t from, std::uint64_t after) {
    std::size_t found = 0;
    for (std::size_t at = from; at + R::kHeadSize <= in.size(); ++at) {
        if (!recordHeadAt(in, at, after)) continue;
        ++found;
        const std::uint64_t length = get32(in, at + R::kLength);
        if (length <= in.size() - at - R::kOverhead) at += R::kHeadSize + length + R::kCrcSize - 1;
    }
    return found;
}

bool allZero(std::string_view in) { return in.find_first_not_of('\0') == std::string_view::npos; }

// Version 1: no head check, so only zeros can be told as a torn end.
void parseVersion1(JournalContents& out, std::string_view in) {
    constexpr std::size_t kOverhead1 = 16, kHead1 = 12;
    std::size_t at = H::kSize;
    while (at < in.size()) {
        const std::size_t left = in.size() - at;
        if (left < kHead1) break;
        const std::uint64_t length = get32(in, at);
        if (left < kOverhead1 || length > left - kOverhead1) break;
        const std::size_t end = at + kHead1 + static_cast<std::size_t>(length);
        if (get32(in, end) != crc32(in.substr(at, kHead1 + length))) {
            if (end + 4 < in.size() && !allZero(in.substr(end + 4))) {
                out.status = JournalStatus::Damaged;
                out.lostRecords = 1;
            } else {
                out.lastUnreadable = !allZero(in.substr(at));
            }
            break;
        }
        out.records.push_back({get64(in, at + 4), in.substr(at + kHead1, length)});
        at = end + 4;
        out.completeBytes = at;
    }
}

// Records follow each other by one; the first may come after any number (a
// record of the whole tables starts afresh).
void parseVersion2(JournalContents& out, std::string_view in) {
    std::size_t at = H::kSize;
    std::uint64_t last = out.baseSequence;
    auto damaged = [&](std::size_t lost) {
        out.status = JournalStatus::Damaged;
        out.lostRecords = lost;
    };
    while (at < in.size()) {
        if (!recordHeadAt(in, at, last) || (!out.records.empty() && get64(in, at + R::kSequence) != last + 1)) {
            // Not a record: a torn end, unless whole records follow. Bytes
            // enough for a record that are not zeros were a change that is lost.
            if (const std::size_t later = recordsFrom(in, at + 1, last)) damaged(later + 1);
            else out.lastUnreadable = in.size() - at >= R::kOverhead && !allZero(in.substr(at));
            break;
        }
        const std::uint64_t length = get32(in, at + R::kLength);
        if (in.size() - at < R::kOverhead || length > in.size() - at - R::kOverhead) break;  // cut short while written
        const std::size_t end = at + R::kHeadSize + static_cast<std::size_t>(length);
        if (get32(in, end) != crc32(in.substr(at, R::kHeadSize + length))) {
            if (const std::size_t later = recordsFrom(in, end + R::kCrcSize, last)) damaged(later + 1);
            else out.lastUnreadable = true;
            break;
        }
        last = get64(in, at + R::kSequence);
        out.records.push_back({last, in.substr(at + R::kHeadSize, length)});
        at = end + R::kCrcSize;
        out.completeBytes = at;
    }
}

}  // namespace

JournalContents parseJournal(std::string bytes) {
    JournalContents out;
    out.bytes = std::move(bytes);
    const std::string_view in = out.bytes;
    out.status = JournalStatus::Read;
    const std::size_t head = std::min(in.size(), H::kSize);
    // Cut short (or left as zeros) while its header was written: as good as
    // no journal, unless whole records lie behind it.
    if (in.size() < H::kSize || allZero(in.substr(0, H::kSize))) {
        const bool started = allZero(in.substr(0, head)) ||
                             in.substr(0, std::min(head, kMagic.size())) == kMagic.substr(0, std::min(head, kMagic.size()));
        if (!started) out.status = JournalStatus::Damaged;
        if (in.size() > H::kSize)
            if (const std::size_t lost = recordsFrom(in, H::kSize, 0)) {
                out.status = JournalStatus::Damaged;
                out.lostRecords = lost;
            }
        return out;
    }
    out.version = get32(in, H::kVersion);
    if (in.substr(H::kMagic, kMagic.size()) != kMagic || (out.version != 1 && out.version != kJournalVersion) ||
        get32(in, H::kCrc) != crc32(in.substr(0, H::kCrc))) {
        out.status = JournalStatus::Damaged;
        out.lostRecords = recordsFrom(in, H::kSize, 0);
        return out;
    }
    out.generation = get64(in, H::kGeneration);
    out.baseSequence = get64(in, H::kBaseSequence);
    out.completeBytes = H::kSize;
    if (out.version == 1) parseVersion1(out, in);
    else parseVersion2(out, in);
    return out;
}

JournalContents readJournal(const std::filesystem::path& file) {
    std::string bytes;
    int err = readFile(file, bytes);
    // A virus scanner or a backup may hold the file for a moment.
    for (int tries = 0; err != 0 && isHeldElsewhere(err) && tries < kHeldRetries; ++tries) {
        pauseMs(kHeldRetryMs);
        err = readFile(file, bytes);
    }
    if (err != 0) {
        JournalContents out;
        out.status = isMissingFile(err) ? JournalStatus::Missing : JournalStatus::Unreadable;
        out.errorCode = err;
        return out;
    }
    return parseJournal(std::move(bytes));
}

namespace {

// One pass over a record's changes: with `apply` false it only checks that
// each fits the tables as the earlier ones leave them (their row counts);
// with it the changes are made through the tables, as any change is.
bool walkRecord(std::string_view payload, RecordTables& tables, bool apply) {
    Reader in(payload);
    std::array<std::string, kMaxColumns> cells;
    std::array<std::size_t, kViewKindCount> rows{};
    for (ViewKind k : kAllKinds) rows[k] = tables.table(k).rowCount();
    while (!in.done()) {
        std::uint8_t op = 0, kindByte = 0;
        if (!in.u8(op) || !in.u8(kindByte) || kindByte >= kViewKindCount) return false;
        const auto kind = static_cast<ViewKind>(kindByte);
        std::size_t& count = rows[kind];
        const std::size_t columns = columnCount(kind);
        const std::span<const std::string> row(cells.data(), columns);
        std::uint32_t at = 0, n = 0;  // the (first) row; the count or the column
        std::string_view bytes;
        switch (op) {
            case kInsert:
                if (!in.u32(at) || !in.u32(n) || at > count) return false;
                for (std::uint32_t r = 0; r < n; ++r) {
                    if (!in.bytes(bytes) || !splitRow(bytes, columns, cells)) return false;
                    if (apply) tables.insertRow(kind, at + r, row);
                }
                count += n;
                break;
            case kRemove:
                if (!in.u32(at) || !in.u32(n) || at > count || n > count - at) return false;
                if (apply) tables.removeRows(kind, at, n);
                count -= n;
                break;
            case kClear:
                if (apply) tables.clearTable(kind);
                count = 0;
                break;
            case kSetRow:
                if (!in.u32(at) || at >= count || !in.bytes(bytes) || !splitRow(bytes, columns, cells)) return false;
                if (apply) tables.writeRow(kind, at, row);
                break;
            case kSetCell:
                if (!in.u32(at) || !in.u32(n) || at >= count || n >= columns || !in.bytes(bytes) ||
                    bytes.find('\0') != std::string_view::npos)
                    return false;
                if (apply) tables.writeCell(kind, at, n, bytes);
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

bool applyJournalRecord(std::string_view payload, RecordTables& tables) {
    return walkRecord(payload, tables, false) && walkRecord(payload, tables, true);
}

bool holdsWholeTables(std::string_view payload) {
    static constexpr char kWhole[] = {kClear, ViewRegister, kClear, ViewInstitution, kClear, ViewAccountChange};
    return payload.substr(0, sizeof kWhole) == std::string_view(kWhole, sizeof kWhole);
}

}  // namespace kovirant
