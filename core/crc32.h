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

// The kernels behind CRCUPDATE. One is chosen per process: the fastest tier this CPU and OS can
// run. Tests and benchmarks may reach each tier; --version names the one in use.
namespace crc {

// Every kernel has CRCUPDATE's contract: running value in, running value out.
using Kernel = std::uint32_t (*)(const std::uint8_t* data, std::size_t length, std::uint32_t crc);

// Fastest last.
enum class Tier : int {
  kByteTable = 0,   // one table lookup per byte: the reference
  kSlicing = 1,     // portable slicing-by-16
  kClmul128 = 2,    // x86 PCLMULQDQ folding, 128 bits
  kVpclmul256 = 3,  // x86 VPCLMULQDQ folding, 256 bits (AVX2 state)
  kVpclmul512 = 4,  // x86 VPCLMULQDQ folding, 512 bits (AVX-512 state)
};
inline constexpr int kTierCount = 5;

const char* tier_name(Tier tier);

// The kernel of a tier when it is built in and this CPU can run it, otherwise null.
Kernel kernel_for(Tier tier);

// The tier CRCUPDATE uses. Chosen on first use and cached.
Tier active_tier();

// Makes CRCUPDATE use `tier`. Returns false, changing nothing, when the tier is not available.
bool force_tier(Tier tier);

// Goes back to the automatic choice: the highest tier this CPU and OS can run. Returns it.
Tier use_best_tier();

}  // namespace crc
}  // namespace sw
