// CRC-32/ISO-HDLC (the CRC of zlib, PNG and IEEE 802.3): reflected polynomial 0xEDB88320.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sw {

inline constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;
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

// Feeds `length` bytes into the running value `crc` and returns the new running value.
// No initial value and no final XOR are applied here, so one stream may be fed in any
// number of consecutive pieces. Runs the fastest kernel this CPU supports.
std::uint32_t CRCUPDATE(const void* data, std::size_t length, std::uint32_t crc);

// Whole-buffer CRC-32 with the initial value and final XOR applied.
inline std::uint32_t crc32_of(const void* data, std::size_t length) {
  return CRCUPDATE(data, length, kCrcInitial) ^ kCrcFinalXor;
}

}  // namespace sw
