#include "records/memory_table.h"

#include <cstring>

namespace kovirant {
namespace {
constexpr std::uint8_t kSelected = 1;
constexpr std::uint8_t kFocused = 2;
}  // namespace

MemoryTable::MemoryTable(std::size_t columns, bool singleSelection)
    : columns_(columns), singleSelection_(singleSelection) {}

void MemoryTable::pack(Row& row, std::span<const std::string> cells) const {
    row.packed.clear();
    for (std::size_t c = 0; c < columns_; ++c) {
        if (c < cells.size()) {
            const std::string& text = cells[c];
            row.packed.append(text.data(), std::strlen(text.c_str()));
        }
        row.packed.push_back('\0');
    }
}

void MemoryTable::insertRow(std::size_t index, std::span<const std::string> cells) {
    if (index > rows_.size()) index = rows_.size();
    Row row;
    pack(row, cells);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
}

void MemoryTable::setRow(std::size_t index, std::span<const std::string> cells) {
    if (index >= rows_.size()) return;
    pack(rows_[index], cells);
}

std::string_view MemoryTable::cell(std::size_t row, std::size_t column) const {
    if (row >= rows_.size() || column >= columns_) return {};
    const std::string& packed = rows_[row].packed;
    std::size_t start = 0;
    for (std::size_t c = 0; c < column; ++c) start = packed.find('\0', start) + 1;
    std::size_t end = packed.find('\0', start);
    return std::string_view(packed).substr(start, end - start);
}

void MemoryTable::deleteRow(std::size_t index) {
    if (index < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

void MemoryTable::deleteAll() { rows_.clear(); }

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
        for (Row& r : rows_) r.state &= static_cast<std::uint8_t>(~clear);
    }
    rows_[row].state = static_cast<std::uint8_t>((state.selected ? kSelected : 0) | (state.focused ? kFocused : 0));
}

}  // namespace kovirant
