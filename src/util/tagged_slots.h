// Open addressing with tags, for the hash tables of up to millions of keys
// (the check's repeated rows and accounts, the history's references, the
// directory's tax numbers). A power of two of slots, each 0 when empty or an
// entry (a value + 1) in its low bits under a tag, the high bits of its key's
// hash, in its high bits. A key's home slot is the low bits of its hash (a
// caller that chooses homes itself puts them there, and a key that fits the
// tag in the high bits); a probe walks on slot by slot for one pass at most.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <type_traits>
#include <vector>

#include "util/os_file.h"
#include "util/prefetch.h"

namespace kovirant {

template <class Slot, unsigned TagBits>
class TaggedSlots {
    static_assert(std::is_unsigned_v<Slot> && sizeof(Slot) <= sizeof(std::uint64_t));
    static_assert(TagBits > 0 && TagBits < static_cast<unsigned>(std::numeric_limits<Slot>::digits));

public:
    static constexpr unsigned kEntryBits = std::numeric_limits<Slot>::digits - TagBits;
    static constexpr Slot kEntryMask = static_cast<Slot>((Slot{1} << kEntryBits) - 1);  // the most an entry can be

    static constexpr Slot tagOf(std::uint64_t hash) { return static_cast<Slot>(hash >> (64 - TagBits)) << kEntryBits; }
    // The slot of an entry (a value + 1, so never 0) under its key's hash.
    static constexpr Slot slotOf(std::uint64_t hash, std::uint64_t entry) {
        assert(entry != 0 && entry <= kEntryMask);
        return tagOf(hash) | static_cast<Slot>(entry);
    }
    // A slot's entry, 0 when it is empty.
    static constexpr Slot entryIn(Slot slot) { return slot & kEntryMask; }
    static std::size_t homeOf(std::size_t size, std::uint64_t hash) { return static_cast<std::size_t>(hash) & (size - 1); }

    // Where the key `same` knows is in `slots` (a power of two of them, or
    // none): its own slot, or the empty one where it would go; slots.size()
    // when one pass met neither (a table this program fills is never full,
    // a stored one may be). `same(value)` is asked only of slots of its tag.
    template <class Same>
    static std::size_t probe(std::span<const Slot> slots, std::uint64_t hash, const Same& same) {
        const Slot tag = tagOf(hash);
        const std::size_t mask = slots.size() - 1;
        std::size_t i = static_cast<std::size_t>(hash) & mask;
        for (std::size_t step = 0; step < slots.size(); ++step, i = (i + 1) & mask) {
            const Slot s = slots[i];
            if (s == 0 || ((s & ~kEntryMask) == tag && same(static_cast<Slot>((s & kEntryMask) - 1)))) return i;
        }
        return slots.size();
    }
    // Asks the processor for the slot a probe of `hash` starts at (each far
    // from the last in a table of millions: a few asked ahead wait together).
    static void prefetchHome(std::span<const Slot> slots, std::uint64_t hash) {
        if (!slots.empty()) kovirant::prefetch(&slots[homeOf(slots.size(), hash)]);
    }

    // The slots as they are, or as a file stored them, with their count of used ones.
    struct View {
        std::span<const Slot> slots;
        std::uint64_t used = 0;
        // The entry of the key `same` knows; 0 when there is none.
        template <class Same>
        Slot find(std::uint64_t hash, const Same& same) const {
            const std::size_t i = probe(slots, hash, same);
            return i == slots.size() ? 0 : entryIn(slots[i]);
        }
        void prefetch(std::uint64_t hash) const { prefetchHome(slots, hash); }
    };

    // Room for `keys` at load ½ (an empty table; a filled one is kept), at least `least` slots.
    void presize(std::size_t keys, std::size_t least = kLeast) {
        if (used_ != 0) return;
        slots_ = largeVector<Slot>(std::max(least, std::bit_ceil(keys * 2 + 2)));
    }
    // Room for one more key at load ½: else twice the slots (at least
    // `least`), each key placed anew by `hashOf(slot)`, the hash of its key.
    template <class HashOf>
    void makeRoom(const HashOf& hashOf, std::size_t least = kLeast) {
        if ((used_ + 1) * 2 <= slots_.size()) return;
        std::vector<Slot> old = std::move(slots_);
        slots_ = largeVector<Slot>(std::max(least, old.size() * 2));
        const std::size_t mask = slots_.size() - 1;
        for (const Slot s : old) {
            if (s == 0) continue;
            std::size_t i = homeOf(slots_.size(), hashOf(s));
            while (slots_[i] != 0) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }
    // The slot of the key `same` knows: its own, or the empty one where it
    // goes, then counted as used (the caller fills it).
    template <class Same>
    std::size_t place(std::uint64_t hash, const Same& same) {
        assert((used_ + 1) * 2 <= slots_.size());  // load ½ at most: every probe ends at an empty slot, 1.5 slots on average when found
        const std::size_t i = probe(std::span<const Slot>(slots_), hash, same);
        if (slots_[i] == 0) ++used_;
        return i;
    }
    Slot& operator[](std::size_t i) { return slots_[i]; }
    Slot operator[](std::size_t i) const { return slots_[i]; }
    template <class Same>
    Slot find(std::uint64_t hash, const Same& same) const { return view().find(hash, same); }
    void prefetch(std::uint64_t hash) const { prefetchHome(slots_, hash); }

    View view() const { return {slots_, used_}; }
    std::size_t size() const { return slots_.size(); }
    std::size_t used() const { return used_; }
    std::size_t bytes() const { return slots_.capacity() * sizeof(Slot); }

private:
    static constexpr std::size_t kLeast = 16;
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace kovirant
