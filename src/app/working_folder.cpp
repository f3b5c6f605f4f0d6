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

std::string workingFolderMessage(const WorkingFolder& chosen) {
    if (chosen.refused.empty()) return {};
    return "A munkamappa (" + utf16ToCp1250(chosen.refused.u16string()) +
           ") nem hozható létre vagy nem használható, Hibakód=" + std::to_string(chosen.errorCode) +
           ". A program a jelenlegi mappában dolgozik.";
}

}  // namespace kovirant
