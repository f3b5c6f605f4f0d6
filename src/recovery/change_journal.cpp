#include "recovery/change_journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "util/crc32.h"
#include "util/file_io.h"

namespace kovirant {
namespace {

constexpr std::string_view kMagic = "KOVNAPLO";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

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
void putRow(std::string& out, const TableWidget& table, std::size_t row) {
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
bool splitRow(std::string_view bytes, std::size_t columns, std::array<std::string, 16>& cells) {
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
    copyInserted();
    pending_ += static_cast<char>(op);
    pending_ += static_cast<char>(kind);
}

void ChangeJournal::putInsertHead(std::string& out, const Inserted& rows) {
    out += static_cast<char>(kInsert);
    out += static_cast<char>(rows.kind);
    put32(out, static_cast<std::uint32_t>(rows.first));
    put32(out, static_cast<std::uint32_t>(rows.count));
}

void ChangeJournal::copyInserted() {
    if (lazy_.count == 0) return;
    const Inserted rows = lazy_;
    lazy_ = {};
    putInsertHead(pending_, rows);
    for (std::size_t r = rows.first; r < rows.first + rows.count; ++r) putRow(pending_, *rows.table, r);
}

void ChangeJournal::rowsInserted(ViewKind kind, const TableWidget& table, std::size_t first, std::size_t count) {
    if (lazy_.count > 0 && lazy_.kind == kind && lazy_.table == &table && lazy_.first + lazy_.count == first) {
        lazy_.count += count;
        return;
    }
    copyInserted();
    lazy_ = {kind, &table, first, count};
}

void ChangeJournal::rowsRemoved(ViewKind kind, std::size_t first, std::size_t count) {
    beginOp(kRemove, kind);
    put32(pending_, static_cast<std::uint32_t>(first));
    put32(pending_, static_cast<std::uint32_t>(count));
}

void ChangeJournal::tableCleared(ViewKind kind) { beginOp(kClear, kind); }

void ChangeJournal::rowWritten(ViewKind kind, const TableWidget& table, std::size_t row) {
    beginOp(kSetRow, kind);
    put32(pending_, static_cast<std::uint32_t>(row));
    putRow(pending_, table, row);
}

void ChangeJournal::cellWritten(ViewKind kind, const TableWidget& table, std::size_t row, std::size_t column) {
    beginOp(kSetCell, kind);
    put32(pending_, static_cast<std::uint32_t>(row));
    put32(pending_, static_cast<std::uint32_t>(column));
    const std::string_view text = table.cell(row, column);
    put32(pending_, static_cast<std::uint32_t>(text.size()));
    pending_ += text;
}

void ChangeJournal::discardPending() {
    if (pending_.capacity() > kPieceBytes) std::string().swap(pending_);  // a large collection's memory goes back
    pending_.clear();
    lazy_ = {};
}

void ChangeJournal::collectWholeTables(const RecordTables& tables) {
    discardPending();
    for (ViewKind kind : {ViewRegister, ViewInstitution, ViewAccountChange}) tableCleared(kind);
    // The register last: the rows inserted last are written straight from
    // the table, and the register is the large one.
    for (ViewKind kind : {ViewInstitution, ViewAccountChange, ViewRegister}) {
        const TableWidget& t = tables.table(kind);
        if (t.rowCount() > 0) rowsInserted(kind, t, 0, t.rowCount());
    }
}

int ChangeJournal::create(const std::filesystem::path& file, std::uint64_t generation, std::uint64_t baseSequence) {
    if (const int err = file_.open(file, 0)) return err;
    std::string header(kMagic);
    put64(header, generation);
    put64(header, baseSequence);
    put32(header, kVersion);
    put32(header, crc32(header));
    size_ = 0;
    if (const int err = file_.append(header)) return err;
    size_ = header.size();
    return file_.sync();
}

int ChangeJournal::reopen(const std::filesystem::path& file, std::uint64_t keep) {
    size_ = 0;
    if (const int err = file_.open(file, keep)) return err;
    size_ = keep;
    return 0;
}

// The collection, then the rows inserted last, written in pieces as they are
// copied: an import's million rows never lie in memory twice.
int ChangeJournal::commit(std::uint64_t sequence) {
    const Inserted rows = lazy_;
    lazy_ = {};
    std::uint64_t length = pending_.size();
    if (rows.count > 0) {
        length += 10;
        for (std::size_t r = rows.first; r < rows.first + rows.count; ++r) length += 4 + rows.table->rowBytesSize(r);
    }
    std::string piece;
    put32(piece, static_cast<std::uint32_t>(length));
    put64(piece, sequence);
    int err = length > UINT32_MAX ? EFBIG : 0;
    std::uint32_t crc = 0;
    auto write = [&](const std::string& bytes) {
        crc = crc32(bytes, crc);
        if (err == 0) err = file_.append(bytes);
    };
    write(piece);
    write(pending_);
    if (rows.count > 0) {
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
    if (err == 0) size_ += 16 + length;
    discardPending();
    return err;
}

JournalContents parseJournal(std::string bytes) {
    JournalContents out;
    out.bytes = std::move(bytes);
    const std::string_view in = out.bytes;
    out.status = JournalStatus::Read;
    if (in.size() < kJournalHeaderSize) {
        // Cut short while it was made: as good as no journal, unless it is
        // not one at all.
        if (in.substr(0, std::min(in.size(), kMagic.size())) != kMagic.substr(0, std::min(in.size(), kMagic.size())))
            out.status = JournalStatus::Damaged;
        return out;
    }
    if (in.substr(0, kMagic.size()) != kMagic || get32(in, 24) != kVersion ||
        get32(in, 28) != crc32(in.substr(0, 28))) {
        out.status = JournalStatus::Damaged;
        return out;
    }
    out.generation = get64(in, 8);
    out.baseSequence = get64(in, 16);
    std::size_t at = kJournalHeaderSize;
    out.completeBytes = at;
    while (at < in.size()) {
        const std::size_t left = in.size() - at;
        if (left < 12) break;  // a torn last record
        const std::uint64_t length = get32(in, at);
        if (length > left - kJournalRecordOverhead || left < kJournalRecordOverhead) break;  // torn
        const std::size_t end = at + 12 + static_cast<std::size_t>(length);
        if (get32(in, end) != crc32(in.substr(at, 12 + length))) {
            // The last record torn by a kill (its tail never reached the
            // disk), or damage when complete records follow.
            if (end + 4 < in.size()) out.status = JournalStatus::Damaged;
            break;
        }
        out.records.push_back({get64(in, at + 4), in.substr(at + 12, length)});
        at = end + 4;
        out.completeBytes = at;
    }
    if (out.status == JournalStatus::Damaged) out.records.clear();
    return out;
}

JournalContents readJournal(const std::filesystem::path& file) {
    std::string bytes;
    if (const int err = readFile(file, bytes)) {
        JournalContents out;
        out.status = isMissingFile(err) ? JournalStatus::Missing : JournalStatus::Unreadable;
        out.errorCode = err;
        return out;
    }
    return parseJournal(std::move(bytes));
}

bool applyJournalRecord(std::string_view payload, RecordTables& tables) {
    Reader in(payload);
    std::array<std::string, 16> cells;
    while (!in.done()) {
        std::uint8_t op = 0, kindByte = 0;
        if (!in.u8(op) || !in.u8(kindByte) || kindByte >= kViewKindCount) return false;
        const auto kind = static_cast<ViewKind>(kindByte);
        TableWidget& t = tables.table(kind);
        const std::size_t columns = columnCount(kind);
        const std::span<const std::string> row(cells.data(), columns);
        std::uint32_t a = 0, b = 0;
        std::string_view bytes;
        switch (op) {
            case kInsert:
                if (!in.u32(a) || !in.u32(b) || a > t.rowCount()) return false;
                for (std::uint32_t r = 0; r < b; ++r) {
                    if (!in.bytes(bytes) || !splitRow(bytes, columns, cells)) return false;
                    t.insertRow(a + r, row);
                }
                break;
            case kRemove:
                if (!in.u32(a) || !in.u32(b) || a > t.rowCount() || b > t.rowCount() - a) return false;
                if (b == 1) t.deleteRow(a);
                else if (b > 0) t.deleteRows(a, b);
                break;
            case kClear:
                t.deleteAll();
                break;
            case kSetRow:
                if (!in.u32(a) || a >= t.rowCount() || !in.bytes(bytes) || !splitRow(bytes, columns, cells))
                    return false;
                t.setRow(a, row);
                break;
            case kSetCell:
                if (!in.u32(a) || !in.u32(b) || a >= t.rowCount() || b >= columns || !in.bytes(bytes) ||
                    bytes.find('\0') != std::string_view::npos)
                    return false;
                t.setCell(a, b, bytes);
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace kovirant
