#include "records/record_kinds.h"

namespace kovirant {
namespace {

using Role = ColumnRole;

// header, width, role, report element, stored-form fault and rank.
constexpr Column kRegister[] = {
    {"Cégszám", 80, Role::CompanyNumber, "Cégszám", "Hibás cégszám", 0},
    {"Törzsszám", 100, Role::TaxBaseNumber, "Törzsszám"},
    {"Jelzőszám", 100, Role::AccountNumber, "Jelzőszám"},
    {"Nyitás", 100, Role::Date, "Nyitás", "Hibás nyitás dátum", 1},
    {"Zárás", 100, Role::Date, "Zárás", "Hibás zárás dátum!", 2},
    {"Kód", 100, Role::Other, "kód"},
};

constexpr Column kInstitution[] = {
    {"Név", 80, Role::Name, "Név"},
    {"Cégszám", 70, Role::CompanyNumber, "Cégszám", "Hibás cégszám!", 0},
    {"Törzsszám", 70, Role::TaxBaseNumber, "Törzsszám"},
    {"Irsz.", 20, Role::Other, "Irsz"},
    {"Hely", 80, Role::Other, "Hely"},
    {"Terület", 60, Role::Other, "Terület"},
    {"Jelleg", 50, Role::Other, "Jelleg"},
    {"Házszám", 30, Role::Other, "Hsz"},
    {"Számjel", 50, Role::BankCode, "Számjel"},
    {"Épület", 50, Role::Other, "Épület"},
    {"Ajtó", 40, Role::Other, "Ajtó"},
    {"Kód", 50, Role::Other, "kód"},
};

// The editor judges the openings before the closings.
constexpr Column kAccountChange[] = {
    {"Törzsszám", 70, Role::TaxBaseNumber, "Törzsszám"},
    {"Cégszám", 70, Role::CompanyNumber, "Cégszám", "Hibás cégszám!", 0},
    {"Eredeti jelzőszám", 90, Role::AccountNumber, "Jelzőszám"},
    {"Er. nyitás", 60, Role::Date, "Nyitás", "Hibás régi nyitás dátum", 1},
    {"Er. zárás", 60, Role::Date, "Zárás", "Hibás régi zárás dátum", 3},
    {"Új jelzőszám", 90, Role::AccountNumber, "Jelzőszám"},
    {"Új nyitás", 60, Role::Date, "Nyitás", "Hibás új nyitás dátum", 2},
    {"Új zárás", 60, Role::Date, "Zárás", "Hibás új zárás dátum", 4},
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
