#include "editing/register_verdicts.h"

#include <cstring>

#include "editing/pick_lists.h"
#include "editing/rules.h"
#include "records/record_kinds.h"
#include "text/format.h"
#include "util/string_hash.h"

namespace kovirant {

std::size_t RegisterVerdicts::ShapeHash::operator()(const Shape& s) const {
    return static_cast<std::size_t>(stringHash(std::string_view(s.data(), s.size())));
}

RegisterVerdicts::Shape RegisterVerdicts::shapeOf(std::span<const std::string_view> cells) {
    // The editor cuts the tax number to kFieldMax: below 8 characters either way.
    static_assert(kFieldMax >= kTaxBaseLength);
    Shape s{};
    const std::string_view company = cells[RegisterCol::companyNumber];
    company.substr(0, kAreaCodeLength + kFormCodeLength).copy(s.data(), kAreaCodeLength + kFormCodeLength);
    char* at = s.data() + kAreaCodeLength + kFormCodeLength;
    for (std::size_t column : {RegisterCol::openingDate, RegisterCol::closingDate}) {
        const std::string_view date = cells[column];
        s[s.size() - 1 - (column == RegisterCol::openingDate)] = static_cast<char>(date.size());
        date.substr(0, kDateLength).copy(at, kDateLength);
        at += kDateLength;
    }
    const std::optional<int> code = lastEqualEntry(CodeList(), cells[RegisterCol::accountCode]);
    *at++ = static_cast<char>(code ? *code : -1);
    const std::size_t tax = cells[RegisterCol::taxBaseNumber].size();
    const std::size_t taxLength = tax < kTaxBaseLength ? 0 : tax == kTaxBaseLength ? 1 : 2;
    *at = static_cast<char>(taxLength | (cells[RegisterCol::accountNumber].size() == kAccountNumberLength) << 2);
    return s;
}

}  // namespace kovirant
