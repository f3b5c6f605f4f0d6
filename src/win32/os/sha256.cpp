// Windows side of util/sha256.h: CNG (bcrypt), which Wine has too.
#include <windows.h>

#include <bcrypt.h>

#include "util/sha256.h"

namespace kovirant {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0)
        BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0);
}
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
    while (!bytes.empty() && state_->hash) {
        const ULONG n = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<ULONG>(bytes.size());
        BCryptHashData(state_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), n, 0);
        bytes.remove_prefix(n);
    }
}

Sha256Digest Sha256::finish() {
    Sha256Digest d{};
    if (state_->hash) BCryptFinishHash(state_->hash, d.data(), static_cast<ULONG>(d.size()), 0);
    return d;
}

}  // namespace kovirant
