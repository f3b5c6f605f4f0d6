// The three record kinds, their columns and field positions.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace kovirant {

enum ViewKind : int { ViewRegister = 0, ViewInstitution = 1, ViewAccountChange = 2 };
inline constexpr int kViewKindCount = 3;

struct Column {
    std::string_view field;   // field name of the record
    std::string_view header;  // header text (Windows-1250)
    int width;                // pixels
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

// Register and institution rows show the program icon in column 0.
inline bool showsIcon(ViewKind kind) { return kind != ViewAccountChange; }

}  // namespace kovirant
