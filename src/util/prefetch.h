// Asks the processor for the memory at an address that is to be read
// shortly: lookups in large hash tables start their loads a few rows ahead,
// so that they wait for the memory together rather than one by one.
#pragma once

namespace kovirant {

inline void prefetch(const void* at) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(at);
#else
    (void)at;
#endif
}

}  // namespace kovirant
