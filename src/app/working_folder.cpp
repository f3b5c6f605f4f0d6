#include "app/working_folder.h"

#include <system_error>

#include "text/cp1250.h"

namespace kovirant {

WorkingFolder chooseWorkingFolder(std::span<const std::optional<std::filesystem::path>> configured,
                                  const std::optional<std::filesystem::path>& current) {
    WorkingFolder chosen;
    chosen.folder = current;
    for (const auto& candidate : configured) {
        if (!candidate || candidate->empty()) continue;
        if (std::string fault = policyValueFault("Munkamappa", *candidate); !fault.empty()) {
            chosen.refused = *candidate;
            chosen.fault = std::move(fault);
            return chosen;
        }
        std::error_code ec;
        std::filesystem::create_directories(*candidate, ec);
        if (!ec && std::filesystem::is_directory(*candidate, ec) && !ec) {
            chosen.folder = *candidate;
            return chosen;
        }
        chosen.refused = *candidate;
        chosen.errorCode = ec ? ec.value() : ENOTDIR;
        return chosen;  // the first one set decides; it failed: the current directory
    }
    return chosen;
}

std::string policyValueFault(std::string_view name, const std::filesystem::path& value) {
    const std::u16string text = value.u16string();
    const std::size_t percent = text.find(u'%');
    const bool unexpanded = percent != std::u16string::npos && text.find(u'%', percent + 2) != std::u16string::npos;
    if (!unexpanded && value.is_absolute()) return {};
    return "A házirend " + std::string(name) + " értéke (" + utf16ToCp1250(text) + ") nem használható: " +
           (unexpanded ? "egy benne álló környezeti változó nincs beállítva." : "nem teljes elérési út.");
}

std::string workingFolderMessage(const WorkingFolder& chosen) {
    if (!chosen.fault.empty()) return chosen.fault + " A program a jelenlegi mappában dolgozik.";
    if (chosen.refused.empty()) return {};
    return "A munkamappa (" + utf16ToCp1250(chosen.refused.u16string()) +
           ") nem hozható létre vagy nem használható, Hibakód=" + std::to_string(chosen.errorCode) +
           ". A program a jelenlegi mappában dolgozik.";
}

}  // namespace kovirant
