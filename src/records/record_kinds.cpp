#include "records/record_kinds.h"

namespace kovirant {
namespace {

using R = ColumnRole;

constexpr Column kRegister[] = {
    {"companyNumber", "Cégszám", 80, R::CompanyNumber},   {"taxBaseNumber", "Törzsszám", 100, R::TaxBaseNumber},
    {"accountNumber", "Jelzőszám", 100, R::AccountNumber}, {"openingDate", "Nyitás", 100, R::Date},
    {"closingDate", "Zárás", 100, R::Date},               {"accountCode", "Kód", 100},
};

constexpr Column kInstitution[] = {
    {"name", "Név", 80, R::Name},
    {"companyNumber", "Cégszám", 70, R::CompanyNumber},
    {"taxBaseNumber", "Törzsszám", 70, R::TaxBaseNumber},
    {"postalCode", "Irsz.", 20},
    {"place", "Hely", 80},
    {"area", "Terület", 60},
    {"areaType", "Jelleg", 50},
    {"houseNumber", "Házszám", 30},
    {"codeNumber", "Számjel", 50, R::BankCode},
    {"building", "Épület", 50},
    {"door", "Ajtó", 40},
    {"operationCode", "Kód", 50},
};

constexpr Column kAccountChange[] = {
    {"taxBaseNumber", "Törzsszám", 70, R::TaxBaseNumber},
    {"companyNumber", "Cégszám", 70, R::CompanyNumber},
    {"originalAccountNumber", "Eredeti jelzőszám", 90, R::AccountNumber},
    {"originalOpeningDate", "Er. nyitás", 60, R::Date},
    {"originalClosingDate", "Er. zárás", 60, R::Date},
    {"newAccountNumber", "Új jelzőszám", 90, R::AccountNumber},
    {"newOpeningDate", "Új nyitás", 60, R::Date},
    {"newClosingDate", "Új zárás", 60, R::Date},
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

std::size_t columnOf(ViewKind kind, ColumnRole role) {
    const std::span<const Column> columns = columnsOf(kind);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].role == role) return c;
    return columns.size();
}

}  // namespace kovirant
