// The program's one string hash, for every hash table whose layout is
// stored or shared: a fixed algorithm over the bytes (eight at a time, read
// as little-endian words), so that every build and word size gives the same
// 64 bits for the same text. A stored layout names it (kStringHashName), and
// a change of the algorithm must change the name.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kovirant {

inline constexpr std::string_view kStringHashName = "words64-fold29-mix33";
inline constexpr std::uint64_t kStringHashSeed = 14695981039346656037ULL;

// The hash of `text` carried on from `h` (kStringHashSeed to start; a row's
// cells one after another), not yet spread: finish it with spreadHash.
inline std::uint64_t continueHash(std::string_view text, std::uint64_t h) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    auto word = [](const char* p, std::size_t n) {
        std::uint64_t w = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&w, p, n);
        } else {
            for (std::size_t i = 0; i < n; ++i) w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
        }
        return w;
    };
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        h = (h ^ word(p, 8)) * kMultiplier;
        h ^= h >> 29;
    }
    return (h ^ word(p, n) ^ (static_cast<std::uint64_t>(text.size()) << 56)) * kMultiplier;
}

// Spreads a carried hash over all 64 bits (the low bits pick a slot, the
// high ones a tag).
inline std::uint64_t spreadHash(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    return h;
}

inline std::uint64_t stringHash(std::string_view text) { return spreadHash(continueHash(text, kStringHashSeed)); }

}  // namespace kovirant
