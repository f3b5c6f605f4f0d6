// Windows side of util/sha256.h: libgcrypt, linked statically (no DLL beside
// the programs), in place of CNG.
// Why: Wine's CNG hashes about 100 MB/s, libgcrypt 700; archive of a 1,000,000-row report under Wine 1.44 s -> 0.51 s.
#include <gcrypt.h>

#include "util/sha256.h"

namespace kovirant {

namespace {

// libgcrypt asks to be told once, before its first use, that it is set up.
bool ready() {
    static const bool once = [] {
        if (!gcry_check_version(GCRYPT_VERSION)) return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return once;
}

}  // namespace

struct Sha256::State {
    gcry_md_hd_t hash = nullptr;
    ~State() {
        if (hash) gcry_md_close(hash);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!ready() || gcry_md_open(&state_->hash, GCRY_MD_SHA256, 0) != 0) state_->hash = nullptr;
}
Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
    if (state_->hash) gcry_md_write(state_->hash, bytes.data(), bytes.size());
}

Sha256Digest Sha256::finish() {
    Sha256Digest d{};
    if (!state_->hash) return d;
    if (const unsigned char* digest = gcry_md_read(state_->hash, GCRY_MD_SHA256))
        for (std::size_t i = 0; i < d.size(); ++i) d[i] = digest[i];
    return d;
}

}  // namespace kovirant
