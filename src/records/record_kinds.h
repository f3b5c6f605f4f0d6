// The three record kinds, their columns and field positions.
#pragma once

#include <algorithm>
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

// How the report holds a column's cell.
enum class CellForm : unsigned char {
    Attribute,        // an attribute of its element
    AttributeIfWhole, // an attribute only at the cell's whole length (the tables kept for recovery: when not empty)
    Element,          // an element of its own, also when empty
    ElementIfGiven,   // an element only when not empty
};

// The most characters of a cell the report holds (the tables kept for
// recovery hold every cell whole); the lengths are the editors' rules.
enum class CellLength : unsigned char { Any, CompanyNumber, TaxBaseNumber, AccountNumber, Date, PostalCode, AddressPart };

// A column's cell in the report. A row is its kind's element with the row's
// attributes, then its cells in `order`; a cell with a `group` stands in
// that element inside the row's, the group's attributes on its start tag.
struct ReportCell {
    std::string_view name;        // its element or attribute (Windows-1250)
    int order = 0;                // its place among the row's cells in the report
    std::string_view group = {};  // the element it stands in inside the row's (empty: the row's own)
    CellForm form = CellForm::Element;
    CellLength length = CellLength::Any;
    bool word = false;  // an element of one word (no blanks): read back up to its first blank
};

struct Column {
    std::string_view header;  // header text (Windows-1250)
    int width;                // pixels
    ColumnRole role = ColumnRole::Other;
    ReportCell report = {};   // where the report holds it
    // A company number or a date is written in its stored form (10 digits,
    // YYYY-MM-DD): the editor's message for a filled one that is not, and
    // where the check judges it among the row's others (the editor's order).
    std::string_view storedFault = {};
    int storedRank = 0;
};

// The elements around a kind's rows in the report.
struct ReportRows {
    std::string_view section;       // the kind's part of the report
    std::string_view inner = {};    // the element inside it that holds the rows (empty: none)
    std::string_view row;           // each row's element
    // A row without its whole company number is a faulty row the report
    // stops at (the tables kept for recovery write it).
    bool needsWholeCompany = false;
    // The reload appends a row only with a company number (unless asked for
    // every record).
    bool reloadNeedsCompany = false;
    // The reload knows the rows' part by the start of its name alone (as it
    // always has: "<Törzsadatok" and "</Törzsadatok" with anything after).
    bool reloadByNameStart = false;
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

// The widest kind's column count: every buffer of a row's cells holds this many.
inline constexpr std::size_t kMostColumns =
    std::max({std::size_t{RegisterCol::count}, std::size_t{InstitutionCol::count}, std::size_t{AccountChangeCol::count}});

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
inline std::string_view elementOf(ViewKind kind, std::size_t column) { return columnsOf(kind)[column].report.name; }
// The kinds in the report's order, and the elements around each kind's rows.
inline constexpr ViewKind kReportOrder[kViewKindCount] = {ViewInstitution, ViewRegister, ViewAccountChange};
const ReportRows& reportRowsOf(ViewKind kind);

// Register and institution rows show the program icon in column 0.
inline bool showsIcon(ViewKind kind) { return kind != ViewAccountChange; }
// The table's name as the "Nézet" menu gives it.
std::string_view tableName(ViewKind kind);
// Its name in a list of rows of every table ("Cégjegyzék", ...).
std::string_view shortTableName(ViewKind kind);

// Only the register table lets one row at a time be selected.
inline bool singleSelection(ViewKind kind) { return kind == ViewRegister; }

}  // namespace kovirant
