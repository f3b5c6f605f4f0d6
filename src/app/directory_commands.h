// The company directory's part in the commands: learning after a report is
// saved or reloaded, and "Cégszámok kitöltése a cégtárból".
#pragma once

#include <memory>

#include "app/app_state.h"
#include "app/shell.h"
#include "directory/company_directory.h"

namespace kovirant {

// Adds the company numbers of the rows `rows` names (those of the report just
// written or read) to the directory beside Kovirant.ini. A directory that
// cannot be read or written costs one warning, nothing more.
void learnDirectory(AppState& state, Shell& shell, LearnMode mode, const LearnRows& rows = {});

// The directory file: the policy's, else Cegtar.csv beside Kovirant.ini.
std::filesystem::path directoryFileOf(const AppState& state);

// The directory as the file is now: read again only when its size or time
// changed since the last read (or it was learnt into).
std::shared_ptr<const LoadedDirectory> currentDirectory(AppState& state);

// Fills empty company numbers from the directory and says what it did.
void fillFromDirectory(AppState& state, Shell& shell);

}  // namespace kovirant
