// Text for the console programs' standard output and error.
#pragma once

#include <string_view>

namespace kovirant {

enum class ConsoleStream { Output, Error };

// Writes UTF-8 text: to a Windows console as wide characters, so Hungarian
// letters are right whatever its code page; as the UTF-8 bytes to a file, a
// pipe, and everywhere on other systems. Returns false when the write failed.
bool writeConsole(ConsoleStream stream, std::string_view utf8);

}  // namespace kovirant
