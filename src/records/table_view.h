// The port through which a record table reaches the screen. The rows are
// the store's (RecordTables owns them); a view shows them and keeps the
// marks of its rows, the selected and the focused one, and hears of each
// change of the rows so that it knows when the count changed or rows were
// rewritten.
#pragma once

#include <cstddef>
#include <optional>

namespace kovirant {

struct TableChange;

struct RowState {
    bool selected = false;
    bool focused = false;
    friend bool operator==(const RowState&, const RowState&) = default;
};

class TableView {
public:
    virtual ~TableView() = default;

    virtual RowState state(std::size_t row) const = 0;
    // Sets both marks of a row. On a single-selection table selecting a row
    // clears the selected mark of every other row.
    virtual void setState(std::size_t row, RowState state) = 0;
    // The lowest index of a selected row; the row with the focus mark.
    virtual std::optional<std::size_t> firstSelected() const = 0;
    virtual std::optional<std::size_t> focused() const = 0;
    // Clears both marks of every row.
    virtual void clearAllStates() = 0;

    // Before and after each change of the store's rows.
    virtual void rowsChanging(const TableChange&) {}
    virtual void rowsChanged(const TableChange&) {}
};

}  // namespace kovirant
