#include "records/record_kinds.h"

namespace kovirant {
namespace {

using R = ColumnRole;

// field, header, width, role, report element, stored-form fault and rank.
constexpr Column kRegister[] = {
    {"companyNumber", "Cégszám", 80, R::CompanyNumber, "Cégszám", "Hibás cégszám", 0},
    {"taxBaseNumber", "Törzsszám", 100, R::TaxBaseNumber, "Törzsszám"},
    {"accountNumber", "Jelzőszám", 100, R::AccountNumber, "Jelzőszám"},
    {"openingDate", "Nyitás", 100, R::Date, "Nyitás", "Hibás nyitás dátum", 1},
    {"closingDate", "Zárás", 100, R::Date, "Zárás", "Hibás zárás dátum!", 2},
    {"accountCode", "Kód", 100, R::Other, "kód"},
};

constexpr Column kInstitution[] = {
    {"name", "Név", 80, R::Name, "Név"},
    {"companyNumber", "Cégszám", 70, R::CompanyNumber, "Cégszám", "Hibás cégszám!", 0},
    {"taxBaseNumber", "Törzsszám", 70, R::TaxBaseNumber, "Törzsszám"},
    {"postalCode", "Irsz.", 20, R::Other, "Irsz"},
    {"place", "Hely", 80, R::Other, "Hely"},
    {"area", "Terület", 60, R::Other, "Terület"},
    {"areaType", "Jelleg", 50, R::Other, "Jelleg"},
    {"houseNumber", "Házszám", 30, R::Other, "Hsz"},
    {"codeNumber", "Számjel", 50, R::BankCode, "Számjel"},
    {"building", "Épület", 50, R::Other, "Épület"},
    {"door", "Ajtó", 40, R::Other, "Ajtó"},
    {"operationCode", "Kód", 50, R::Other, "kód"},
};

// The editor judges the openings before the closings.
constexpr Column kAccountChange[] = {
    {"taxBaseNumber", "Törzsszám", 70, R::TaxBaseNumber, "Törzsszám"},
    {"companyNumber", "Cégszám", 70, R::CompanyNumber, "Cégszám", "Hibás cégszám!", 0},
    {"originalAccountNumber", "Eredeti jelzőszám", 90, R::AccountNumber, "Jelzőszám"},
    {"originalOpeningDate", "Er. nyitás", 60, R::Date, "Nyitás", "Hibás régi nyitás dátum", 1},
    {"originalClosingDate", "Er. zárás", 60, R::Date, "Zárás", "Hibás régi zárás dátum", 3},
    {"newAccountNumber", "Új jelzőszám", 90, R::AccountNumber, "Jelzőszám"},
    {"newOpeningDate", "Új nyitás", 60, R::Date, "Nyitás", "Hibás új nyitás dátum", 2},
    {"newClosingDate", "Új zárás", 60, R::Date, "Zárás", "Hibás új zárás dátum", 4},
};

static_assert(std::size(kRegister) == RegisterCol::count);
static_assert(std::size(kInstitution) == InstitutionCol::count);
static_assert(std::size(kAccountChange) == AccountChangeCol::count);

}  // namespace

std::span<const Column> columnsOf(ViewKind kind) {
    switch (kind) {
        case ViewInstitution: return kInstitution;
        case ViewAccountChange: return kAccountChange;
        case ViewRegister: break;
    }
    return kRegister;
}

std::string_view tableName(ViewKind kind) {
    switch (kind) {
        case ViewInstitution: return "Cégnyilvántartás (Pénzintézeti alapadatok)";
        case ViewAccountChange: return "Banktechnikai számlaszámváltozás";
        case ViewRegister: break;
    }
    return "Cégjegyzék (Számlaszám nyitás/zárás)";
}

std::string_view shortTableName(ViewKind kind) {
    switch (kind) {
        case ViewInstitution: return "Cégnyilvántartás";
        case ViewAccountChange: return "Számlaszámváltozás";
        case ViewRegister: break;
    }
    return "Cégjegyzék";
}

std::size_t columnOf(ViewKind kind, ColumnRole role) {
    const std::span<const Column> columns = columnsOf(kind);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].role == role) return c;
    return columns.size();
}

}  // namespace kovirant
