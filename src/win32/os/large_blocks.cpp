// The Windows build's operator new and delete: a freed large block is kept
// and given to a later request it fits, rather than handed back to the
// system (the history's twelve report reads, tables and indexes take blocks
// of the same sizes over and over).
// Why: a fresh 4 KB page costs a fault (about 25 us under Wine here); the whole-table steps fault 291,000 pages -> 172,000.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Before every block given out: where its allocation starts and how large
// that is; 16 bytes keep new's alignment.
struct Header {
    char* start;
    std::size_t size;
};
constexpr std::size_t kHeader = 16;
static_assert(sizeof(Header) <= kHeader && kHeader % alignof(std::max_align_t) == 0);
// Allocations from this size on are kept when freed, up to kKeptMost bytes in all.
constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kKeptMost = sizeof(void*) == 8 ? std::size_t{512} << 20 : std::size_t{128} << 20;
constexpr int kSlots = 64;
// What the runtime's malloc aligns to (msvcrt: 16 bytes on 64-bit Windows, 8 on 32-bit).
constexpr std::size_t kMallocAlignment = sizeof(void*) == 8 ? 16 : 8;

SRWLOCK lock = SRWLOCK_INIT;
Header kept[kSlots];
std::size_t keptBytes = 0;

struct Locked {
    Locked() { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
};

// The smallest kept allocation that holds n bytes and wastes no more than n.
Header takeKept(std::size_t n) {
    const Locked hold;
    int best = -1;
    for (int i = 0; i < kSlots; ++i)
        if (kept[i].start && kept[i].size >= n && kept[i].size / 2 <= n && (best < 0 || kept[i].size < kept[best].size))
            best = i;
    if (best < 0) return {};
    const Header taken = kept[best];
    keptBytes -= taken.size;
    kept[best] = {};
    return taken;
}

// Keeps the allocation, or frees it where no room is left.
void keep(Header h) {
    {
        const Locked hold;
        if (keptBytes + h.size <= kKeptMost)
            for (Header& k : kept)
                if (!k.start) {
                    k = h;
                    keptBytes += h.size;
                    return;
                }
    }
    std::free(h.start);
}

// Every kept allocation back to the system: what a request that the system
// refused is retried after (32-bit address space is scarce near its end).
bool releaseKept() {
    Header freed[kSlots];
    int count = 0;
    {
        const Locked hold;
        for (Header& k : kept)
            if (k.start) freed[count++] = k, k = {};
        keptBytes = 0;
    }
    for (int i = 0; i < count; ++i) std::free(freed[i].start);
    return count > 0;
}

void* allocate(std::size_t n, std::size_t alignment = kMallocAlignment) {
    const bool aligned = alignment > kMallocAlignment;
    const std::size_t extra = kHeader + (aligned ? alignment : 0);
    if (n > static_cast<std::size_t>(-1) - extra) throw std::bad_alloc();
    Header h = n + extra >= kLarge ? takeKept(n + extra) : Header{};
    if (!h.start) {
        h = {static_cast<char*>(std::malloc(n + extra)), n + extra};
        if (!h.start && releaseKept()) h.start = static_cast<char*>(std::malloc(n + extra));
        if (!h.start) throw std::bad_alloc();
    }
    std::uintptr_t at = reinterpret_cast<std::uintptr_t>(h.start) + kHeader;
    if (aligned) at = (at + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
    char* const block = reinterpret_cast<char*>(at);
    *reinterpret_cast<Header*>(block - kHeader) = h;
    return block;
}

void release(void* p) noexcept {
    if (!p) return;
    const Header h = *reinterpret_cast<const Header*>(static_cast<char*>(p) - kHeader);
    if (h.size >= kLarge) return keep(h);
    std::free(h.start);
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
