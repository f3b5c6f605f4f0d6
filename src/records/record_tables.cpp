#include "records/record_tables.h"

#include <cstdio>

#include "records/table_changes.h"
#include "text/format.h"

namespace kovirant {

RecordTables::RecordTables()
    : owned_{std::make_unique<MemoryTable>(ViewRegister), std::make_unique<MemoryTable>(ViewInstitution),
             std::make_unique<MemoryTable>(ViewAccountChange)} {
    for (ViewKind k : kAllKinds) {
        tables_[k] = owned_[k].get();
        attachView(k, nullptr);
    }
}

RecordTables::RecordTables(MemoryTable& registerTable, MemoryTable& institutionTable, MemoryTable& accountChangeTable)
    : tables_{&registerTable, &institutionTable, &accountChangeTable} {
    for (ViewKind k : kAllKinds) attachView(k, nullptr);
}

void RecordTables::attachView(ViewKind kind, TableView* view) {
    storeMarks_[kind].store = tables_[kind];
    views_[kind] = view != nullptr ? view : &storeMarks_[kind];
}

void RecordTables::changing(const TableChange& change) {
    views_[change.kind]->rowsChanging(change);
    for (TableChangeListener* l : listeners_) l->changing(change, *tables_[change.kind]);
}

void RecordTables::changed(const TableChange& change) {
    views_[change.kind]->rowsChanged(change);
    for (TableChangeListener* l : listeners_) l->changed(change, *tables_[change.kind]);
    ++changes_;
}

void RecordTables::appendRow(ViewKind kind, std::span<const std::string> record) {
    insertRow(kind, tables_[kind]->rowCount(), record);
    lastAppendCount_ = static_cast<long long>(tables_[kind]->rowCount());
    ++statusSerial_;
}

void RecordTables::insertRow(ViewKind kind, std::size_t index, std::span<const std::string> record) {
    const TableChange c{TableChange::Type::Insert, kind, index, 1};
    changing(c);
    tables_[kind]->insertRow(index, record);
    changed(c);
}

void RecordTables::removeRows(ViewKind kind, std::size_t first, std::size_t count) {
    if (count == 0) return;
    const TableChange c{TableChange::Type::Remove, kind, first, count};
    changing(c);
    if (count == 1) tables_[kind]->deleteRow(first);
    else tables_[kind]->deleteRows(first, count);
    changed(c);
}

void RecordTables::readRow(ViewKind kind, std::size_t row, std::span<std::string> record) const {
    tables_[kind]->readCells(row, record);
    for (std::string& field : record)
        if (field.size() > kFieldMax) field.resize(kFieldMax);
}

template <class Cell>
void RecordTables::replaceRow(ViewKind kind, std::size_t row, std::span<const Cell> record) {
    const TableChange c{TableChange::Type::SetRow, kind, row, 1};
    changing(c);
    tables_[kind]->setRow(row, record);
    changed(c);
}

void RecordTables::writeRow(ViewKind kind, std::size_t row, std::span<const std::string> record) {
    replaceRow(kind, row, record);
}

void RecordTables::writeRow(ViewKind kind, std::size_t row, std::span<const std::string_view> record) {
    replaceRow(kind, row, record);
}

void RecordTables::writeCell(ViewKind kind, std::size_t row, std::size_t column, std::string_view text) {
    const TableChange c{TableChange::Type::SetCell, kind, row, 1, column};
    changing(c);
    tables_[kind]->setCell(row, column, cut(text, kFieldMax));
    changed(c);
}

void RecordTables::readViews(ViewKind kind, std::size_t row, std::span<std::string_view> fields) const {
    tables_[kind]->cellViews(row, fields);
    for (std::string_view& field : fields) field = cut(field, kFieldMax);
}

std::string_view RecordTables::cell(ViewKind kind, std::size_t row, std::size_t column) const {
    return cut(tables_[kind]->cell(row, column), kFieldMax);
}

std::optional<std::size_t> RecordTables::firstSelectedRow() const { return views_[CurrentView]->firstSelected(); }

bool RecordTables::hasSelection() const { return firstSelectedRow().has_value(); }

void RecordTables::deleteSelectedRow() {
    if (const auto index = firstSelectedRow()) removeRows(CurrentView, *index, 1);
}

void RecordTables::clearSelection() { views_[CurrentView]->clearAllStates(); }

void RecordTables::clearTable(ViewKind kind) {
    const TableChange c{TableChange::Type::Clear, kind, 0, tables_[kind]->rowCount()};
    changing(c);
    tables_[kind]->deleteAll();
    changed(c);
}

void RecordTables::changedByUndo(ViewKind kind) {
    lastAppendCount_ = static_cast<long long>(tables_[kind]->rowCount());
    ++statusSerial_;
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
