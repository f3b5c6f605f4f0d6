// The record table on screen: a virtual (owner-data) list view that shows
// rows kept in memory. The list view keeps the selected and focused marks.
#pragma once

#include "records/memory_table.h"
#include "text/format.h"
#include "win32/win32.h"

namespace kovirant::win32 {

class ListViewTable : public TableWidget {
public:
    explicit ListViewTable(ViewKind kind) : store_(kind), showsIcon_(showsIcon(kind)) {}

    void attach(HWND listView) { hwnd_ = listView; }
    HWND hwnd() const { return hwnd_; }

    std::size_t rowCount() const override { return store_.rowCount(); }
    void insertRow(std::size_t index, std::span<const std::string> cells) override;
    void setRow(std::size_t index, std::span<const std::string> cells) override;
    void setCell(std::size_t row, std::size_t column, std::string_view text) override;
    std::string_view cell(std::size_t row, std::size_t column) const override { return store_.cell(row, column); }
    void readCells(std::size_t row, std::span<std::string> out) const override { store_.readCells(row, out); }
    void cellViews(std::size_t row, std::span<std::string_view> out) const override { store_.cellViews(row, out); }
    void appendRowBytes(std::size_t row, std::string& out) const override { store_.appendRowBytes(row, out); }
    std::size_t rowBytesSize(std::size_t row) const override { return store_.rowBytesSize(row); }
    std::unique_ptr<MemoryTable> frozenCopy() const override { return store_.frozenCopy(); }
    void deleteRow(std::size_t index) override;
    void deleteRows(std::size_t first, std::size_t count) override;
    void deleteAll() override;
    RowState state(std::size_t row) const override;
    void setState(std::size_t row, RowState state) override;
    std::optional<std::size_t> firstSelected() const override;
    std::optional<std::size_t> focused() const override;
    void clearAllStates() override;

    // Tells the list view how many rows there are and redraws rewritten rows;
    // appends and rewrites only mark the view stale, so a million of them
    // cost one update.
    void sync();
    // LVN_GETDISPINFOW: the text (and icon) of one cell.
    void onGetDispInfo(NMLVDISPINFOW& info) const;
    // LVN_ODFINDITEMW: the row that type-ahead moves to, or -1 for none.
    LRESULT onFindItem(const NMLVFINDITEMW& find) const;

private:
    MemoryTable store_;
    bool showsIcon_;
    HWND hwnd_ = nullptr;
    std::size_t shown_ = 0;  // rows the list view knows of
    bool rewritten_ = false;  // rows changed since the view was last drawn
};

}  // namespace kovirant::win32
