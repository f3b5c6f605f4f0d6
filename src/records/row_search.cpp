#include "records/row_search.h"

#include <string>

#include "text/cp1250.h"

namespace kovirant {

namespace {

bool startsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerCp1250(static_cast<unsigned char>(text[i])) != lowerCp1250(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// `text` in lower case into `out`, without the separators '-' and blank when
// `dropSeparators`.
void fold(std::string_view text, bool dropSeparators, std::string& out) {
    out.clear();
    for (char c : text) {
        if (dropSeparators && (c == '-' || c == ' ')) continue;
        out.push_back(static_cast<char>(lowerCp1250(static_cast<unsigned char>(c))));
    }
}

// The columns holding account and company numbers.
bool isNumberColumn(ViewKind kind, std::size_t column) {
    return hasRole(kind, column, ColumnRole::CompanyNumber) || hasRole(kind, column, ColumnRole::AccountNumber);
}

}  // namespace

std::optional<std::size_t> findRowContaining(const MemoryTable& table, ViewKind kind, std::string_view text,
                                             std::size_t start) {
    const std::size_t columns = columnCount(kind);
    const std::size_t rows = table.rowCount();
    std::string plain, digits, scratch;
    fold(text, false, plain);
    fold(text, true, digits);
    if (plain.empty() || rows == 0) return std::nullopt;
    for (std::size_t n = 0; n < rows; ++n) {
        const std::size_t row = (start + n) % rows;
        for (std::size_t c = 0; c < columns; ++c) {
            const bool number = isNumberColumn(kind, c);
            if (number && digits.empty()) continue;
            fold(table.cell(row, c), number, scratch);
            if (scratch.find(number ? digits : plain) != std::string::npos) return row;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> findRowWithPrefix(const MemoryTable& table, std::string_view prefix, std::size_t start,
                                             bool wrap) {
    const std::size_t rows = table.rowCount();
    if (prefix.empty() || rows == 0) return std::nullopt;
    if (start >= rows) {
        if (!wrap) return std::nullopt;
        start = 0;
    }
    const std::size_t span = wrap ? rows : rows - start;
    for (std::size_t n = 0; n < span; ++n) {
        const std::size_t row = (start + n) % rows;
        if (startsWithFolded(table.cell(row, 0), prefix)) return row;
    }
    return std::nullopt;
}

}  // namespace kovirant
