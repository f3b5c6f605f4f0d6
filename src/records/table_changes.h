// The one stream of changes of the record tables: RecordTables tells every
// listener (the undo history, the recovery journal) of each change twice,
// before it (the table still holds the old rows) and after it (the new
// ones). Undo and redo replay through RecordTables, so their changes come
// down the same stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/record_kinds.h"

namespace kovirant {

class MemoryTable;

struct TableChange {
    enum class Type : std::uint8_t {
        Insert,  // rows row..row+count-1 are new (the rows from `row` on moved down)
        Remove,  // rows row..row+count-1 go (the rows after them move up)
        Clear,   // every row goes (count: how many there were)
        SetRow,  // every cell of `row`
        SetCell, // cell `column` of `row`
    };
    Type type = Type::Insert;
    ViewKind kind = ViewRegister;
    std::size_t row = 0;
    std::size_t count = 0;
    std::size_t column = 0;
    // An insert after a table's last row: the one change that leaves every
    // existing row where it was.
    bool appends(std::size_t rowsBefore) const { return type == Type::Insert && row == rowsBefore; }
};

class TableChangeListener {
public:
    virtual ~TableChangeListener() = default;
    virtual void changing(const TableChange& change, const MemoryTable& table) = 0;
    virtual void changed(const TableChange& change, const MemoryTable& table) = 0;
};

}  // namespace kovirant
