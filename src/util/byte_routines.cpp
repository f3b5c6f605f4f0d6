// These routines stand in for memchr, memmove and memcmp in the Windows build,
// so none of their loops may become a call to them: GCC's loop-to-call
// rewriting is off here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-loop-distribute-patterns")
#endif
// The 32-bit Windows build assumes SSE2: every CPU that runs a supported Windows (10 and later) has it.
#if defined(__i386__) && defined(__GNUC__) && !defined(__clang__)
#pragma GCC target("sse2")
#endif

#include "util/byte_routines.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define KOVIRANT_BYTE_ROUTINES_SSE2 1
#endif

namespace kovirant {

namespace {

using Byte = unsigned char;

// Unaligned loads and stores of whole words, never a library call.
template <typename T>
struct Unaligned {
    using Type [[gnu::may_alias, gnu::aligned(1)]] = T;
};
template <typename T>
T load(const Byte* p) {
    return *reinterpret_cast<const typename Unaligned<T>::Type*>(p);
}
template <typename T>
void store(Byte* p, T v) {
    *reinterpret_cast<typename Unaligned<T>::Type*>(p) = v;
}

// Up to 32 bytes: every load before the first store, so overlap is harmless.
void moveSmall(Byte* d, const Byte* s, std::size_t n) {
    if (n >= 16) {
#ifdef KOVIRANT_BYTE_ROUTINES_SSE2
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), b);
#else
        const auto a0 = load<std::uint64_t>(s), a1 = load<std::uint64_t>(s + 8);
        const auto b0 = load<std::uint64_t>(s + n - 16), b1 = load<std::uint64_t>(s + n - 8);
        store(d, a0), store(d + 8, a1), store(d + n - 16, b0), store(d + n - 8, b1);
#endif
    } else if (n >= 8) {
        const auto a = load<std::uint64_t>(s), b = load<std::uint64_t>(s + n - 8);
        store(d, a), store(d + n - 8, b);
    } else if (n >= 4) {
        const auto a = load<std::uint32_t>(s), b = load<std::uint32_t>(s + n - 4);
        store(d, a), store(d + n - 4, b);
    } else if (n >= 2) {
        const auto a = load<std::uint16_t>(s), b = load<std::uint16_t>(s + n - 2);
        store(d, a), store(d + n - 2, b);
    } else if (n == 1) {
        *d = *s;
    }
}

#ifdef KOVIRANT_BYTE_ROUTINES_SSE2
__m128i at16(const Byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void put16(Byte* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
#else
struct Block16 {
    std::uint64_t lo, hi;
};
Block16 at16(const Byte* p) { return {load<std::uint64_t>(p), load<std::uint64_t>(p + 8)}; }
void put16(Byte* p, Block16 v) { store(p, v.lo), store(p + 8, v.hi); }
#endif

// The index of the first set bit of a nonzero 16-bit mask.
unsigned firstOf(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)); }

}  // namespace

const void* findByte(const void* at, int byte, std::size_t n) {
    const Byte* p = static_cast<const Byte*>(at);
    const Byte b = static_cast<Byte>(byte);
#ifdef KOVIRANT_BYTE_ROUTINES_SSE2
    if (n >= 16) {
        const __m128i wanted = _mm_set1_epi8(static_cast<char>(b));
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16)
            if (const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at16(p + i), wanted))))
                return p + i + firstOf(m);
        if (i == n) return nullptr;
        // The last 16 bytes again: those before i held no match.
        const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at16(p + n - 16), wanted)));
        return m ? p + n - 16 + firstOf(m) : nullptr;
    }
#endif
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] == b) return p + i;
    return nullptr;
}

void moveBytes(void* to, const void* from, std::size_t n) {
    Byte* d = static_cast<Byte*>(to);
    const Byte* s = static_cast<const Byte*>(from);
    if (n <= 32) return moveSmall(d, s, n);
    if (reinterpret_cast<std::uintptr_t>(d) - reinterpret_cast<std::uintptr_t>(s) >= n) {
        // Forward (the target below the source, or apart): a block's source
        // is never a byte already written. The last block is read first.
        const auto last = at16(s + n - 16);
        for (std::size_t i = 0; i + 16 < n; i += 16) put16(d + i, at16(s + i));
        put16(d + n - 16, last);
    } else {
        // Backward (the target above the source, overlapping): the mirror.
        const auto first = at16(s);
        for (std::size_t i = n; i > 16;) {
            i -= 16;
            put16(d + i, at16(s + i));
        }
        put16(d, first);
    }
}

// Aligned 16-byte reads never cross into another page: the bytes they take
// beside the string's are never used (so the address sanitizer is told to
// let them be).
#if defined(__GNUC__)
[[gnu::no_sanitize_address]]
#endif
std::size_t stringLength(const char* text) {
    const Byte* p = reinterpret_cast<const Byte*>(text);
#ifdef KOVIRANT_BYTE_ROUTINES_SSE2
    const std::size_t before = reinterpret_cast<std::uintptr_t>(p) & 15;
    const Byte* block = p - before;
    const __m128i zero = _mm_setzero_si128();
    auto nuls = [&](const Byte* at) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(at)), zero)));
    };
    if (const unsigned m = nuls(block) >> before) return firstOf(m);
    for (block += 16;; block += 16)
        if (const unsigned m = nuls(block)) return static_cast<std::size_t>(block - p) + firstOf(m);
#else
    std::size_t n = 0;
    while (p[n]) ++n;
    return n;
#endif
}

int compareBytes(const void* a, const void* b, std::size_t n) {
    const Byte* x = static_cast<const Byte*>(a);
    const Byte* y = static_cast<const Byte*>(b);
    std::size_t i = 0;
#ifdef KOVIRANT_BYTE_ROUTINES_SSE2
    if (n >= 16) {
        for (;; i += 16) {
            if (i + 16 > n) i = n - 16;  // the last 16 bytes: those before i were equal
            const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at16(x + i), at16(y + i))));
            if (same != 0xFFFF) {
                const std::size_t k = i + firstOf(~same & 0xFFFF);
                return static_cast<int>(x[k]) - static_cast<int>(y[k]);
            }
            if (i + 16 == n) return 0;
        }
    }
#endif
    for (; i < n; ++i)
        if (x[i] != y[i]) return static_cast<int>(x[i]) - static_cast<int>(y[i]);
    return 0;
}

}  // namespace kovirant
