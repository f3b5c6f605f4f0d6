// Table widget held in memory: the test adapter of the port, and the store
// behind the Win32 virtual list view.
#pragma once

#include <cstdint>
#include <vector>

#include "records/table_widget.h"

namespace kovirant {

class MemoryTable : public TableWidget {
public:
    MemoryTable(std::size_t columns, bool singleSelection);

    std::size_t rowCount() const override { return rows_.size(); }
    void insertRow(std::size_t index, std::span<const std::string> cells) override;
    void setRow(std::size_t index, std::span<const std::string> cells) override;
    std::string_view cell(std::size_t row, std::size_t column) const override;
    void deleteRow(std::size_t index) override;
    void deleteAll() override;
    RowState state(std::size_t row) const override;
    void setState(std::size_t row, RowState state) override;

    std::size_t columnCount() const { return columns_; }
    bool singleSelection() const { return singleSelection_; }
    void reserve(std::size_t rows) { rows_.reserve(rows); }

private:
    // All cells of a row in one string, each cell ended by a NUL byte, so a
    // row costs one allocation. A cell, like a list-view item text, ends at
    // its first NUL byte.
    struct Row {
        std::string packed;
        std::uint8_t state = 0;
    };
    void pack(Row& row, std::span<const std::string> cells) const;

    std::size_t columns_;
    bool singleSelection_;
    std::vector<Row> rows_;
};

}  // namespace kovirant
