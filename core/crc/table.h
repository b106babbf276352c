// The parameters of CRC-32/ISO-HDLC (the CRC of zlib, PNG and IEEE 802.3) and its byte table:
// what every kernel and the dispatcher share, and nothing else.
#pragma once

#include <array>
#include <cstdint>

namespace sw {

inline constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;  // reflected
inline constexpr std::uint32_t kCrcInitial = 0xFFFFFFFFu;
inline constexpr std::uint32_t kCrcFinalXor = 0xFFFFFFFFu;

namespace detail {
constexpr std::array<std::uint32_t, 256> make_crc_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t value = n;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ ((value & 1u) ? kCrcPolynomial : 0u);
    table[n] = value;
  }
  return table;
}
}  // namespace detail

// The reference lookup table: entry n is n shifted right eight times, XOR-ing the
// polynomial after every shift that drops a 1 bit. Built by the compiler, never at run time.
inline constexpr std::array<std::uint32_t, 256> kCrcTable = detail::make_crc_table();
static_assert(kCrcTable[0] == 0 && kCrcTable[1] == 0x77073096u && kCrcTable[128] == 0xEDB88320u &&
              kCrcTable[255] == 0x2D02EF8Du);

}  // namespace sw
