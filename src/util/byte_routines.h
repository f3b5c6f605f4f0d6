// The C library's byte routines (memchr, memcpy/memmove, memcmp, strlen) with SSE2,
// for a runtime whose own are slow: the Windows build puts them in place of
// its runtime's (win32/os/byte_routines.cpp), whose memchr and small copies
// go a byte at a time under Wine. Natively the C library's stay in use; the
// tests hold these to the library's results.
#pragma once

#include <cstddef>

namespace kovirant {

// As memchr: the first byte equal to `byte` among the n at `at`, or null.
const void* findByte(const void* at, int byte, std::size_t n);
// As memmove: the regions may overlap.
void moveBytes(void* to, const void* from, std::size_t n);
// As memcmp: the sign of the first differing byte, as unsigned char.
int compareBytes(const void* a, const void* b, std::size_t n);
// As strlen.
std::size_t stringLength(const char* text);

}  // namespace kovirant
