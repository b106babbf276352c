// Builds file contents with a chosen CRC-32, for listing tests that need "0" or short texts.
#pragma once

#include <cstdint>
#include <string>

#include "core/crc/crc32.h"

namespace sw::test {

// `prefix` followed by four bytes that make the whole content's CRC-32 equal `target`.
// Feeding a 32-bit little-endian word w is the same as feeding four zero bytes into
// register ^ w, and the zero-byte step is invertible because the table's top bytes are
// all different.
inline std::string with_crc(std::string prefix, std::uint32_t target) {
  const std::uint32_t before = CRCUPDATE(prefix.data(), prefix.size(), kCrcInitial);
  std::uint32_t r = target ^ kCrcFinalXor;
  for (int step = 0; step < 4; ++step) {
    std::uint32_t idx = 0;
    while ((kCrcTable[idx] >> 24) != (r >> 24)) ++idx;
    r = ((r ^ kCrcTable[idx]) << 8) | idx;
  }
  const std::uint32_t word = r ^ before;
  for (int i = 0; i < 4; ++i) prefix.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
  return prefix;
}

}  // namespace sw::test
