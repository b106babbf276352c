// PCLMULQDQ folding: four 128-bit lanes run side by side, each moved forward over 64 bytes
// per step, so the multiplier latency overlaps; the lanes are then joined and reduced.
#if defined(__x86_64__) || defined(__i386__)

#include "crc32_x86_fold.h"

// 32-bit Windows only promises a 4-byte aligned stack, and with eight XMM registers the
// compiler spills a vector to it and uses the slot as a 16-byte memory operand; realign on entry.
// (The 256- and 512-bit kernels realign their frames by themselves.)
#if defined(__i386__)
#define SW_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define SW_REALIGN_STACK
#endif

namespace sw::crc {

using namespace x86;

SW_TARGET_CLMUL SW_REALIGN_STACK std::uint32_t update_clmul128(const std::uint8_t* p,
                                                               std::size_t length,
                                                               std::uint32_t crc) {
  if (length < kClmulMinLength) return update_slicing(p, length, crc);
  __m128i a = first_block128(p, crc);
  if (length < 64) return finish128(a, p + 16, length - 16);

  __m128i b = load128(p + 16);
  __m128i c = load128(p + 32);
  __m128i d = load128(p + 48);
  p += 64;
  length -= 64;
  const __m128i k4 = lane_constant128<4 * 128>();
  for (; length >= 64; p += 64, length -= 64) {
    a = fold128(a, k4, load128(p));
    b = fold128(b, k4, load128(p + 16));
    c = fold128(c, k4, load128(p + 32));
    d = fold128(d, k4, load128(p + 48));
  }
  // Each lane moved over the lanes after it, all three at once rather than one after another.
  a = _mm_xor_si128(_mm_xor_si128(moved128(a, lane_constant128<3 * 128>()),
                                  moved128(b, lane_constant128<2 * 128>())),
                    fold128(c, lane_constant128<128>(), d));
  return finish128(a, p, length);
}

}  // namespace sw::crc

#endif
