// The store of one record table: its rows of text cells, kept in memory,
// and the marks of its rows for a program without a screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_kinds.h"
#include "records/table_view.h"

namespace kovirant {

class MemoryTable {
public:
    // The most cells a row holds.
    static constexpr std::size_t kMostCells = 32;
    static_assert(kMostColumns <= kMostCells, "a row must hold the widest kind's cells");
    MemoryTable(std::size_t columns, bool singleSelection);
    // The store of one kind's table: its columns and selection rule.
    explicit MemoryTable(ViewKind kind) : MemoryTable(kovirant::columnCount(kind), kovirant::singleSelection(kind)) {}

    std::size_t rowCount() const { return rows_.size(); }
    // Room for `rows` rows in all without growing the row list (an import
    // that knows its file's size asks before its first row).
    void reserveRows(std::size_t rows);
    // Inserts a row at `index` (0..rowCount) with no marks set.
    void insertRow(std::size_t index, std::span<const std::string> cells);
    // Replaces every cell of an existing row; the marks stay.
    void setRow(std::size_t index, std::span<const std::string> cells);
    // The same from views, which may be views of this table's own cells.
    void setRow(std::size_t index, std::span<const std::string_view> cells);
    // The text of a cell; valid until the table next changes.
    std::string_view cell(std::size_t row, std::size_t column) const;
    // Replaces one cell of an existing row; the other cells and the marks stay.
    void setCell(std::size_t row, std::size_t column, std::string_view text);
    // Every cell of a row, as copies or as views valid until the next change.
    void readCells(std::size_t row, std::span<std::string> out) const;
    void cellViews(std::size_t row, std::span<std::string_view> out) const;
    void deleteRow(std::size_t index);
    // Deletes `count` rows from `first` at once; the marks of the rows after
    // them are not kept.
    void deleteRows(std::size_t first, std::size_t count);
    void deleteAll();
    // The marks, for a table no screen shows (TableView's rules).
    RowState state(std::size_t row) const;
    void setState(std::size_t row, RowState state);
    std::optional<std::size_t> firstSelected() const;
    std::optional<std::size_t> focused() const;
    void clearAllStates();
    // Appends a row's cells to `out`, each ended by a NUL byte (the
    // journal's row form); rowBytesSize says how many bytes that is.
    void appendRowBytes(std::size_t row, std::string& out) const;
    std::size_t rowBytesSize(std::size_t row) const { return row < rows_.size() ? rows_[row].length : columns_; }
    // The rows as they are now, which later changes of this table leave
    // alone; cheap, as the copy shares the stored bytes. Made to be read
    // while this table changes on (from another thread too).
    std::unique_ptr<MemoryTable> frozenCopy() const;

private:
    // The cells of a row lie one after the other in a block, each ended by a
    // NUL byte (so a cell, like a list-view item text, ends at its first NUL
    // byte). Rows are appended to the current block; space of deleted or
    // rewritten rows is reclaimed by compaction, and a block left without
    // live rows that no frozen copy shares is appended to again (a fill that
    // rewrites every row reuses memory already faulted in, not fresh pages).
    // Bytes a frozen copy can see are never changed, so it shares the blocks.
    struct RowRef {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length;
        std::uint8_t state;
    };
    struct Block {
        std::shared_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
        std::size_t live = 0;  // bytes of live rows
    };

    template <class Cell>
    RowRef store(std::span<const Cell> cells);
    template <class Cell>
    void replaceRow(std::size_t index, std::span<const Cell> cells);
    // A block with room for `least` bytes, for a table holding `stored`.
    static Block newBlock(std::size_t least, std::size_t stored);
    // Room for `total` more bytes at the end of the last block.
    char* reserve(std::size_t total, RowRef& ref);
    const char* rowData(const RowRef& r) const { return blocks_[r.block].data.get() + r.offset; }
    void release(const RowRef& r);
    void compactIfDue();
    void retire(std::size_t block);
    bool reusable(const Block& b) const;
    void compact();

    std::size_t columns_;
    bool singleSelection_;
    std::vector<RowRef> rows_;
    std::vector<Block> blocks_;
    std::size_t current_ = 0;            // the block rows are appended to
    std::vector<std::uint32_t> spare_;   // blocks without live rows, to append to again
    std::size_t used_ = 0;     // bytes of live rows
    std::size_t stored_ = 0;   // bytes in the blocks
    mutable std::size_t readers_ = 0;  // Readers alive: no compaction meanwhile

public:
    // Reads rows on other threads while this table's thread rewrites other
    // rows (setRow, setCell): a fill finds what rows ahead need while it
    // writes the rows behind. While one exists no row moves, as the table is
    // not compacted; rows are not inserted or deleted meanwhile. A reader
    // reads only rows not rewritten since it was made, and is made and
    // dropped on the table's thread. Debug builds assert both on every read:
    // the rows as many and where they were, the row read in a block (and a
    // part of the block then current) that was there when it was made.
    class Reader {
    public:
        explicit Reader(const MemoryTable& table);
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        void cellViews(std::size_t row, std::span<std::string_view> out) const;

    private:
        const MemoryTable& table_;
        std::vector<const char*> bases_;  // the blocks as they were, as the table's list of them may grow
        const RowRef* rows_;
        std::size_t count_;
        std::size_t current_, currentSize_;  // the block appended to, and its bytes, when it was made
    };
};

}  // namespace kovirant
