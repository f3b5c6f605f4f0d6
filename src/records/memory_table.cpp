#include "records/memory_table.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <new>

#include "util/os_file.h"

namespace kovirant {
namespace {
constexpr std::uint8_t kSelected = 1;
constexpr std::uint8_t kFocused = 2;
constexpr std::size_t kBlockSize = 1 << 20;
// Once a table holds this much, its blocks are larger and aligned to the
// system's large pages (see adviseLargePages): a million-row import faults
// its memory in 2 MB at a time.
constexpr std::size_t kLargeBlockFrom = 4 * kBlockSize;
constexpr std::size_t kLargeBlockSize = 8 * kBlockSize;
constexpr std::align_val_t kLargePage{std::size_t{1} << 21};
// Rows from which the row list grows into large pages.
constexpr std::size_t kLargeRowsFrom = std::size_t{1} << 16;
}  // namespace

MemoryTable::MemoryTable(std::size_t columns, bool singleSelection)
    : columns_(columns), singleSelection_(singleSelection) {
    assert(columns <= kMostCells);
}

namespace {
// A cell's stored length: up to its first NUL byte, as a cell ends there.
std::size_t cellLength(const std::string& cell) { return std::strlen(cell.c_str()); }
std::size_t cellLength(std::string_view cell) {
    const void* nul = std::memchr(cell.data(), '\0', cell.size());
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - cell.data()) : cell.size();
}
}  // namespace

template <class Cell>
MemoryTable::RowRef MemoryTable::store(std::span<const Cell> cells) {
    std::size_t lengths[kMostCells] = {};
    const std::size_t given = cells.size() < columns_ ? cells.size() : columns_;
    std::size_t total = columns_;
    for (std::size_t c = 0; c < given && c < kMostCells; ++c) {
        lengths[c] = cellLength(cells[c]);
        total += lengths[c];
    }
    RowRef ref{};
    char* out = reserve(total, ref);
    for (std::size_t c = 0; c < columns_; ++c) {
        if (c < given && c < kMostCells) {
            std::memcpy(out, cells[c].data(), lengths[c]);
            out += lengths[c];
        }
        *out++ = '\0';
    }
    return ref;
}

void MemoryTable::release(const RowRef& r) {
    used_ -= r.length;
    blocks_[r.block].live -= r.length;
    if (r.block != current_) retire(r.block);
    compactIfDue();
}

// Compact once more than half of the stored bytes are dead.
void MemoryTable::compactIfDue() {
    if (readers_ == 0 && stored_ > 4 * kBlockSize && used_ < stored_ / 2) compact();
}

// Whether an emptied block may be appended to again, asked of every frozen
// copy and every live reader. A frozen copy shares the block while its count
// is above one (only this table hands out its blocks, so a count of one
// stays one). A reader reads no row rewritten since it was made, and a block
// is empty only when each of its rows was rewritten, so reuse is safe under
// a reader too; debug builds still wait for the readers, so that every row
// written meanwhile lies where a reader's assertion sees it.
bool MemoryTable::reusable(const Block& b) const {
    if (b.live != 0 || b.size == 0 || b.data.use_count() != 1) return false;
#ifndef NDEBUG
    if (readers_ != 0) return false;
#endif
    return true;
}

// A block without live rows is appended to again once reusable. A reference
// taken and dropped here orders a copy's last reads, on another thread,
// before the bytes are written again: the drop is an acquire-release
// decrement of the count that the copy's own drop released (a plain fence
// would do for the hardware, but ThreadSanitizer cannot see fences).
void MemoryTable::retire(std::size_t block) {
    Block& b = blocks_[block];
    if (!reusable(b)) return;
    { const std::shared_ptr<char[]> last = b.data; }
    stored_ -= b.size;
    b.size = 0;
    spare_.push_back(static_cast<std::uint32_t>(block));
}

// Copies every live row's bytes, as they are, into fresh blocks.
void MemoryTable::compact() {
    std::vector<Block> old = std::move(blocks_);
    blocks_.clear();
    spare_.clear();
    used_ = stored_ = 0;
    for (RowRef& r : rows_) {
        const std::size_t total = r.length;
        if (blocks_.empty() || blocks_.back().capacity - blocks_.back().size < total) {
            blocks_.push_back(newBlock(total, stored_));
        }
        Block& b = blocks_.back();
        std::memcpy(b.data.get() + b.size, old[r.block].data.get() + r.offset, total);
        r.block = static_cast<std::uint32_t>(blocks_.size() - 1);
        r.offset = static_cast<std::uint32_t>(b.size);
        b.size += total;
        b.live += total;
        used_ += total;
        stored_ += total;
    }
    current_ = blocks_.empty() ? 0 : blocks_.size() - 1;
}

void MemoryTable::reserveRows(std::size_t rows) {
    if (rows <= rows_.capacity()) return;
    std::vector<RowRef> grown;
    if (rows >= kLargeRowsFrom) reserveLarge(grown, rows);
    else grown.reserve(rows);
    grown.assign(rows_.begin(), rows_.end());
    rows_.swap(grown);
}

