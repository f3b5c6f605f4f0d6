// Finding rows by their text, as a list view's type-ahead does.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "records/record_kinds.h"
#include "records/memory_table.h"

namespace kovirant {

// The first row, from `start` on (wrapping past the last row to row 0 when
// `wrap`), whose first-column text starts with `prefix` without regard to
// case. An empty prefix or a table without such a row gives nothing.
std::optional<std::size_t> findRowWithPrefix(const MemoryTable& table, std::string_view prefix, std::size_t start,
                                             bool wrap);

// The first row of a table of `kind`, from `start` on and wrapping around,
// one of whose cells contains `text` without regard to case; in account and
// company numbers the '-' and blanks a person may type are ignored on both
// sides.
std::optional<std::size_t> findRowContaining(const MemoryTable& table, ViewKind kind, std::string_view text,
                                             std::size_t start);

}  // namespace kovirant
