// The history's key tables, by their keys' text: a slot holds a reference
// + 1, and a key is the text its reference gives (`keyOf`).
#pragma once

#include <cstdint>
#include <string_view>

#include "archive/account_history.h"
#include "util/string_hash.h"

namespace kovirant {

// The reference + 1 under `key` in `index`; 0 when it holds none.
template <class KeyOf>
std::uint32_t findKey(const AccountHistory::KeyIndexView& index, std::uint64_t hash, std::string_view key,
                      const KeyOf& keyOf) {
    return index.find(hash, [&](std::uint32_t ref) { return keyOf(ref) == key; });
}

// The slot of `key` in `index`, room made for it: an empty one (0) the caller fills.
template <class KeyOf>
std::uint32_t& keySlot(AccountHistory::KeyIndex& index, std::uint64_t hash, std::string_view key, const KeyOf& keyOf) {
    index.makeRoom([&](std::uint32_t s) { return stringHash(keyOf(AccountHistory::KeyIndex::entryIn(s) - 1)); });
    return index[index.place(hash, [&](std::uint32_t ref) { return keyOf(ref) == key; })];
}

}  // namespace kovirant