void MemoryTable::insertRow(std::size_t index, std::span<const std::string> cells) {
    const RowRef ref = store(cells);
    if (rows_.size() == rows_.capacity() && rows_.size() >= kLargeRowsFrom) {
        // Grown as a vector grows, into memory that asked for large pages first.
        std::vector<RowRef> grown;
        reserveLarge(grown, rows_.capacity() * 2);
        grown.assign(rows_.begin(), rows_.end());
        rows_.swap(grown);
    }
    if (index >= rows_.size()) rows_.push_back(ref);
    else rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), ref);
}

template <class Cell>
void MemoryTable::replaceRow(std::size_t index, std::span<const Cell> cells) {
    if (index >= rows_.size()) return;
    const RowRef old = rows_[index];
    RowRef ref = store(cells);  // the cells may lie in the old row, which is still live here
    ref.state = old.state;
    rows_[index] = ref;
    release(old);
}

void MemoryTable::setRow(std::size_t index, std::span<const std::string> cells) { replaceRow(index, cells); }
void MemoryTable::setRow(std::size_t index, std::span<const std::string_view> cells) { replaceRow(index, cells); }

std::string_view MemoryTable::cell(std::size_t row, std::size_t column) const {
    if (row >= rows_.size() || column >= columns_) return {};
    const char* p = rowData(rows_[row]);
    for (std::size_t c = 0; c < column; ++c) p += std::strlen(p) + 1;
    return std::string_view(p);
}

namespace {
// The cells of a row's bytes as views; views past its cells are empty. The
// cells' ends (their NUL bytes) are found eight bytes at a time: a row is
// short, and a call per cell cost more than the search.
void splitCells(const char* start, std::size_t length, std::size_t columns, std::span<std::string_view> out) {
    std::size_t c = 0;
    const char* p = start;
    const char* const end = start + length;
    const std::size_t cells = std::min(out.size(), columns);
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
        for (; c < cells && end - p >= 8; p += 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            std::uint64_t nuls = ~(((w & kLow7) + kLow7) | w | kLow7);  // the high bit of each NUL byte
            for (; nuls != 0 && c < cells; nuls &= nuls - 1) {
                const char* nul = p + (std::countr_zero(nuls) >> 3);
                out[c++] = std::string_view(start, static_cast<std::size_t>(nul - start));
                start = nul + 1;
            }
        }
    }
    for (; c < cells && p < end; ++p) {
        if (*p != '\0') continue;
        out[c++] = std::string_view(start, static_cast<std::size_t>(p - start));
        start = p + 1;
    }
    for (; c < out.size(); ++c) out[c] = {};
}
}  // namespace

void MemoryTable::cellViews(std::size_t row, std::span<std::string_view> out) const {
    if (row < rows_.size()) splitCells(rowData(rows_[row]), rows_[row].length, columns_, out);
    else splitCells(nullptr, 0, columns_, out);
}

MemoryTable::Reader::Reader(const MemoryTable& table)
    : table_(table), rows_(table.rows_.data()), count_(table.rows_.size()), current_(table.current_),
      currentSize_(table.blocks_.empty() ? 0 : table.blocks_[table.current_].size) {
    ++table.readers_;
    bases_.reserve(table.blocks_.size());
    for (const Block& b : table.blocks_) bases_.push_back(b.data.get());
}

MemoryTable::Reader::~Reader() { --table_.readers_; }

void MemoryTable::Reader::cellViews(std::size_t row, std::span<std::string_view> out) const {
    assert(table_.rows_.size() == count_ && table_.rows_.data() == rows_ && "rows inserted or deleted under a reader");
    assert((row >= count_ || (rows_[row].block < bases_.size() &&
                              (rows_[row].block != current_ || rows_[row].offset < currentSize_))) &&
           "a row read that was rewritten after the reader was made");
    if (row < count_) splitCells(bases_[rows_[row].block] + rows_[row].offset, rows_[row].length, table_.columns_, out);
    else splitCells(nullptr, 0, table_.columns_, out);
}

void MemoryTable::readCells(std::size_t row, std::span<std::string> out) const {
    if (row >= rows_.size()) {
        for (std::string& s : out) s.clear();
        return;
    }
    const char* p = rowData(rows_[row]);
    for (std::size_t c = 0; c < out.size(); ++c) {
        if (c >= columns_) {
            out[c].clear();
            continue;
        }
        const std::size_t n = std::strlen(p);
        out[c].assign(p, n);
        p += n + 1;
    }
}

MemoryTable::Block MemoryTable::newBlock(std::size_t least, std::size_t stored) {
    Block b;
    if (stored >= kLargeBlockFrom && least <= kLargeBlockSize) {
        b.capacity = kLargeBlockSize;
        char* data = static_cast<char*>(::operator new[](b.capacity, kLargePage));
        adviseLargePages(data, b.capacity);
        b.data = std::shared_ptr<char[]>(data, [](char* p) { ::operator delete[](p, kLargePage); });
        return b;
    }
    b.capacity = least > kBlockSize ? least : kBlockSize;
    b.data = std::shared_ptr<char[]>(new char[b.capacity]);
    return b;
}

