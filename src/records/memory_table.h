// Table widget held in memory: the test adapter of the port, and the store
// behind the Win32 virtual list view.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "records/record_kinds.h"
#include "records/table_widget.h"

namespace kovirant {

class MemoryTable : public TableWidget {
public:
    MemoryTable(std::size_t columns, bool singleSelection);
    // The store of one kind's table: its columns and selection rule.
    explicit MemoryTable(ViewKind kind) : MemoryTable(kovirant::columnCount(kind), kovirant::singleSelection(kind)) {}

    std::size_t rowCount() const override { return rows_.size(); }
    void insertRow(std::size_t index, std::span<const std::string> cells) override;
    void setRow(std::size_t index, std::span<const std::string> cells) override;
    std::string_view cell(std::size_t row, std::size_t column) const override;
    void setCell(std::size_t row, std::size_t column, std::string_view text) override;
    void readCells(std::size_t row, std::span<std::string> out) const override;
    void cellViews(std::size_t row, std::span<std::string_view> out) const override;
    void deleteRow(std::size_t index) override;
    void deleteRows(std::size_t first, std::size_t count) override;
    void deleteAll() override;
    RowState state(std::size_t row) const override;
    void setState(std::size_t row, RowState state) override;
    void appendRowBytes(std::size_t row, std::string& out) const override;
    std::size_t rowBytesSize(std::size_t row) const override { return row < rows_.size() ? rows_[row].length : columns_; }
    std::unique_ptr<MemoryTable> frozenCopy() const override;


private:
    // The cells of a row lie one after the other in a block, each ended by a
    // NUL byte (so a cell, like a list-view item text, ends at its first NUL
    // byte). Rows are appended to the last block; space of deleted or
    // rewritten rows is reclaimed by compaction. Stored bytes are never
    // changed, so a frozen copy shares the blocks.
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
    };

    RowRef store(std::span<const std::string> cells);
    // Room for `total` more bytes at the end of the last block.
    char* reserve(std::size_t total, RowRef& ref);
    const char* rowData(const RowRef& r) const { return blocks_[r.block].data.get() + r.offset; }
    void release(const RowRef& r);
    void compact();

    std::size_t columns_;
    bool singleSelection_;
    std::vector<RowRef> rows_;
    std::vector<Block> blocks_;
    std::size_t used_ = 0;     // bytes of live rows
    std::size_t stored_ = 0;   // bytes in the blocks
};

}  // namespace kovirant
