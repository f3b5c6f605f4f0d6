#ifndef _WIN32
#include <cerrno>
#include <cstdio>

#include "util/os_file.h"

namespace kovirant {

int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    errno = 0;
    if (std::rename(from.c_str(), to.c_str()) != 0) return errno != 0 ? errno : EIO;
    return 0;
}

}  // namespace kovirant
#endif
