#include "records/record_tables.h"

#include <cstdio>

#include "records/table_changes.h"
#include "records/undo_history.h"
#include "text/format.h"

namespace kovirant {

RecordTables::RecordTables(TableWidget& registerTable, TableWidget& institutionTable,
                           TableWidget& accountChangeTable)
    : tables_{&registerTable, &institutionTable, &accountChangeTable} {}

void RecordTables::appendRow(ViewKind kind, std::span<const std::string> record) {
    TableWidget& t = *tables_[kind];
    t.insertRow(t.rowCount(), record);
    if (recording()) history_->appended(kind, t.rowCount() - 1);
    if (listener_) listener_->rowsInserted(kind, t, t.rowCount() - 1, 1);
    lastAppendCount_ = static_cast<long long>(t.rowCount());
    ++statusSerial_;
    ++changes_;
}

void RecordTables::readRow(ViewKind kind, std::size_t row, std::span<std::string> record) const {
    tables_[kind]->readCells(row, record);
    for (std::string& field : record)
        if (field.size() > kFieldMax) field.resize(kFieldMax);
}

void RecordTables::writeRow(ViewKind kind, std::size_t row, std::span<const std::string> record) {
    if (listener_) listener_->changing();
    if (recording()) history_->writingRow(kind, row, packedRow(kind, row));
    tables_[kind]->setRow(row, record);
    if (listener_) listener_->rowWritten(kind, *tables_[kind], row);
    ++changes_;
}

void RecordTables::writeCell(ViewKind kind, std::size_t row, std::size_t column, std::string_view text) {
    if (listener_) listener_->changing();
    if (recording()) history_->writingCell(kind, row, column, tables_[kind]->cell(row, column));
    tables_[kind]->setCell(row, column, cut(text, kFieldMax));
    if (listener_) listener_->cellWritten(kind, *tables_[kind], row, column);
    ++changes_;
}

std::string_view RecordTables::cell(ViewKind kind, std::size_t row, std::size_t column) const {
    return cut(tables_[kind]->cell(row, column), kFieldMax);
}

std::optional<std::size_t> RecordTables::firstSelectedRow() const { return tables_[CurrentView]->firstSelected(); }

bool RecordTables::hasSelection() const { return firstSelectedRow().has_value(); }

void RecordTables::deleteSelectedRow() {
    if (const auto index = firstSelectedRow()) {
        if (listener_) listener_->changing();
        if (recording()) history_->erasing(CurrentView, *index, packedRow(CurrentView, *index));
        tables_[CurrentView]->deleteRow(*index);
        if (listener_) listener_->rowsRemoved(CurrentView, *index, 1);
        ++changes_;
    }
}

void RecordTables::clearSelection() { tables_[CurrentView]->clearAllStates(); }

void RecordTables::clearTable(ViewKind kind) {
    const std::size_t rows = tables_[kind]->rowCount();
    if (listener_) listener_->changing();
    if (recording() && rows > 0) {
        std::string packed;
        for (std::size_t r = 0; r < rows; ++r) packed += packedRow(kind, r);
        history_->clearing(kind, std::move(packed), rows);
    }
    tables_[kind]->deleteAll();
    if (listener_) listener_->tableCleared(kind);
    ++changes_;
}

bool RecordTables::recording() const { return history_ != nullptr && history_->recording(); }

std::string RecordTables::packedRow(ViewKind kind, std::size_t row) const {
    std::array<std::string_view, InstitutionCol::count> cells{};
    const std::span<std::string_view> used(cells.data(), columnCount(kind));
    tables_[kind]->cellViews(row, used);
    std::string packed;
    UndoHistory::packRow(packed, used);
    return packed;
}

void RecordTables::changedByUndo(ViewKind kind) {
    lastAppendCount_ = static_cast<long long>(tables_[kind]->rowCount());
    ++statusSerial_;
    ++changes_;
}

std::size_t RecordTables::totalRows() const {
    return tables_[ViewRegister]->rowCount() + tables_[ViewInstitution]->rowCount() +
           tables_[ViewAccountChange]->rowCount();
}

std::string RecordTables::statusText() const {
    if (lastAppendCount_ < 0) return {};
    char buf[40];
    std::snprintf(buf, sizeof buf, " %lld tétel", lastAppendCount_);
    return buf;
}

}  // namespace kovirant
