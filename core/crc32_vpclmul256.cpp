// VPCLMULQDQ folding on 256-bit registers: each register carries two 128-bit lanes, four
// registers run side by side over 128 bytes per step.
#if defined(__x86_64__) || defined(__i386__)

#include "crc32_x86_fold.h"

#define SW_TARGET_VPCLMUL256 __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))

namespace sw::crc {
namespace {

using namespace x86;

template <unsigned Distance>
SW_TARGET_VPCLMUL256 inline __m256i lane_constant256() {
  return _mm256_broadcastsi128_si256(lane_constant128<Distance>());
}

SW_TARGET_VPCLMUL256 inline __m256i fold256(__m256i acc, __m256i k, __m256i next) {
  return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(acc, k, 0x00),
                                           _mm256_clmulepi64_epi128(acc, k, 0x11)),
                          next);
}

SW_TARGET_VPCLMUL256 inline __m256i moved256(__m256i acc, __m256i k) {
  return _mm256_xor_si256(_mm256_clmulepi64_epi128(acc, k, 0x00),
                          _mm256_clmulepi64_epi128(acc, k, 0x11));
}

SW_TARGET_VPCLMUL256 inline __m256i load256(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

SW_TARGET_VPCLMUL256 inline __m256i first_block256(const std::uint8_t* p, std::uint32_t crc) {
  return _mm256_xor_si256(load256(p),
                          _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
}

// The lower lane moved forward over the upper one, plus the upper one.
SW_TARGET_VPCLMUL256 inline __m128i narrow256(__m256i acc) {
  return fold128(_mm256_castsi256_si128(acc), lane_constant128<128>(),
                 _mm256_extracti128_si256(acc, 1));
}

}  // namespace

SW_TARGET_VPCLMUL256 std::uint32_t update_vpclmul256(const std::uint8_t* p, std::size_t length,
                                                     std::uint32_t crc) {
  if (length < 64) return update_clmul128(p, length, crc);
  const __m256i k1 = lane_constant256<256>();
  __m256i a = first_block256(p, crc);
  p += 32;
  length -= 32;
  if (length >= 3 * 32) {
    __m256i b = load256(p);
    __m256i c = load256(p + 32);
    __m256i d = load256(p + 64);
    p += 96;
    length -= 96;
    const __m256i k4 = lane_constant256<4 * 256>();
    for (; length >= 128; p += 128, length -= 128) {
      a = fold256(a, k4, load256(p));
      b = fold256(b, k4, load256(p + 32));
      c = fold256(c, k4, load256(p + 64));
      d = fold256(d, k4, load256(p + 96));
    }
    // Each register moved over the ones after it, all three at once.
    a = _mm256_xor_si256(_mm256_xor_si256(moved256(a, lane_constant256<3 * 256>()),
                                          moved256(b, lane_constant256<2 * 256>())),
                         fold256(c, k1, d));
  }
  for (; length >= 32; p += 32, length -= 32) a = fold256(a, k1, load256(p));
  return finish128(narrow256(a), p, length);
}

}  // namespace sw::crc

#endif
