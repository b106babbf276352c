// VPCLMULQDQ folding on 512-bit registers: each register carries four 128-bit lanes, four
// registers run side by side over 256 bytes per step.
#if defined(__x86_64__) || defined(__i386__)

#include "core/crc/kernels.h"
#include "core/crc/x86_fold.h"

SW_BEGIN_TARGET("avx512f,avx512bw,avx512vl,vpclmulqdq,pclmul,sse4.1")
#include "core/crc/fold_loop.h"

namespace sw::crc {
namespace {

// From this length on, aligning the loads pays for the few extra instructions.
constexpr std::size_t kAlignMinLength = 512;

struct Lanes512 {
  using Reg = __m512i;
  static constexpr std::size_t kBytes = 64;
  static Reg load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
  // (The zero-masked forms of broadcast and extract avoid GCC 12's uninitialized-value warnings
  // from the unmasked intrinsics; they compile to the same instructions.)
  template <unsigned Distance>
  static Reg lanes() {
    return _mm512_maskz_broadcast_i32x4(0xFFFF, x86::lane_constant128<Distance>());
  }
  static Reg fold(Reg acc, Reg k, Reg next) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(acc, k, 0x00),
                                     _mm512_clmulepi64_epi128(acc, k, 0x11), next, 0x96);
  }
  static Reg moved(Reg acc, Reg k) {
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(acc, k, 0x00),
                            _mm512_clmulepi64_epi128(acc, k, 0x11));
  }
  static Reg join(Reg a, Reg b, Reg c) { return _mm512_ternarylogic_epi64(a, b, c, 0x96); }
  static __m128i narrow(Reg acc);
};

// Lanes 0..2 moved forward over the lanes after them (384, 256, 128 bits) in one multiply
// with a different multiplier pair per lane; lane 3 gets zero multipliers and joins as is.
__m128i Lanes512::narrow(__m512i acc) {
  constexpr fold::LaneMultipliers m0 = fold::lane_multipliers(384);
  constexpr fold::LaneMultipliers m1 = fold::lane_multipliers(256);
  constexpr fold::LaneMultipliers m2 = fold::lane_multipliers(128);
  const __m512i k =
      _mm512_set_epi64(0, 0, static_cast<long long>(m2.high), static_cast<long long>(m2.low),
                       static_cast<long long>(m1.high), static_cast<long long>(m1.low),
                       static_cast<long long>(m0.high), static_cast<long long>(m0.low));
  const __m512i moved = _mm512_xor_si512(_mm512_clmulepi64_epi128(acc, k, 0x00),
                                         _mm512_clmulepi64_epi128(acc, k, 0x11));
  const __m256i halves = _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xFF, moved, 0),
                                          _mm512_maskz_extracti64x4_epi64(0xFF, moved, 1));
  return _mm_ternarylogic_epi64(_mm256_castsi256_si128(halves), _mm256_extracti128_si256(halves, 1),
                                _mm512_maskz_extracti32x4_epi32(0xF, acc, 3), 0x96);
}

// The first block of a piece that starts `offset` (1..60) bytes into a 64-byte line: a masked
// load from the line start, so the bytes before the piece read as zeros without being touched,
// and the running value laid over the piece's first four bytes. Leading zeros do not change
// the polynomial, so this block stands for exactly the piece's first 64 - offset bytes.
__m512i first_partial_block512(const std::uint8_t* p, unsigned offset, std::uint32_t crc) {
  const auto line = reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) - offset);
  const __m512i bytes = _mm512_maskz_loadu_epi8(~__mmask64{0} << offset, line);
  const std::uint64_t placed = std::uint64_t{crc} << (8 * (offset % 4));
  const unsigned dword = offset / 4;  // at most 15; a value spilling past it has offset < 60
  const __m512i value = _mm512_mask_set1_epi32(
      _mm512_maskz_set1_epi32(static_cast<__mmask16>(1u << dword), static_cast<int>(placed)),
      static_cast<__mmask16>((1u << (dword + 1)) & 0xFFFFu), static_cast<int>(placed >> 32));
  return _mm512_xor_si512(bytes, value);
}

__m512i first_block512(const std::uint8_t* p, std::uint32_t crc) {
  return _mm512_xor_si512(Lanes512::load(p),
                          _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
}

}  // namespace

std::uint32_t update_vpclmul512(const std::uint8_t* p, std::size_t length, std::uint32_t crc) {
  if (length < 64) return update_clmul128(p, length, crc);
  // Long pieces start on a 64-byte line so that no load of the main loop splits a line.
  const unsigned offset = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p) % 64);
  if (length >= kAlignMinLength && offset > 60) {
    crc = update_slicing(p, 64 - offset, crc);  // fewer than four bytes to the line
    length -= 64 - offset;
    p += 64 - offset;
  }
  __m512i a;
  if (length >= kAlignMinLength && offset != 0 && offset <= 60) {
    a = first_partial_block512(p, offset, crc);
    p += 64 - offset;
    length -= 64 - offset;
  } else {
    a = first_block512(p, crc);
    p += 64;
    length -= 64;
  }
  return x86::fold_rest<Lanes512>(a, p, length);
}

}  // namespace sw::crc

SW_END_TARGET()

#endif
