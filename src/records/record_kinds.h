// The three record kinds, their columns and field positions.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace kovirant {

enum ViewKind : int { ViewRegister = 0, ViewInstitution = 1, ViewAccountChange = 2 };
inline constexpr int kViewKindCount = 3;
// Every kind, in the tables' order: `for (ViewKind k : kAllKinds)`.
inline constexpr ViewKind kAllKinds[kViewKindCount] = {ViewRegister, ViewInstitution, ViewAccountChange};
// One of something per kind, indexed by the kind.
template <class T>
using PerKind = std::array<T, kViewKindCount>;

// What a column holds, for the code that reads columns by meaning (the
// directory, the search, the check) rather than by position.
enum class ColumnRole {
    Other,
    CompanyNumber,  // 10 digits
    TaxBaseNumber,  // 8 digits
    AccountNumber,  // 24 digits
    Date,           // YYYY-MM-DD
    BankCode,       // an institution's 8-digit "Számjel"
    Name,           // a company's name
};

struct Column {
    std::string_view header;  // header text (Windows-1250)
    int width;                // pixels
    ColumnRole role = ColumnRole::Other;
    std::string_view element = {};  // its element or attribute in the report (Windows-1250)
    // A company number or a date is written in its stored form (10 digits,
    // YYYY-MM-DD): the editor's message for a filled one that is not, and
    // where the check judges it among the row's others (the editor's order).
    std::string_view storedFault = {};
    int storedRank = 0;
};

// Field positions: field i of a record is the text of column i.
namespace RegisterCol {
enum : std::size_t { companyNumber, taxBaseNumber, accountNumber, openingDate, closingDate, accountCode, count };
}
namespace InstitutionCol {
enum : std::size_t {
    name, companyNumber, taxBaseNumber, postalCode, place, area, areaType,
    houseNumber, codeNumber, building, door, operationCode, count
};
}
namespace AccountChangeCol {
enum : std::size_t {
    taxBaseNumber, companyNumber, originalAccountNumber, originalOpeningDate,
    originalClosingDate, newAccountNumber, newOpeningDate, newClosingDate, count
};
}

using RegisterEntry = std::array<std::string, RegisterCol::count>;
using InstitutionEntry = std::array<std::string, InstitutionCol::count>;
using AccountChangeEntry = std::array<std::string, AccountChangeCol::count>;

// The columns of a kind, in order.
std::span<const Column> columnsOf(ViewKind kind);
inline std::size_t columnCount(ViewKind kind) { return columnsOf(kind).size(); }

// The first column of a kind with `role` (every kind has one company number
// and one tax base number column).
std::size_t columnOf(ViewKind kind, ColumnRole role);
inline bool hasRole(ViewKind kind, std::size_t column, ColumnRole role) {
    return column < columnCount(kind) && columnsOf(kind)[column].role == role;
}
// The report's element or attribute name of a column.
inline std::string_view elementOf(ViewKind kind, std::size_t column) { return columnsOf(kind)[column].element; }

// Register and institution rows show the program icon in column 0.
inline bool showsIcon(ViewKind kind) { return kind != ViewAccountChange; }
// The table's name as the "Nézet" menu gives it.
std::string_view tableName(ViewKind kind);
// Its name in a list of rows of every table ("Cégjegyzék", ...).
std::string_view shortTableName(ViewKind kind);

// Only the register table lets one row at a time be selected.
inline bool singleSelection(ViewKind kind) { return kind == ViewRegister; }

}  // namespace kovirant
