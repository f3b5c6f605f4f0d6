// The three record tables, the row operations over them, the row-count
// status text, and the flags kept beside them.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "records/record_kinds.h"
#include "records/table_widget.h"

namespace kovirant {

class TableChangeListener;
struct TableChange;

class RecordTables {
public:
    RecordTables(TableWidget& registerTable, TableWidget& institutionTable, TableWidget& accountChangeTable);

    TableWidget& table(ViewKind kind) { return *tables_[kind]; }
    const TableWidget& table(ViewKind kind) const { return *tables_[kind]; }

    // Adds the record as the last row of its table and makes the status text
    // show that table's new row count.
    void appendRow(ViewKind kind, std::span<const std::string> record);
    // Inserts the record at `index` (0..rows); the status text stays.
    void insertRow(ViewKind kind, std::size_t index, std::span<const std::string> record);
    // Removes `count` rows from `first` at once.
    void removeRows(ViewKind kind, std::size_t first, std::size_t count);
    // Fills `record` from row `row`, each field cut to 511 characters.
    void readRow(ViewKind kind, std::size_t row, std::span<std::string> record) const;
    // Sets every cell of row `row` from `record`; counters and status stay.
    void writeRow(ViewKind kind, std::size_t row, std::span<const std::string> record);
    // Sets one cell of row `row`; counters and status stay.
    void writeCell(ViewKind kind, std::size_t row, std::size_t column, std::string_view text);
    // A cell's text cut to 511 characters.
    std::string_view cell(ViewKind kind, std::size_t row, std::size_t column) const;

    // The selection operations act on the shown table (CurrentView).
    // The index of the first selected row, if any.
    std::optional<std::size_t> firstSelectedRow() const;
    bool hasSelection() const;
    void deleteSelectedRow();
    void clearSelection();

    // Empties a table; its row counter becomes 0.
    void clearTable(ViewKind kind);

    // rowCounter: the number of rows of a table.
    int rowCounter(ViewKind kind) const { return static_cast<int>(tables_[kind]->rowCount()); }

    // " %d tétel" of the table that received the latest appended row; empty
    // before the first append. Deleting and emptying leave it as it was.
    std::string statusText() const;
    // Counts the status text's changes, so a view can tell when to redraw.
    unsigned long statusSerial() const { return statusSerial_; }
    // Counts the changes of the rows (appends, writes, deletes, emptying).
    unsigned long long changeCount() const { return changes_; }
    std::size_t totalRows() const;

    // An undo or a redo changed `kind`'s rows: the status text shows that
    // table's row count.
    void changedByUndo(ViewKind kind);
    // Each listener is told of every change of the rows (an undo's too),
    // before and after it, in the order they were added.
    void addListener(TableChangeListener* listener) { listeners_.push_back(listener); }

    ViewKind CurrentView = ViewRegister;
    // The tables changed since the last successful report or replacing load.
    bool ReportPending = false;

private:
    void changing(const TableChange& change);
    void changed(const TableChange& change);

    std::array<TableWidget*, kViewKindCount> tables_;
    std::vector<TableChangeListener*> listeners_;
    long long lastAppendCount_ = -1;
    unsigned long statusSerial_ = 0;
    unsigned long long changes_ = 0;
};

}  // namespace kovirant
