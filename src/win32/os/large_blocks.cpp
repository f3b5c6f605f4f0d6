// The Windows build's operator new and delete: a freed large block is kept
// and given to a later request it fits, rather than handed back to the
// system. Why: each fresh 4 KB page costs a fault (25 us under Wine here);
// the history's twelve report reads, tables and indexes take blocks of
// the same sizes over and over.
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Every block starts with its usable size; 16 bytes keep new's alignment.
constexpr std::size_t kHeader = 16;
static_assert(kHeader >= sizeof(std::size_t) && kHeader % alignof(std::max_align_t) == 0);
// Blocks from this size on are kept when freed, up to kKeptMost bytes in all.
constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kKeptMost = sizeof(void*) == 8 ? std::size_t{512} << 20 : std::size_t{128} << 20;
constexpr int kSlots = 64;

struct Kept {
    char* block = nullptr;
    std::size_t size = 0;
};

SRWLOCK lock = SRWLOCK_INIT;
Kept kept[kSlots];
std::size_t keptBytes = 0;

struct Locked {
    Locked() { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
};

// The smallest kept block that holds n bytes and wastes no more than n.
char* takeKept(std::size_t n) {
    const Locked hold;
    int best = -1;
    for (int i = 0; i < kSlots; ++i)
        if (kept[i].block && kept[i].size >= n && kept[i].size / 2 <= n && (best < 0 || kept[i].size < kept[best].size))
            best = i;
    if (best < 0) return nullptr;
    char* const block = kept[best].block;
    keptBytes -= kept[best].size;
    kept[best] = {};
    return block;
}

// Keeps the block, or frees it where no room is left.
void keep(char* block, std::size_t size) {
    {
        const Locked hold;
        if (keptBytes + size <= kKeptMost)
            for (Kept& k : kept)
                if (!k.block) {
                    k = {block, size};
                    keptBytes += size;
                    return;
                }
    }
    std::free(block);
}

void* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) - kHeader) throw std::bad_alloc();
    char* block = n >= kLarge ? takeKept(n) : nullptr;
    if (block) return block + kHeader;
    block = static_cast<char*>(std::malloc(n + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = n;
    return block + kHeader;
}

void release(void* p) noexcept {
    if (!p) return;
    char* const block = static_cast<char*>(p) - kHeader;
    const std::size_t size = *reinterpret_cast<std::size_t*>(block);
    if (size >= kLarge) return keep(block, size);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
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
