// The Windows build's memchr, memmove, memcmp and strlen, held to the C library's
// results over every length to 80 and a few longer, every alignment of a
// 16-byte block, and overlaps in both directions.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "util/byte_routines.h"

namespace kovirant {
namespace {

const std::size_t kLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 79, 80, 255, 1000, 4099};

std::vector<unsigned char> pattern(std::size_t n, unsigned seed) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 131 + seed * 7 + (i >> 3)) & 0xFF);
    return v;
}

TEST(ByteRoutines, FindByteFindsTheFirstWithinTheLengthOnly) {
    for (std::size_t n : kLengths)
        for (std::size_t offset = 0; offset < 16; offset += 5) {
            // 'x' nowhere but where placed, and just past the end.
            std::vector<unsigned char> buffer(offset + n + 1, 'a');
            unsigned char* p = buffer.data() + offset;
            p[n] = 'x';
            ASSERT_EQ(findByte(p, 'x', n), nullptr) << n;
            for (std::size_t at = 0; at < n; at += (n > 80 ? 37 : 1)) {
                p[at] = 0xF5;
                if (at + 3 < n) p[at + 3] = 0xF5;
                ASSERT_EQ(findByte(p, 0xF5, n), p + at) << n << " at " << at;
                ASSERT_EQ(findByte(p, -11, n), p + at) << "an int's low byte is what is found";
                p[at] = 'a';
                if (at + 3 < n) p[at + 3] = 'a';
            }
        }
}

TEST(ByteRoutines, MoveBytesCopiesAsMemmoveApartAndOverlapping) {
    for (std::size_t n : kLengths)
        for (std::ptrdiff_t shift : {-40, -17, -16, -9, -1, 1, 3, 8, 16, 21, 64, 5000})
            for (std::size_t align = 0; align < 4; ++align) {
                const std::size_t base = 6000 + align;
                std::vector<unsigned char> ours = pattern(base + n + 6000, static_cast<unsigned>(n));
                std::vector<unsigned char> theirs = ours;
                moveBytes(ours.data() + base + shift, ours.data() + base, n);
                std::memmove(theirs.data() + base + shift, theirs.data() + base, n);
                ASSERT_EQ(ours, theirs) << "length " << n << ", shift " << shift << ", alignment " << align;
            }
}

TEST(ByteRoutines, CompareBytesGivesMemcmpsSignAtEveryPlace) {
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (std::size_t n : kLengths) {
        std::vector<unsigned char> a = pattern(n + 1, 3), b = a;
        ASSERT_EQ(compareBytes(a.data(), b.data(), n), 0) << n;
        for (std::size_t at = 0; at < n; at += (n > 80 ? 41 : 1))
            for (unsigned char other : {0x00, 0x7F, 0x80, 0xFF}) {
                if (other == a[at]) continue;
                b[at] = other;
                ASSERT_EQ(sign(compareBytes(a.data(), b.data(), n)), sign(std::memcmp(a.data(), b.data(), n)))
                    << n << " at " << at << " byte " << int(other);
                ASSERT_EQ(sign(compareBytes(b.data(), a.data(), n)), sign(std::memcmp(b.data(), a.data(), n)));
                b[at] = a[at];
            }
        if (n > 0) {
            b[n] = static_cast<unsigned char>(a[n] + 1);
            ASSERT_EQ(compareBytes(a.data(), b.data(), n), 0) << "a difference past the length is not seen";
        }
    }
}

TEST(ByteRoutines, StringLengthStopsAtTheFirstNulFromEveryAlignment) {
    for (std::size_t offset = 0; offset < 32; ++offset)
        for (std::size_t n = 0; n <= 80; ++n) {
            std::vector<char> buffer(offset + n + 40, 'q');
            buffer[offset + n] = '\0';
            buffer[offset + n + 5] = '\0';
            if (offset > 0) buffer[offset - 1] = '\0';  // a NUL just before is not this string's
            ASSERT_EQ(stringLength(buffer.data() + offset), n) << "offset " << offset;
        }
}

}  // namespace
}  // namespace kovirant
