#include "archive/report_copy.h"

#include <cerrno>
#include <memory>
#include <new>

#include "util/file_io.h"

namespace kovirant {

PieceCopy copyHashing(std::FILE* from, const std::function<int(std::string_view piece)>& write) {
    PieceCopy out;
    const std::unique_ptr<char[]> piece(new (std::nothrow) char[kCopyPiece]);
    if (!piece) {
        out.readError = ENOMEM;
        return out;
    }
    Sha256 hash;
    clearSystemError();
    if (std::fseek(from, 0, SEEK_SET) != 0) {
        out.readError = lastSystemError();
        return out;
    }
    for (;;) {
        clearSystemError();
        const std::size_t n = std::fread(piece.get(), 1, kCopyPiece, from);
        if (n < kCopyPiece && std::ferror(from)) {
            out.readError = lastSystemError();
            return out;
        }
        if (n == 0) break;
        const std::string_view bytes(piece.get(), n);
        hash.update(bytes);
        if ((out.writeError = write(bytes)) != 0) return out;
        out.bytes += n;
    }
    out.digest = hash.finish();
    return out;
}

}  // namespace kovirant
