#include "records/record_kinds.h"

namespace kovirant {
namespace {

constexpr Column kRegister[] = {
    {"companyNumber", "Cégszám", 80},   {"taxBaseNumber", "Törzsszám", 100},
    {"accountNumber", "Jelzőszám", 100}, {"openingDate", "Nyitás", 100},
    {"closingDate", "Zárás", 100},      {"accountCode", "Kód", 100},
};

constexpr Column kInstitution[] = {
    {"name", "Név", 80},          {"companyNumber", "Cégszám", 70}, {"taxBaseNumber", "Törzsszám", 70},
    {"postalCode", "Irsz.", 20},  {"place", "Hely", 80},            {"area", "Terület", 60},
    {"areaType", "Jelleg", 50},   {"houseNumber", "Házszám", 30},   {"codeNumber", "Számjel", 50},
    {"building", "Épület", 50},   {"door", "Ajtó", 40},             {"operationCode", "Kód", 50},
};

constexpr Column kAccountChange[] = {
    {"taxBaseNumber", "Törzsszám", 70},
    {"companyNumber", "Cégszám", 70},
    {"originalAccountNumber", "Eredeti jelzőszám", 90},
    {"originalOpeningDate", "Er. nyitás", 60},
    {"originalClosingDate", "Er. zárás", 60},
    {"newAccountNumber", "Új jelzőszám", 90},
    {"newOpeningDate", "Új nyitás", 60},
    {"newClosingDate", "Új zárás", 60},
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

}  // namespace kovirant
