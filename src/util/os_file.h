// The few file operations whose error codes only the operating system's own
// calls give. The Windows implementation lives in src/win32/platform/.
#pragma once

#include <filesystem>

namespace kovirant {

// Moves `from` over `to`, replacing it, and flushes the move to the disk.
// Returns 0 or the system error code.
int renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace kovirant
