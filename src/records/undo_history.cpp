#include "records/undo_history.h"

#include <algorithm>
#include <cstring>

#include "records/record_tables.h"
#include "records/table_changes.h"
#include "records/memory_table.h"
#include "util/os_file.h"

namespace kovirant {
namespace {

// Steps kept at the most, however small.
constexpr std::size_t kMaxSteps = 1000;
// Rows an undo or a redo selects one by one; past it, the first of them.
constexpr std::size_t kMaxSelected = 10000;

// Rows are kept as the table stores them: each cell ended by a NUL byte
// (a cell holds none).
std::vector<std::string> unpackRow(std::string_view& packed, std::size_t cells) {
    std::vector<std::string> row(cells);
    for (std::string& c : row) {
        const std::size_t end = std::min(packed.find('\0'), packed.size());
        c.assign(packed.substr(0, end));
        packed.remove_prefix(std::min(end + 1, packed.size()));
    }
    return row;
}

// Rows from..from+rows-1 of a table, packed, in memory of their exact size
// (a growing copy of a million rows would hold it twice for a moment).
std::string packedRows(const MemoryTable& t, std::size_t from, std::size_t rows) {
    std::size_t size = 0;
    for (std::size_t r = from; r < from + rows; ++r) size += t.rowBytesSize(r);
    std::string packed;
    reserveLarge(packed, size);
    for (std::size_t r = from; r < from + rows; ++r) t.appendRowBytes(r, packed);
    return packed;
}

}  // namespace

void UndoHistory::begin(std::string_view label) { open_ = Step{std::string(label), {}, 0}; }

void UndoHistory::end() {
    if (!open_) return;
    Step step = std::move(*open_);
    open_.reset();
    if (step.edits.empty()) return;
    for (const Step& s : undone_) bytes_ -= s.bytes;
    undone_.clear();
    if (step.bytes > byteLimit_) {  // too large to keep: nothing before it can be taken back either
        done_.clear();
        bytes_ = 0;
        return;
    }
    bytes_ += step.bytes;
    done_.push_back(std::move(step));
    trim();
}

void UndoHistory::trim() {
    while (!done_.empty() && (bytes_ > byteLimit_ || done_.size() > kMaxSteps)) {
        bytes_ -= done_.front().bytes;
        done_.pop_front();
    }
}

void UndoHistory::record(Edit e) {
    open_->bytes += e.size();
    open_->edits.push_back(std::move(e));
}

void UndoHistory::changing(const TableChange& c, const MemoryTable& table) {
    if (!open_) return;
    const auto row = static_cast<std::uint32_t>(c.row);
    switch (c.type) {
        case TableChange::Type::Insert: return;  // kept once it is done
        case TableChange::Type::Remove:
            record({Type::Erase, c.kind, row, static_cast<std::uint32_t>(c.count), packedRows(table, c.row, c.count)});
            return;
        case TableChange::Type::Clear:
            if (c.count > 0)
                record({Type::Clear, c.kind, 0, static_cast<std::uint32_t>(c.count), packedRows(table, 0, c.count)});
            return;
        case TableChange::Type::SetRow:
            record({Type::SetRow, c.kind, row, 0, packedRows(table, c.row, 1)});
            return;
        case TableChange::Type::SetCell:
            record({Type::SetCell, c.kind, row, static_cast<std::uint32_t>(c.column),
                    std::string(table.cell(c.row, c.column))});
            return;
    }
}

void UndoHistory::changed(const TableChange& c, const MemoryTable&) {
    if (!open_ || c.type != TableChange::Type::Insert) return;
    if (!open_->edits.empty()) {
        Edit& last = open_->edits.back();
        if (last.type == Type::Append && last.kind == c.kind && last.row + last.count == c.row) {
            last.count += static_cast<std::uint32_t>(c.count);
            return;
        }
    }
    record({Type::Append, c.kind, static_cast<std::uint32_t>(c.row), static_cast<std::uint32_t>(c.count), {}});
}

std::optional<std::string_view> UndoHistory::undoLabel() const {
    if (done_.empty()) return std::nullopt;
    return done_.back().label;
}

std::optional<std::string_view> UndoHistory::redoLabel() const {
    if (undone_.empty()) return std::nullopt;
    return undone_.back().label;
}

void UndoHistory::toggle(Edit& e, RecordTables& tables, bool undoing, Touched& touched) {
    const MemoryTable& t = tables.table(e.kind);
    const std::size_t columns = columnCount(e.kind);
    auto restore = [&](std::size_t at, std::size_t rows) {
        std::string_view packed = e.payload;
        for (std::size_t r = 0; r < rows; ++r) {
            tables.insertRow(e.kind, at + r, unpackRow(packed, columns));
            if (touched.rows.size() < kMaxSelected + 1) touched.rows.push_back(at + r);
        }
        e.payload = std::string();
    };
    touched.kind = e.kind;
    // Appending and erasing are each other's inverse; so are clearing and
    // filling a table. Writing swaps the kept value with the table's. Every
    // change goes through the tables, so the journal hears of it as of any.
    const bool removes = (e.type == Type::Append) == undoing;
    switch (e.type) {
        case Type::Append:
        case Type::Erase:
        case Type::Clear: {
            if (removes) {
                e.payload = packedRows(t, e.row, e.count);
                if (e.type == Type::Clear) tables.clearTable(e.kind);
                else tables.removeRows(e.kind, e.row, e.count);
            } else {
                restore(e.row, e.count);
            }
            break;
        }
        case Type::SetRow: {
            std::string current = packedRows(t, e.row, 1);
            std::string_view packed = e.payload;
            tables.writeRow(e.kind, e.row, unpackRow(packed, columns));
            e.payload = std::move(current);
            touched.rows.push_back(e.row);
            break;
        }
        case Type::SetCell: {
            std::string current(t.cell(e.row, e.count));
            tables.writeCell(e.kind, e.row, e.count, e.payload);
            e.payload = std::move(current);
            if (touched.rows.size() < kMaxSelected + 1) touched.rows.push_back(e.row);
            break;
        }
    }
    tables.changedByUndo(e.kind);
}

std::optional<UndoHistory::Touched> UndoHistory::move(std::deque<Step>& from, std::deque<Step>& to,
                                                      RecordTables& tables, bool undoing, ViewKind shown) {
    if (from.empty() || open_) return std::nullopt;
    Step step = std::move(from.back());
    from.pop_back();
    bytes_ -= step.bytes;
    Touched all[kViewKindCount];
    auto apply = [&](Edit& e) {
        Touched& t = all[e.kind];
        toggle(e, tables, undoing, t);
    };
    if (undoing) std::for_each(step.edits.rbegin(), step.edits.rend(), apply);
    else std::for_each(step.edits.begin(), step.edits.end(), apply);
    step.bytes = 0;
    for (const Edit& e : step.edits) step.bytes += e.size();
    bytes_ += step.bytes;
    to.push_back(std::move(step));
    // The officer stays on the table looked at when the step changed it (a
    // load's undo on the register rows must not show an emptied other
    // table), else sees the register table, else the step's own.
    bool changed[kViewKindCount] = {};
    for (const Edit& e : to.back().edits) changed[e.kind] = true;
    ViewKind kind = to.back().edits.front().kind;
    if (changed[shown]) kind = shown;
    else if (changed[ViewRegister]) kind = ViewRegister;
    Touched result = std::move(all[kind]);
    result.kind = kind;
    std::sort(result.rows.begin(), result.rows.end());
    result.rows.erase(std::unique(result.rows.begin(), result.rows.end()), result.rows.end());
    if (result.rows.size() > kMaxSelected) result.rows.erase(result.rows.begin() + 1, result.rows.end());
    return result;
}

std::optional<UndoHistory::Touched> UndoHistory::undo(RecordTables& tables, ViewKind shown) {
    return move(done_, undone_, tables, true, shown);
}

std::optional<UndoHistory::Touched> UndoHistory::redo(RecordTables& tables, ViewKind shown) {
    return move(undone_, done_, tables, false, shown);
}

}  // namespace kovirant
