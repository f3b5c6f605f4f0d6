// The officer's working folder, where Kovirant.ini, Cegtar.csv and the
// recovery file live: on a managed desktop set by policy or by the
// per-machine install, else the current directory.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kovirant {

struct WorkingFolder {
    std::optional<std::filesystem::path> folder;  // nullopt: none could be had
    // When a configured folder could not be made or used: it, and the
    // system's error code; the current directory is used instead.
    std::filesystem::path refused;
    int errorCode = 0;
    std::string fault;  // a value refused by policyValueFault: its message
};

// Why a policy value (Munkamappa, Cegtar, Archivum) cannot be used, naming
// it (Windows-1250): an environment variable in it that was not set (a
// "%...%" left after expansion) or a path that is not absolute would put the
// files in whatever folder the program was started in. Empty: usable.
std::string policyValueFault(std::string_view name, const std::filesystem::path& value);

// The first of `configured` that is set (in order: the machine's policy, the
// user's policy, the installer's value) made when missing; else `current`.
WorkingFolder chooseWorkingFolder(std::span<const std::optional<std::filesystem::path>> configured,
                                  const std::optional<std::filesystem::path>& current);

// "A munkamappa (<folder>) nem hozható létre vagy nem használható, Hibakód=N. ..."
std::string workingFolderMessage(const WorkingFolder& chosen);

}  // namespace kovirant
