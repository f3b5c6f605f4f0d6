// Undo and redo of the commands that change the tables. While a step is open
// the tables report every change to it; a step keeps only what it needs to
// take the change back: the rows it removed or replaced and the old values of
// what it changed, with their positions. Appended rows are kept only once
// they are taken back, for a redo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_kinds.h"
#include "records/table_changes.h"

namespace kovirant {

class RecordTables;

class UndoHistory : public TableChangeListener {
public:
    // The steps' rows are kept under this many bytes: past it the oldest
    // go first, and a step larger than the limit empties the history.
    static constexpr std::size_t kByteLimit = std::size_t{256} << 20;

    explicit UndoHistory(std::size_t byteLimit = kByteLimit) : byteLimit_(byteLimit) {}

    // A command's step: what the tables report between begin and end is one
    // step named `label`; a step that changed nothing is not kept. A new step
    // drops the steps that could have been redone.
    void begin(std::string_view label);
    void end();
    bool recording() const { return open_.has_value(); }

    // The tables' stream, kept while a step is open: before a change what
    // it takes away, after an insert where the rows went.
    void changing(const TableChange& change, const MemoryTable& table) override;
    void changed(const TableChange& change, const MemoryTable& table) override;

    // The name of the step Undo (Redo) would take back (do again).
    std::optional<std::string_view> undoLabel() const;
    std::optional<std::string_view> redoLabel() const;

    // What an undo or a redo leaves in view: the table `shown` when the step
    // changed it, else the register table when it did, else the step's own;
    // and the rows of that table it brought back or changed (none for rows
    // it removed).
    struct Touched {
        ViewKind kind = ViewRegister;
        std::vector<std::size_t> rows;
    };
    std::optional<Touched> undo(RecordTables& tables, ViewKind shown = ViewRegister);
    std::optional<Touched> redo(RecordTables& tables, ViewKind shown = ViewRegister);

    std::size_t bytes() const { return bytes_; }

private:
    enum class Type : std::uint8_t { Append, Erase, Clear, SetRow, SetCell };
    struct Edit {
        Type type;
        ViewKind kind;
        std::uint32_t row;     // first row
        std::uint32_t count;   // Append, Erase, Clear: rows; SetCell: the column
        std::string payload;   // the rows or value the tables do not hold now
        std::size_t size() const { return sizeof(Edit) + payload.capacity(); }
    };
    struct Step {
        std::string label;
        std::vector<Edit> edits;
        std::size_t bytes = 0;
    };

    // Takes an edit back (or does it again): swaps what the tables hold with
    // what the edit keeps. Returns the rows it brought back or changed.
    void toggle(Edit& e, RecordTables& tables, bool undoing, Touched& touched);
    std::optional<Touched> move(std::deque<Step>& from, std::deque<Step>& to, RecordTables& tables, bool undoing,
                                ViewKind shown);
    void record(Edit e);
    void trim();

    std::size_t byteLimit_;
    std::optional<Step> open_;
    std::deque<Step> done_;    // oldest first
    std::deque<Step> undone_;  // most recently undone last
    std::size_t bytes_ = 0;
};

}  // namespace kovirant
