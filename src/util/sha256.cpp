#include "util/sha256.h"

#include "util/file_io.h"

namespace kovirant {

Sha256Digest sha256(std::string_view bytes) {
    Sha256 h;
    h.update(bytes);
    return h.finish();
}

std::string hexOf(const Sha256Digest& d) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(64);
    for (std::uint8_t b : d) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

int sha256OfFile(const std::filesystem::path& file, Sha256Digest& out) {
    const OpenedFile opened = openFile(file, "rb");
    if (!opened) return opened.error;
    Sha256 h;
    std::string buffer(1 << 20, '\0');
    clearSystemError();
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), opened.file.get());
        if (n > 0) h.update(std::string_view(buffer.data(), n));
        if (n < buffer.size()) break;
    }
    if (std::ferror(opened.file.get())) return lastSystemError();
    out = h.finish();
    return 0;
}

}  // namespace kovirant
