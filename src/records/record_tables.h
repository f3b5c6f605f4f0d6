// The three record tables, the row operations over them, the row-count
// status text, and the flags kept beside them.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <memory>

#include "records/memory_table.h"
#include "records/record_kinds.h"
#include "records/table_view.h"

namespace kovirant {

class TableChangeListener;
struct TableChange;

class RecordTables {
public:
    // Three empty tables of their own.
    RecordTables();
    // The tables over stores held elsewhere (rows read from a file into them).
    RecordTables(MemoryTable& registerTable, MemoryTable& institutionTable, MemoryTable& accountChangeTable);
    RecordTables(const RecordTables&) = delete;
    RecordTables& operator=(const RecordTables&) = delete;

    // A table's rows, to read; they change only through the operations below.
    const MemoryTable& table(ViewKind kind) const { return *tables_[kind]; }
    // The marks of a table's rows: its view's when one shows it, else the store's.
    TableView& marks(ViewKind kind) { return *views_[kind]; }
    const TableView& marks(ViewKind kind) const { return *views_[kind]; }
    // The view that shows a table from now on (nullptr: none); it hears of
    // every change of the table's rows before the listeners do.
    void attachView(ViewKind kind, TableView* view);

    // Adds the record as the last row of its table and makes the status text
    // show that table's new row count.
    void appendRow(ViewKind kind, std::span<const std::string> record);
    // Room for `more` rows after the table's last without growing its row
    // list; changes nothing.
    void reserveRows(ViewKind kind, std::size_t more) { tables_[kind]->reserveRows(tables_[kind]->rowCount() + more); }
    // Inserts the record at `index` (0..rows); the status text stays.
    void insertRow(ViewKind kind, std::size_t index, std::span<const std::string> record);
    // Removes `count` rows from `first` at once.
    void removeRows(ViewKind kind, std::size_t first, std::size_t count);
    // Fills `record` from row `row`, each field cut to 511 characters.
    void readRow(ViewKind kind, std::size_t row, std::span<std::string> record) const;
    // The same cut fields as views, valid until the table next changes.
    void readViews(ViewKind kind, std::size_t row, std::span<std::string_view> fields) const;
    // Sets every cell of row `row` from `record`; counters and status stay.
    void writeRow(ViewKind kind, std::size_t row, std::span<const std::string> record);
    void writeRow(ViewKind kind, std::size_t row, std::span<const std::string_view> record);
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
    template <class Cell>
    void replaceRow(ViewKind kind, std::size_t row, std::span<const Cell> record);

    // A table no screen shows keeps its marks in its store.
    struct StoreMarks : TableView {
        MemoryTable* store = nullptr;
        RowState state(std::size_t row) const override { return store->state(row); }
        void setState(std::size_t row, RowState s) override { store->setState(row, s); }
        std::optional<std::size_t> firstSelected() const override { return store->firstSelected(); }
        std::optional<std::size_t> focused() const override { return store->focused(); }
        void clearAllStates() override { store->clearAllStates(); }
    };

    PerKind<std::unique_ptr<MemoryTable>> owned_;
    PerKind<MemoryTable*> tables_{};
    PerKind<StoreMarks> storeMarks_;
    PerKind<TableView*> views_{};
    std::vector<TableChangeListener*> listeners_;
    long long lastAppendCount_ = -1;
    unsigned long statusSerial_ = 0;
    unsigned long long changes_ = 0;
};

}  // namespace kovirant
