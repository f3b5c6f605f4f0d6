// The port through which the record tables reach the screen: rows of text
// cells with a selected and a focused mark per row.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kovirant {

class MemoryTable;

struct RowState {
    bool selected = false;
    bool focused = false;
    friend bool operator==(const RowState&, const RowState&) = default;
};

class TableWidget {
public:
    virtual ~TableWidget() = default;

    virtual std::size_t rowCount() const = 0;
    // Inserts a row at `index` (0..rowCount) with no marks set.
    virtual void insertRow(std::size_t index, std::span<const std::string> cells) = 0;
    // Replaces every cell of an existing row; the marks stay.
    virtual void setRow(std::size_t index, std::span<const std::string> cells) = 0;
    // Replaces one cell of an existing row; the other cells and the marks stay.
    virtual void setCell(std::size_t row, std::size_t column, std::string_view text) = 0;
    // The text of a cell; valid until the table next changes.
    virtual std::string_view cell(std::size_t row, std::size_t column) const = 0;
    virtual void deleteRow(std::size_t index) = 0;
    // Deletes `count` rows from `first` at once (an undo takes back a whole
    // import so); the marks of the rows after them are not kept.
    virtual void deleteRows(std::size_t first, std::size_t count) {
        for (std::size_t r = first + count; r-- > first;) deleteRow(r);
    }
    virtual void deleteAll() = 0;
    virtual RowState state(std::size_t row) const = 0;
    // Sets both marks of a row. On a single-selection table selecting a row
    // clears the selected mark of every other row.
    virtual void setState(std::size_t row, RowState state) = 0;

    // Every cell of a row as views, valid until the table next changes; a
    // widget may answer faster than this.
    virtual void cellViews(std::size_t row, std::span<std::string_view> out) const {
        for (std::size_t c = 0; c < out.size(); ++c) out[c] = cell(row, c);
    }
    // Every cell of a row, in order; a widget may answer faster than this.
    virtual void readCells(std::size_t row, std::span<std::string> out) const {
        for (std::size_t c = 0; c < out.size(); ++c) out[c].assign(cell(row, c));
    }

    // Appends a row's cells to `out`, each ended by a NUL byte; and how many
    // bytes that is.
    virtual void appendRowBytes(std::size_t row, std::string& out) const = 0;
    virtual std::size_t rowBytesSize(std::size_t row) const = 0;
    // The rows as they are now, which later changes of this table leave
    // alone; cheap, as the copy shares the stored bytes. Made to be read
    // while this table changes on (from another thread too).
    virtual std::unique_ptr<MemoryTable> frozenCopy() const = 0;

    // The lowest index of a selected row. A widget may answer faster than
    // this walk.
    virtual std::optional<std::size_t> firstSelected() const {
        for (std::size_t i = 0, n = rowCount(); i < n; ++i)
            if (state(i).selected) return i;
        return std::nullopt;
    }
    // The row with the focus mark, if any.
    virtual std::optional<std::size_t> focused() const {
        for (std::size_t i = 0, n = rowCount(); i < n; ++i)
            if (state(i).focused) return i;
        return std::nullopt;
    }
    // Clears both marks of every row.
    virtual void clearAllStates() {
        for (std::size_t i = 0, n = rowCount(); i < n; ++i)
            if (state(i) != RowState{}) setState(i, RowState{});
    }
};

}  // namespace kovirant
