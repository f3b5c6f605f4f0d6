#include "records/record_kinds.h"

namespace kovirant {
namespace {

using Role = ColumnRole;
using Length = CellLength;

// A cell on its element's start tag: the row's, or its group's.
constexpr ReportCell attribute(std::string_view name, int order, Length length = Length::Any,
                               std::string_view group = {}) {
    return {name, order, group, CellForm::Attribute, length};
}
// An element of one word (`word`) or of text, written also when empty
// unless `ifGiven`.
constexpr ReportCell element(std::string_view name, int order, std::string_view group, Length length, bool word,
                             bool ifGiven = false) {
    return {name, order, group, ifGiven ? CellForm::ElementIfGiven : CellForm::Element, length, word};
}
constexpr bool kWord = true, kText = false, kIfGiven = true;

// header, width, role, report cell, stored-form fault and rank.
constexpr Column kRegister[] = {
    {"Cégszám", 80, Role::CompanyNumber, attribute("Cégszám", 0, Length::CompanyNumber), "Hibás cégszám", 0},
    {"Törzsszám", 100, Role::TaxBaseNumber, attribute("Törzsszám", 1, Length::TaxBaseNumber)},
    {"Jelzőszám", 100, Role::AccountNumber, element("Jelzőszám", 3, "Számlaszám", Length::AccountNumber, kWord)},
    {"Nyitás", 100, Role::Date, element("Nyitás", 4, "Számlaszám", Length::Date, kWord), "Hibás nyitás dátum", 1},
    {"Zárás", 100, Role::Date, element("Zárás", 5, "Számlaszám", Length::Date, kWord, kIfGiven), "Hibás zárás dátum!", 2},
    {"Kód", 100, Role::Other, attribute("kód", 2, Length::Any, "Számlaszám")},
};

constexpr Column kInstitution[] = {
    {"Név", 80, Role::Name, element("Név", 4, {}, Length::Any, kText)},
    {"Cégszám", 70, Role::CompanyNumber, attribute("Cégszám", 0, Length::CompanyNumber), "Hibás cégszám!", 0},
    {"Törzsszám", 70, Role::TaxBaseNumber, attribute("Törzsszám", 1, Length::TaxBaseNumber)},
    {"Irsz.", 20, Role::Other, element("Irsz", 5, "TagoltCím", Length::PostalCode, kWord)},
    {"Hely", 80, Role::Other, element("Hely", 6, "TagoltCím", Length::Any, kText)},
    {"Terület", 60, Role::Other, element("Terület", 7, "TagoltCím", Length::Any, kText, kIfGiven)},
    {"Jelleg", 50, Role::Other, element("Jelleg", 8, "TagoltCím", Length::Any, kText, kIfGiven)},
    {"Házszám", 30, Role::Other, element("Hsz", 9, "TagoltCím", Length::AddressPart, kText, kIfGiven)},
    {"Számjel", 50, Role::BankCode, element("Számjel", 3, {}, Length::Any, kWord)},
    {"Épület", 50, Role::Other, element("Épület", 10, "TagoltCím", Length::AddressPart, kText, kIfGiven)},
    {"Ajtó", 40, Role::Other, element("Ajtó", 11, "TagoltCím", Length::AddressPart, kText, kIfGiven)},
    {"Kód", 50, Role::Other, attribute("kód", 2)},
};

// The editor judges the openings before the closings.
constexpr Column kAccountChange[] = {
    {"Törzsszám", 70, Role::TaxBaseNumber, attribute("Törzsszám", 0, Length::TaxBaseNumber)},
    {"Cégszám", 70, Role::CompanyNumber,
     {"Cégszám", 1, {}, CellForm::AttributeIfWhole, Length::CompanyNumber}, "Hibás cégszám!", 0},
    {"Eredeti jelzőszám", 90, Role::AccountNumber, element("Jelzőszám", 2, "EredetiSzámla", Length::AccountNumber, kWord)},
    {"Er. nyitás", 60, Role::Date, element("Nyitás", 3, "EredetiSzámla", Length::Date, kWord), "Hibás régi nyitás dátum", 1},
    {"Er. zárás", 60, Role::Date, element("Zárás", 4, "EredetiSzámla", Length::Date, kWord, kIfGiven),
     "Hibás régi zárás dátum", 3},
    {"Új jelzőszám", 90, Role::AccountNumber, element("Jelzőszám", 5, "ÚjSzámla", Length::AccountNumber, kWord)},
    {"Új nyitás", 60, Role::Date, element("Nyitás", 6, "ÚjSzámla", Length::Date, kWord), "Hibás új nyitás dátum", 2},
    {"Új zárás", 60, Role::Date, element("Zárás", 7, "ÚjSzámla", Length::Date, kWord, kIfGiven), "Hibás új zárás dátum", 4},
};

constexpr PerKind<ReportRows> kReportRows = {{
    {"Cégjegyzék", {}, "CégMutató", true, true, false},
    {"Cégnyilvántartás", "Törzsadatok", "Pénzintézet", false, true, true},
    {"SzámlaszámVáltozás", {}, "Tulajdonos", false, false, false},
}};

static_assert(std::size(kRegister) == RegisterCol::count);
static_assert(std::size(kInstitution) == InstitutionCol::count);
static_assert(std::size(kAccountChange) == AccountChangeCol::count);
static_assert(std::max({std::size(kRegister), std::size(kInstitution), std::size(kAccountChange)}) == kMostColumns);

// The cell at report place `order`; nullptr when there is none or several.
constexpr const ReportCell* cellAt(std::span<const Column> columns, int order) {
    const ReportCell* found = nullptr;
    for (const Column& c : columns)
        if (c.report.order == order) {
            if (found) return nullptr;
            found = &c.report;
        }
    return found;
}

// What the writer and the reload rely on: every column has its name and one
// place of its own in the report; the row's attributes come first, then its
// cells group by group, a group's attributes first and no group twice; and
// one name means one cell within a group (several groups may share names).
constexpr bool reportCellsHold(std::span<const Column> columns) {
    const int n = static_cast<int>(columns.size());
    std::string_view groupsSeen[kMostColumns] = {};
    int groups = 0;
    bool pastRowAttributes = false, pastGroupAttributes = false;
    for (int at = 0; at < n; ++at) {
        const ReportCell* cell = cellAt(columns, at);
        if (!cell || cell->name.empty()) return false;
        const bool isAttribute = cell->form == CellForm::Attribute || cell->form == CellForm::AttributeIfWhole;
        const ReportCell* before = at > 0 ? cellAt(columns, at - 1) : nullptr;
        if (cell->group.empty()) {
            if (isAttribute && pastRowAttributes) return false;
            if (!isAttribute) pastRowAttributes = true;
            if (before && !before->group.empty()) return false;  // after a group only groups
        } else {
            pastRowAttributes = true;
            if (!before || before->group != cell->group) {
                for (int g = 0; g < groups; ++g)
                    if (groupsSeen[g] == cell->group) return false;
                groupsSeen[groups++] = cell->group;
                pastGroupAttributes = false;
            }
            if (isAttribute && pastGroupAttributes) return false;
            if (!isAttribute) pastGroupAttributes = true;
        }
        for (const Column& other : columns)
            if (&other.report != cell && other.report.name == cell->name && other.report.group == cell->group)
                return false;
    }
    return true;
}
static_assert(reportCellsHold(kRegister) && reportCellsHold(kInstitution) && reportCellsHold(kAccountChange));

}  // namespace

std::span<const Column> columnsOf(ViewKind kind) {
    switch (kind) {
        case ViewInstitution: return kInstitution;
        case ViewAccountChange: return kAccountChange;
        case ViewRegister: break;
    }
    return kRegister;
}

const ReportRows& reportRowsOf(ViewKind kind) { return kReportRows[kind]; }

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
