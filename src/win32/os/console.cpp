// Windows side of util/console.h, linked into the core of the Windows build.
#include <windows.h>

#include <cstdio>
#include <string>

#include "util/console.h"

namespace kovirant {

bool writeConsole(ConsoleStream stream, std::string_view utf8) {
    std::FILE* f = stream == ConsoleStream::Output ? stdout : stderr;
    HANDLE h = GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
        std::fflush(f);
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
        DWORD written = 0;
        return wide.empty() || WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    }
    return std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size() && std::fflush(f) == 0;
}

}  // namespace kovirant
