// A report's copy for the archive made in pieces of a fixed size and hashed
// as the pieces pass, so that the archive step's memory stays the same
// whatever the report's size (a whole report would not fit the 32-bit
// program's address space beside its rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>

#include "util/sha256.h"

namespace kovirant {

inline constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

struct PieceCopy {
    int readError = 0;   // the report's read (or the piece's memory)
    int writeError = 0;  // the copy's write
    std::uint64_t bytes = 0;
    Sha256Digest digest{};  // of the bytes written, when both are 0
    int error() const { return readError != 0 ? readError : writeError; }
};

// Reads `from` from its start to its end a piece at a time, hashes each
// piece and hands it to `write` (0 or the system error code, which stops the
// copy), so the digest is of exactly the bytes the copy was given.
PieceCopy copyHashing(std::FILE* from, const std::function<int(std::string_view piece)>& write);

}  // namespace kovirant
