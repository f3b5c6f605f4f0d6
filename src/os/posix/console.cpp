#include <cstdio>

#include "util/console.h"

namespace kovirant {

bool writeConsole(ConsoleStream stream, std::string_view utf8) {
    std::FILE* f = stream == ConsoleStream::Output ? stdout : stderr;
    return std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size() && std::fflush(f) == 0;
}

}  // namespace kovirant
