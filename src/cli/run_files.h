// The files a console run reads and writes, as its options, the group policy
// and the defaults name them, and how two spellings are told to be one file.
#pragma once

#include <filesystem>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_run.h"

namespace kovirant::cli {

bool startsWithXml(const std::filesystem::path& file);
// 0 when the file can be opened and read (a folder cannot), else the
// system's error code.
int readable(const std::filesystem::path& file);
// The same file under any spelling (both must exist).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// --directory, else the group policy's "Cegtar", else Cegtar.csv beside the settings.
std::filesystem::path defaultDirectory(const Options& o, const std::filesystem::path& settings);
// --archive, else the group policy's "Archivum", else Archivum beside the settings.
std::filesystem::path archiveFolderOf(const Options& o, const std::filesystem::path& settings);
// --settings, else Kovirant.ini in the current folder.
std::filesystem::path settingsOf(const Options& o, const Io& io);
// The group-policy values this run would use (those its options do not
// replace): one that cannot be used is said, naming it.
std::string policyFault(const Options& o);

}  // namespace kovirant::cli
