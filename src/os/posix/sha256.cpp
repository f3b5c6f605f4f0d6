// The native side of util/sha256.h: OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "util/sha256.h"

namespace kovirant {

struct Sha256::State {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr); }
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) { EVP_DigestUpdate(state_->ctx, bytes.data(), bytes.size()); }

Sha256Digest Sha256::finish() {
    Sha256Digest d{};
    unsigned int n = 0;
    EVP_DigestFinal_ex(state_->ctx, d.data(), &n);
    return d;
}

}  // namespace kovirant
