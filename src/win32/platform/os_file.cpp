// Windows side of util/os_file.h, linked into the core of the Windows build.
#include <windows.h>

#include "util/os_file.h"

namespace kovirant {

int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

}  // namespace kovirant
