#include "records/undo_history.h"

#include <algorithm>
#include <cstring>

#include "records/record_tables.h"
#include "records/table_changes.h"

namespace kovirant {
namespace {

// Steps kept at the most, however small.
constexpr std::size_t kMaxSteps = 1000;
// Rows an undo or a redo selects one by one; past it, the first of them.
constexpr std::size_t kMaxSelected = 10000;


}  // namespace

void UndoHistory::packRow(std::string& out, std::span<const std::string_view> cells) {
    for (std::string_view c : cells) {
        const auto n = static_cast<std::uint32_t>(c.size());
        char length[4];
        std::memcpy(length, &n, sizeof length);
        out.append(length, sizeof length);
        out.append(c);
    }
}

std::vector<std::string> UndoHistory::unpackRow(std::string_view& packed, std::size_t cells) {
    std::vector<std::string> row(cells);
    for (std::string& c : row) {
        std::uint32_t n = 0;
        if (packed.size() < sizeof n) break;
        std::memcpy(&n, packed.data(), sizeof n);
        packed.remove_prefix(sizeof n);
        n = static_cast<std::uint32_t>(std::min<std::size_t>(n, packed.size()));
        c.assign(packed.substr(0, n));
        packed.remove_prefix(n);
    }
    return row;
}

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

void UndoHistory::appended(ViewKind kind, std::size_t row) {
    if (!open_) return;
    if (!open_->edits.empty()) {
        Edit& last = open_->edits.back();
        if (last.type == Type::Append && last.kind == kind && last.row + last.count == row) {
            ++last.count;
            return;
        }
    }
    record({Type::Append, kind, static_cast<std::uint32_t>(row), 1, {}});
}

void UndoHistory::erasing(ViewKind kind, std::size_t row, std::string packedRow) {
    if (open_) record({Type::Erase, kind, static_cast<std::uint32_t>(row), 1, std::move(packedRow)});
}

void UndoHistory::clearing(ViewKind kind, std::string packedRows, std::size_t rows) {
    if (open_) record({Type::Clear, kind, 0, static_cast<std::uint32_t>(rows), std::move(packedRows)});
}

void UndoHistory::writingRow(ViewKind kind, std::size_t row, std::string packedOldRow) {
    if (open_) record({Type::SetRow, kind, static_cast<std::uint32_t>(row), 0, std::move(packedOldRow)});
}

void UndoHistory::writingCell(ViewKind kind, std::size_t row, std::size_t column, std::string_view oldText) {
    if (open_) record({Type::SetCell, kind, static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column),
                       std::string(oldText)});
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
    TableWidget& t = tables.table(e.kind);
    TableChangeListener* listener = tables.changeListener();
    if (listener) listener->changing();
    const std::size_t columns = columnCount(e.kind);
    auto capture = [&](std::size_t from, std::size_t rows) {
        std::string packed;
        std::vector<std::string_view> cells(columns);
        for (std::size_t r = from; r < from + rows; ++r) {
            t.cellViews(r, cells);
            packRow(packed, cells);
        }
        return packed;
    };
    auto restore = [&](std::size_t at, std::size_t rows) {
        std::string_view packed = e.payload;
        for (std::size_t r = 0; r < rows; ++r) {
            t.insertRow(at + r, unpackRow(packed, columns));
            if (touched.rows.size() < kMaxSelected + 1) touched.rows.push_back(at + r);
        }
        if (listener && rows > 0) listener->rowsInserted(e.kind, t, at, rows);
        e.payload = std::string();
    };
    touched.kind = e.kind;
    // Appending and erasing are each other's inverse; so are clearing and
    // filling a table. Writing swaps the kept value with the table's.
    const bool removes = (e.type == Type::Append) == undoing;
    switch (e.type) {
        case Type::Append:
        case Type::Erase:
        case Type::Clear: {
            const std::size_t rows = e.type == Type::Erase ? 1 : e.count;
            if (removes) {
                e.payload = capture(e.row, rows);
                if (e.type == Type::Clear) t.deleteAll();
                else if (rows == 1) t.deleteRow(e.row);
                else t.deleteRows(e.row, rows);
                if (listener && e.type == Type::Clear) listener->tableCleared(e.kind);
                else if (listener) listener->rowsRemoved(e.kind, e.row, rows);
            } else {
                restore(e.row, rows);
            }
            break;
        }
        case Type::SetRow: {
            std::string current = capture(e.row, 1);
            std::string_view packed = e.payload;
            t.setRow(e.row, unpackRow(packed, columns));
            if (listener) listener->rowWritten(e.kind, t, e.row);
            e.payload = std::move(current);
            touched.rows.push_back(e.row);
            break;
        }
        case Type::SetCell: {
            std::string current(t.cell(e.row, e.count));
            t.setCell(e.row, e.count, e.payload);
            if (listener) listener->cellWritten(e.kind, t, e.row, e.count);
            e.payload = std::move(current);
            if (touched.rows.size() < kMaxSelected + 1) touched.rows.push_back(e.row);
            break;
        }
    }
    tables.changedByUndo(e.kind);
}

std::optional<UndoHistory::Touched> UndoHistory::move(std::deque<Step>& from, std::deque<Step>& to,
                                                      RecordTables& tables, bool undoing) {
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
    // The table shown afterwards: the register's when it got rows back, else
    // the first that did, else the step's own.
    Touched result;
    result.kind = to.back().edits.front().kind;
    for (ViewKind k : {ViewRegister, ViewInstitution, ViewAccountChange}) {
        if (all[k].rows.empty()) continue;
        result = std::move(all[k]);
        result.kind = k;
        break;
    }
    std::sort(result.rows.begin(), result.rows.end());
    result.rows.erase(std::unique(result.rows.begin(), result.rows.end()), result.rows.end());
    if (result.rows.size() > kMaxSelected) result.rows.erase(result.rows.begin() + 1, result.rows.end());
    return result;
}

std::optional<UndoHistory::Touched> UndoHistory::undo(RecordTables& tables) { return move(done_, undone_, tables, true); }

std::optional<UndoHistory::Touched> UndoHistory::redo(RecordTables& tables) {
    return move(undone_, done_, tables, false);
}

}  // namespace kovirant