char* MemoryTable::reserve(std::size_t total, RowRef& ref) {
    if (blocks_.empty() || blocks_[current_].capacity - blocks_[current_].size < total) {
        const std::size_t was = current_;
        if (!spare_.empty() && blocks_[spare_.back()].capacity >= total) {
            current_ = spare_.back();
            spare_.pop_back();
        } else {
            blocks_.push_back(newBlock(total, stored_));  // every byte is written before it is read
            current_ = blocks_.size() - 1;
        }
        if (was < blocks_.size() && was != current_) retire(was);  // left behind full, perhaps already emptied
    }
    Block& b = blocks_[current_];
    ref = {static_cast<std::uint32_t>(current_), static_cast<std::uint32_t>(b.size), static_cast<std::uint32_t>(total),
           0};
    char* out = b.data.get() + b.size;
    b.size += total;
    b.live += total;
    used_ += total;
    stored_ += total;
    return out;
}

// The row's bytes copied around the new cell, without going through strings.
void MemoryTable::setCell(std::size_t row, std::size_t column, std::string_view text) {
    if (row >= rows_.size() || column >= columns_) return;
    const std::size_t nul = text.find('\0');  // a cell ends at a NUL byte
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    const RowRef old = rows_[row];
    const char* p = rowData(old);
    const char* begin = p;
    for (std::size_t c = 0; c < column; ++c) p += std::strlen(p) + 1;
    const std::size_t before = static_cast<std::size_t>(p - begin);
    const std::size_t oldLength = std::strlen(p);
    const std::size_t after = old.length - before - oldLength;  // from the old cell's NUL on
    RowRef ref{};
    char* out = reserve(before + text.size() + after, ref);
    begin = rowData(old);  // the blocks may have moved
    std::memcpy(out, begin, before);
    std::memcpy(out + before, text.data(), text.size());
    std::memcpy(out + before + text.size(), begin + before + oldLength, after);
    ref.state = old.state;
    rows_[row] = ref;
    release(old);
}

void MemoryTable::deleteRow(std::size_t index) {
    if (index >= rows_.size()) return;
    const RowRef old = rows_[index];
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    release(old);
}

void MemoryTable::deleteRows(std::size_t first, std::size_t count) {
    if (first >= rows_.size()) return;
    count = std::min(count, rows_.size() - first);
    for (std::size_t r = first; r < first + count; ++r) release(rows_[r]);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
                rows_.begin() + static_cast<std::ptrdiff_t>(first + count));
}

void MemoryTable::deleteAll() {
    rows_.clear();
    blocks_.clear();
    spare_.clear();
    current_ = 0;
    used_ = stored_ = 0;
}

void MemoryTable::appendRowBytes(std::size_t row, std::string& out) const {
    if (row >= rows_.size()) {
        out.append(columns_, '\0');
        return;
    }
    out.append(rowData(rows_[row]), rows_[row].length);
}

std::unique_ptr<MemoryTable> MemoryTable::frozenCopy() const {
    auto copy = std::make_unique<MemoryTable>(columns_, singleSelection_);
    copy->rows_ = rows_;
    copy->blocks_ = blocks_;
    // Full, so that a row stored in the copy never lands in a shared block.
    for (Block& b : copy->blocks_) b.capacity = b.size;
    copy->current_ = current_;
    copy->used_ = used_;
    copy->stored_ = stored_;
    return copy;
}

RowState MemoryTable::state(std::size_t row) const {
    if (row >= rows_.size()) return {};
    return {(rows_[row].state & kSelected) != 0, (rows_[row].state & kFocused) != 0};
}

void MemoryTable::setState(std::size_t row, RowState state) {
    if (row >= rows_.size()) return;
    // One row holds the focus mark, and on a single-selection table one row
    // at most holds the selected mark, as in a list view.
    std::uint8_t clear = 0;
    if (state.focused) clear |= kFocused;
    if (state.selected && singleSelection_) clear |= kSelected;
    if (clear != 0) {
        for (RowRef& r : rows_) r.state &= static_cast<std::uint8_t>(~clear);
    }
    rows_[row].state = static_cast<std::uint8_t>((state.selected ? kSelected : 0) | (state.focused ? kFocused : 0));
}

std::optional<std::size_t> MemoryTable::firstSelected() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if ((rows_[i].state & kSelected) != 0) return i;
    return std::nullopt;
}

std::optional<std::size_t> MemoryTable::focused() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if ((rows_[i].state & kFocused) != 0) return i;
    return std::nullopt;
}

void MemoryTable::clearAllStates() {
    for (RowRef& r : rows_) r.state = 0;
}

}  // namespace kovirant
