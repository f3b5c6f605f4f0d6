// The officer's working folder, where Kovirant.ini, Cegtar.csv and the
// recovery file live: on a managed desktop set by policy or by the
// per-machine install, else the current directory.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace kovirant {

struct WorkingFolder {
    std::optional<std::filesystem::path> folder;  // nullopt: none could be had
    // When a configured folder could not be made or used: it, and the
    // system's error code; the current directory is used instead.
    std::filesystem::path refused;
    int errorCode = 0;
};

// The first of `configured` that is set (in order: the machine's policy, the
// user's policy, the installer's value) made when missing; else `current`.
WorkingFolder chooseWorkingFolder(std::span<const std::optional<std::filesystem::path>> configured,
                                  const std::optional<std::filesystem::path>& current);

// "A munkamappa (<folder>) nem hozható létre vagy nem használható, Hibakód=N. ..."
std::string workingFolderMessage(const WorkingFolder& chosen);

}  // namespace kovirant
