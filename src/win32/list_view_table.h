// A record table on screen: a virtual (owner-data) list view that shows the
// rows of the table's store and keeps their marks. It hears of every change
// of the rows: an append or a rewrite only marks the view stale, so a
// million of them cost one update.
#pragma once

#include "records/memory_table.h"
#include "records/table_changes.h"
#include "records/table_view.h"
#include "text/format.h"
#include "win32/win32.h"

namespace kovirant::win32 {

class ListViewTable : public TableView {
public:
    ListViewTable(ViewKind kind, const MemoryTable& store) : store_(store), showsIcon_(showsIcon(kind)) {}

    void attach(HWND listView) { hwnd_ = listView; }
    HWND hwnd() const { return hwnd_; }

    RowState state(std::size_t row) const override;
    void setState(std::size_t row, RowState state) override;
    std::optional<std::size_t> firstSelected() const override;
    std::optional<std::size_t> focused() const override;
    void clearAllStates() override;
    void rowsChanging(const TableChange& change) override;
    void rowsChanged(const TableChange& change) override;

    // Tells the list view how many rows there are and redraws rewritten rows.
    void sync();
    // LVN_GETDISPINFOW: the text (and icon) of one cell.
    void onGetDispInfo(NMLVDISPINFOW& info) const;
    // LVN_ODFINDITEMW: the row that type-ahead moves to, or -1 for none.
    LRESULT onFindItem(const NMLVFINDITEMW& find) const;

private:
    const MemoryTable& store_;
    bool showsIcon_;
    HWND hwnd_ = nullptr;
    std::size_t shown_ = 0;  // rows the list view knows of
    bool rewritten_ = false;  // rows changed since the view was last drawn
};

}  // namespace kovirant::win32
