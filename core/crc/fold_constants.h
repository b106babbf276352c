// Constants of carry-less-multiply folding, computed by the compiler from the polynomial.
//
// Bit order: the CRC is reflected, so a value read from memory in little-endian order holds the
// coefficient of the highest power of x in its bit 0. A 32-bit value v stands for the polynomial
// whose x^(31-i) coefficient is bit i of v; a 64-bit half of a vector lane stands for the
// polynomial whose x^(63-i) coefficient is bit i. A carry-less product of two such halves lands
// one place lower than the 128-bit reading of the result expects, i.e. the product reads as
// (a * b * x); the multipliers below are lowered by one power to make up for it.
#pragma once

#include <cstdint>

#include "core/crc/table.h"

namespace sw::crc::fold {

// x^n mod P in the reflected 32-bit form: multiplying by x is a right shift, and the x^32 that
// falls out of bit 0 is replaced by its residue, which is the reflected polynomial itself.
constexpr std::uint32_t xpow_mod(unsigned n) {
  std::uint32_t r = 0x80000000u;  // x^0
  for (; n > 0; --n) r = (r >> 1) ^ ((r & 1u) ? kCrcPolynomial : 0u);
  return r;
}

// The 64-bit multiplier that, carry-less multiplied with one 64-bit half a, yields a value
// congruent to a * x^e: it holds x^(e-1) mod P in its upper 32 bits, so every product lies in
// bits 32..126 and, read as a 128-bit value, has degree at most 95.
constexpr std::uint64_t multiplier(unsigned e) {
  return std::uint64_t{xpow_mod(e - 1)} << 32;
}

// The same multiplier in the 33-bit form found in published folding tables: x^(e-32) mod P
// shifted up one bit. Used only to cross-check xpow_mod against those tables.
constexpr std::uint64_t multiplier33(unsigned e) {
  return std::uint64_t{xpow_mod(e - 32)} << 1;
}

// A 128-bit lane A = H*x^64 + L (H in the low half, L in the high half) moved forward by
// `distance` bits is H*x^(distance+64) + L*x^distance: one multiplier per half.
struct LaneMultipliers {
  std::uint64_t low;   // for the low half, x^(distance+64)
  std::uint64_t high;  // for the high half, x^distance
};
constexpr LaneMultipliers lane_multipliers(unsigned distance) {
  return {multiplier(distance + 64), multiplier(distance)};
}

constexpr std::uint32_t reflect32(std::uint32_t v) {
  std::uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}

// The full polynomial P (degree 32) reflected into 33 bits: bit j is the x^(32-j) coefficient.
inline constexpr std::uint64_t kPolyReflected33 = (std::uint64_t{kCrcPolynomial} << 1) | 1u;

// Barrett's mu = floor(x^64 / P), degree 32, reflected into 33 bits like kPolyReflected33.
constexpr std::uint64_t barrett_mu_reflected33() {
  const std::uint64_t p = (std::uint64_t{1} << 32) | reflect32(kCrcPolynomial);  // normal order
  std::uint64_t remainder = 0;
  std::uint64_t quotient = 0;
  for (int power = 64; power >= 0; --power) {  // long division of x^64, one dividend bit a step
    remainder = (remainder << 1) | (power == 64 ? 1u : 0u);
    quotient <<= 1;
    if (remainder >> 32) {
      remainder ^= p;
      quotient |= 1u;
    }
  }
  std::uint64_t reflected = 0;
  for (int j = 0; j <= 32; ++j) reflected |= ((quotient >> (32 - j)) & 1u) << j;
  return reflected;
}
inline constexpr std::uint64_t kBarrettMu = barrett_mu_reflected33();

// Cross-checks against values published for this polynomial (folding by 4x128 bits, the
// 128-bit step, the final 64-bit step, and Barrett's mu and P).
static_assert(multiplier33(4 * 128 + 64) == 0x154442BD4u && multiplier33(4 * 128) == 0x1C6E41596u);
static_assert(multiplier33(128 + 64) == 0x1751997D0u && multiplier33(128) == 0x0CCAA009Eu);
static_assert(multiplier33(96) == 0x163CD6124u);
static_assert(kBarrettMu == 0x1F7011641u && kPolyReflected33 == 0x1DB710641u);

}  // namespace sw::crc::fold
