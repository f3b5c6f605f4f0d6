// What the tables tell a listener after each change of their rows, so that it
// can keep its own copy of the change (the recovery journal). Each call comes
// after the change, when the table holds the new values; `changing` comes
// before every change that is not an append at a table's end, so that the
// listener can still read rows it has not copied yet.
#pragma once

#include <cstddef>

#include "records/record_kinds.h"

namespace kovirant {

class TableWidget;

class TableChangeListener {
public:
    virtual ~TableChangeListener() = default;
    virtual void changing() = 0;
    // Rows first..first+count-1 are new (the rows from `first` on moved down).
    virtual void rowsInserted(ViewKind kind, const TableWidget& table, std::size_t first, std::size_t count) = 0;
    // Rows first..first+count-1 went (the rows after them moved up).
    virtual void rowsRemoved(ViewKind kind, std::size_t first, std::size_t count) = 0;
    virtual void tableCleared(ViewKind kind) = 0;
    virtual void rowWritten(ViewKind kind, const TableWidget& table, std::size_t row) = 0;
    virtual void cellWritten(ViewKind kind, const TableWidget& table, std::size_t row, std::size_t column) = 0;
};

}  // namespace kovirant
