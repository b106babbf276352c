// 128-bit folding steps shared by the x86 kernels. Every helper carries its own target
// attribute, so no global instruction-set flags are needed; the wider kernels inline them and
// get them VEX-encoded.
#pragma once

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "core/crc/fold_constants.h"
#include "core/crc/kernels.h"

#define SW_TARGET_CLMUL __attribute__((target("pclmul,sse4.1")))

// Compiles everything between the two for the instruction set `features`, templates and their
// instantiations included (each kernel's file uses them around its lane type and the fold loop).
#define SW_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define SW_BEGIN_TARGET(features) \
  SW_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define SW_END_TARGET() SW_PRAGMA(clang attribute pop)
#else
#define SW_BEGIN_TARGET(features) SW_PRAGMA(GCC push_options) SW_PRAGMA(GCC target(features))
#define SW_END_TARGET() SW_PRAGMA(GCC pop_options)
#endif

namespace sw::crc::x86 {

// Below this many bytes slicing (one 16-byte step and at most three single bytes) is quicker
// than the fixed cost of the 128-bit path's shuffles and final reduction.
inline constexpr std::size_t kClmulMinLength = 20;

// Both multipliers of moving a 128-bit lane forward by Distance bits, low half first.
template <unsigned Distance>
SW_TARGET_CLMUL inline __m128i lane_constant128() {
  constexpr fold::LaneMultipliers m = fold::lane_multipliers(Distance);
  return _mm_set_epi64x(static_cast<long long>(m.high), static_cast<long long>(m.low));
}

// acc moved forward over the width of `next`, plus `next`.
SW_TARGET_CLMUL inline __m128i fold128(__m128i acc, __m128i k, __m128i next) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11)), next);
}

// acc moved forward by the distance k was made for, without adding anything.
SW_TARGET_CLMUL inline __m128i moved128(__m128i acc, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11));
}

SW_TARGET_CLMUL inline __m128i load128(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The running value of a stream whose bytes so far reduce to the 128-bit lane `acc`, i.e.
// acc * x^32 mod P, by two folds and a Barrett reduction.
SW_TARGET_CLMUL inline std::uint32_t reduce128(__m128i acc) {
  constexpr std::uint64_t k96 = fold::multiplier(96);
  constexpr std::uint64_t k64 = fold::multiplier(64);
  const __m128i k = _mm_set_epi64x(static_cast<long long>(k64), static_cast<long long>(k96));
  // acc * x^32 = H*x^96 + L*x^32: degree <= 95, held in bits 32..127. L*x^32 is the high
  // half moved down 32 bits, with the bits of H that the shift brings along cleared.
  const __m128i l32 = _mm_blend_epi16(_mm_srli_si128(acc, 4), _mm_setzero_si128(), 0x03);
  const __m128i t = _mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), l32);
  // Its top 32 coefficients (bits 32..63) times x^64 joined to the rest: degree <= 63, held
  // in the high half; the low half is left over and ignored.
  const __m128i u = _mm_xor_si128(_mm_clmulepi64_si128(t, k, 0x10), t);
  // Barrett: q = floor(top32(u) * mu / x^32); the remainder is the low 32 coefficients of
  // u + q*P. The low 32 bits of the first product see only the top 32 coefficients of u.
  const __m128i b = _mm_set_epi64x(static_cast<long long>(fold::kPolyReflected33),
                                   static_cast<long long>(fold::kBarrettMu));
  const __m128i q = _mm_cvtsi32_si128(_mm_cvtsi128_si32(_mm_clmulepi64_si128(u, b, 0x01)));
  const __m128i qp = _mm_clmulepi64_si128(q, b, 0x10);
  return static_cast<std::uint32_t>(_mm_extract_epi32(qp, 1)) ^
         static_cast<std::uint32_t>(_mm_extract_epi32(u, 3));
}

// Shuffle controls for the last partial block; a control byte with its top bit set yields 0.
// Read 16 bytes from offset t: kKeepFrom[t..] moves lane bytes t..15 down to 0..15-t and
// clears the rest; kTopOf[t..] moves lane bytes 0..t-1 up to 16-t..15 and clears the rest.
alignas(16) inline constexpr std::uint8_t kKeepFrom[32] = {
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
alignas(16) inline constexpr std::uint8_t kTopOf[32] = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15};

// Folds the remaining whole 16-byte blocks into acc, then the last 1..15 bytes, and reduces.
// The stream is acc followed by t tail bytes. Its first t bytes, taken from the top of acc
// (with leading zeros, which change nothing), are moved forward over a full block made of the
// rest of acc and the t tail bytes. Those come from the 16 bytes that end exactly at p + t,
// which lie inside the piece because acc already stands for at least 16 of its bytes.
SW_TARGET_CLMUL inline std::uint32_t finish128(__m128i acc, const std::uint8_t* p,
                                               std::size_t length) {
  const __m128i k = lane_constant128<128>();
  for (; length >= 16; p += 16, length -= 16) acc = fold128(acc, k, load128(p));
  if (length != 0) {
    const __m128i keep = load128(kKeepFrom + length);
    const __m128i ending = load128(p + length - 16);
    const __m128i block = _mm_blendv_epi8(_mm_shuffle_epi8(acc, keep), ending, keep);
    const __m128i head = _mm_shuffle_epi8(acc, load128(kTopOf + length));
    acc = fold128(head, k, block);
  }
  return reduce128(acc);
}

// The first block of a stream piece with the incoming running value laid over its first
// four bytes, which is how the value enters the polynomial.
SW_TARGET_CLMUL inline __m128i first_block128(const std::uint8_t* p, std::uint32_t crc) {
  return _mm_xor_si128(load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
}

}  // namespace sw::crc::x86

#endif
