// CRC-32 (the polynomial of zip and PNG), for records that check themselves.
#pragma once

#include <cstdint>
#include <string_view>

namespace kovirant {

// The CRC-32 of `bytes` continued from `crc` (0 for a fresh start).
std::uint32_t crc32(std::string_view bytes, std::uint32_t crc = 0);

}  // namespace kovirant
