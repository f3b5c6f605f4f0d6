// SHA-256 from a well-kept implementation: OpenSSL's libcrypto natively,
// Windows' own CNG (bcrypt) in the Windows build. The archive's proof rests
// on it, so it is never written by hand.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kovirant {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void update(std::string_view bytes);
    Sha256Digest finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

Sha256Digest sha256(std::string_view bytes);
// 64 lowercase hex digits.
std::string hexOf(const Sha256Digest& digest);
// The digest of a file's bytes, read in pieces; 0 or the system error code.
int sha256OfFile(const std::filesystem::path& file, Sha256Digest& out);

}  // namespace kovirant
