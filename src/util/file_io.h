// File access with wide paths on Windows, and atomic replacement.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kovirant {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a binary or text mode; on Windows the path stays wide.
FilePtr openFile(const std::filesystem::path& path, const char* mode);

bool readWholeFile(const std::filesystem::path& path, std::string& out);

// The last system error code (errno, or on Windows the OS error code where
// the C runtime keeps one).
int lastSystemError();

// Flushes a file's data to the disk. Returns false on failure.
bool syncFile(std::FILE* f);

// A name beside `target` for a temporary file that does not exist yet.
std::filesystem::path temporarySibling(const std::filesystem::path& target);

// Moves `from` over `to`, replacing it. Returns 0 or the system error code.
int renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes `bytes` to a temporary file beside `target` and renames it over
// `target`, so the target holds either its old or its new content. Returns
// 0 or the system error code; no temporary file is left behind.
int replaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace kovirant
