// The account history's layout, shared by its store and its cache: which
// cells a row keeps and how they lie in the pool, and the cache file's
// checksum and reader (the tests craft caches with them too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>

#include "records/record_kinds.h"

namespace kovirant {

// The table's columns a history row keeps: every column of a register and
// an account-change row (the check compares them all), an institution's
// company number, tax number and code. The tax number comes first and the
// accounts after it, so the lookups find them without walking the row.
inline std::span<const std::size_t> storedColumns(ViewKind kind) {
    using namespace RegisterCol;
    static constexpr std::size_t reg[] = {taxBaseNumber, accountNumber, companyNumber, openingDate, closingDate,
                                          accountCode};
    static constexpr std::size_t inst[] = {InstitutionCol::taxBaseNumber, InstitutionCol::companyNumber,
                                           InstitutionCol::operationCode};
    static constexpr std::size_t acc[] = {
        AccountChangeCol::taxBaseNumber,      AccountChangeCol::newAccountNumber,   AccountChangeCol::originalAccountNumber,
        AccountChangeCol::companyNumber,      AccountChangeCol::originalOpeningDate, AccountChangeCol::originalClosingDate,
        AccountChangeCol::newOpeningDate,     AccountChangeCol::newClosingDate};
    static_assert(std::size(reg) == RegisterCol::count && std::size(acc) == AccountChangeCol::count);
    switch (kind) {
        case ViewRegister: return reg;
        case ViewInstitution: return inst;
        case ViewAccountChange: return acc;
    }
    return {};
}
// Where storedColumns puts the tax number and the accounts.
inline constexpr std::size_t kStoredTax = 0;
inline constexpr std::size_t kStoredAccount = 1;         // register: its account; account change: the new one
inline constexpr std::size_t kStoredOriginalAccount = 2;  // account change

// A history lies over at most this many layers, each a cache file of the
// reports one build added.
inline constexpr std::size_t kMostLayers = 10;
// A cell's place in a layer's pool is 32 bits: a layer holds at most this
// much (a row takes far less than the room left).
inline constexpr std::size_t kMostPool = std::size_t{0xFFFFFFFF} - (std::size_t{1} << 20);
// How many rows ahead the hash tables' slots are fetched: their loads, each
// far from the last in a table of millions, then overlap.
inline constexpr std::size_t kFetchAhead = 8;

// A cell in the pool: its length in one byte, or 255 and four bytes.
inline constexpr unsigned char kLongCell = 255;

template <class Bytes>
void appendCell(Bytes& pool, std::string_view cell) {
    if (cell.size() < kLongCell) {
        pool.push_back(static_cast<char>(cell.size()));
    } else {
        pool.push_back(static_cast<char>(kLongCell));
        const auto n = static_cast<std::uint32_t>(cell.size());
        pool.insert(pool.end(), reinterpret_cast<const char*>(&n), reinterpret_cast<const char*>(&n) + sizeof n);
    }
    pool.insert(pool.end(), cell.begin(), cell.end());
}

// The cell at `p` and the position after it.
inline std::string_view cellAt(const char*& p) {
    std::size_t n = static_cast<unsigned char>(*p++);
    if (n == kLongCell) {
        std::uint32_t len = 0;
        std::memcpy(&len, p, sizeof len);
        p += sizeof len;
        n = len;
    }
    const std::string_view cell(p, n);
    p += n;
    return cell;
}

// The cache's arrays each start at a multiple of this, so that a start
// that maps the file uses them in place.
inline constexpr std::size_t kCacheAlign = 8;

// A 64-bit checksum, fast enough not to count beside the read: four lanes
// of 8-byte words (independent, so the processor runs them side by side),
// carried on over the pieces it is fed (whole 32-byte blocks until the last
// piece), folded into one at the end.
class Checksum {
public:
    static constexpr std::size_t kBlock = 32;
    void add(std::string_view bytes) {
        const char* p = bytes.data();
        std::size_t n = bytes.size();
        for (; n >= kBlock; n -= kBlock, p += kBlock)
            for (std::size_t i = 0; i < 4; ++i) step(lane_[i], word(p + 8 * i));
        for (; n >= 8; n -= 8, p += 8) step(lane_[0], word(p));
        for (; n > 0; --n, ++p) lane_[0] = (lane_[0] ^ static_cast<unsigned char>(*p)) * kPrime;
    }
    std::uint64_t value() const {
        std::uint64_t h = lane_[0];
        for (std::size_t i = 1; i < 4; ++i) step(h, lane_[i]);
        return h;
    }

private:
    static constexpr std::uint64_t kPrime = 0x100000001B3ull;
    static std::uint64_t word(const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        return w;
    }
    static void step(std::uint64_t& h, std::uint64_t w) {
        h = (h ^ w) * kPrime;
        h ^= h >> 29;
    }
    std::uint64_t lane_[4] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0x27D4EB2F165667C5ull};
};

struct CacheReader {
    std::string_view all;
    std::size_t at = 0;
    bool ok = true;
    std::uint64_t number() {
        std::uint64_t n = 0;
        if (all.size() - at < sizeof n) return ok = false, 0;
        std::memcpy(&n, all.data() + at, sizeof n);
        at += sizeof n;
        return n;
    }
    std::string_view text() {
        const std::uint64_t n = number();
        if (!ok || n > all.size() - at) return ok = false, std::string_view();
        const std::string_view s = all.substr(at, n);
        at += n;
        return s;
    }
    // An array's bytes: its count, then (from a multiple of kCacheAlign)
    // that many elements of `size` bytes.
    std::string_view arrayBytes(std::size_t size) {
        const std::uint64_t n = number();
        if (at % kCacheAlign) at += kCacheAlign - at % kCacheAlign;
        if (!ok || at > all.size() || n > (all.size() - at) / size) return ok = false, std::string_view();
        const std::string_view v = all.substr(at, n * size);
        at += n * size;
        return v;
    }
    template <class T>
    std::span<const T> array() {
        const std::string_view v = arrayBytes(sizeof(T));
        return {reinterpret_cast<const T*>(v.data()), v.size() / sizeof(T)};
    }
};

}  // namespace kovirant
