// Checking every row of the three tables at once, with the rules each
// table's editor applies on save (the row's Modify-mode form through the
// editor's own validation) and, for register rows, the report writer's
// faulty-row rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/record_tables.h"

namespace kovirant {

struct RowFault {
    ViewKind kind;
    std::uint32_t row;      // index in its table
    std::uint32_t message;  // into RowCheck::messages
};

struct RowCheck {
    std::vector<RowFault> faults;       // in table order, then row order
    std::vector<std::string> messages;  // each distinct first failing message once
};

RowCheck checkAllRows(const RecordTables& tables, int maxtk, int maxcf);

}  // namespace kovirant
