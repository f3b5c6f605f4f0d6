// The history's key tables: how a slot holds a reference and a tag of its
// key's hash, and the bounded probe every look-up and insert shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "archive/account_history.h"

namespace kovirant {

// A slot holds a reference + 1 in its low bits and four bits of its key's
// hash above them: most slots of other keys met on the way are passed over
// without reading their row (which is far away in memory).
inline constexpr std::uint32_t kRefMask = (std::uint32_t{1} << 28) - 1;
inline std::uint32_t slotTag(std::uint64_t hash) { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 60) << 28; }

// Where `key` is in `slots` (a power of two of them): its own slot, or the
// empty one where it would go; slots.size() when a whole round met neither
// (a table this program builds is never full, a cache's is refused when it
// is: the bound is for what it could not check).
template <class KeyOf>
std::size_t probeSlots(std::span<const std::uint32_t> slots, std::uint64_t hash, std::string_view key, const KeyOf& keyOf) {
    const std::uint32_t tag = slotTag(hash);
    std::size_t i = static_cast<std::size_t>(hash) & (slots.size() - 1);
    for (std::size_t step = 0; step < slots.size(); ++step, i = (i + 1) & (slots.size() - 1))
        if (slots[i] == 0 || ((slots[i] & ~kRefMask) == tag && keyOf((slots[i] & kRefMask) - 1) == key)) return i;
    return slots.size();
}

template <class KeyOf>
std::uint32_t AccountHistory::KeyIndexView::find(std::uint64_t hash, std::string_view key, const KeyOf& keyOf) const {
    if (slots.empty()) return 0;
    const std::size_t i = probeSlots(slots, hash, key, keyOf);
    return i == slots.size() ? 0 : refIn(slots[i]);
}

}  // namespace kovirant
