// The Windows build's memchr, memcpy, memmove, memcmp and strlen: util/byte_routines
// in place of the runtime's (linked before msvcrt.dll, they take its place).
// Why: Wine's msvcrt scans memchr and strlen and copies short blocks a byte at a time; 1,000,000-line import 2.0 s -> 0.9 s under Wine.
#include <cstddef>

#include "util/byte_routines.h"

extern "C" {

void* memchr(const void* at, int byte, std::size_t n) { return const_cast<void*>(kovirant::findByte(at, byte, n)); }

void* memmove(void* to, const void* from, std::size_t n) {
    kovirant::moveBytes(to, from, n);
    return to;
}

void* memcpy(void* to, const void* from, std::size_t n) {
    kovirant::moveBytes(to, from, n);
    return to;
}

int memcmp(const void* a, const void* b, std::size_t n) { return kovirant::compareBytes(a, b, n); }

std::size_t strlen(const char* text) { return kovirant::stringLength(text); }

}  // extern "C"
