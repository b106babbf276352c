// PCLMULQDQ folding on 128-bit registers: four registers run side by side over 64 bytes per step.
#if defined(__x86_64__) || defined(__i386__)

#include "core/crc/kernels.h"
#include "core/crc/x86_fold.h"

SW_BEGIN_TARGET("pclmul,sse4.1")
#include "core/crc/fold_loop.h"

// 32-bit Windows only promises a 4-byte aligned stack, and with eight XMM registers the
// compiler spills a vector to it and uses the slot as a 16-byte memory operand; realign on entry.
// (The 256- and 512-bit kernels realign their frames by themselves.)
#if defined(__i386__)
#define SW_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define SW_REALIGN_STACK
#endif

namespace sw::crc {
namespace {

struct Lanes128 {
  using Reg = __m128i;
  static constexpr std::size_t kBytes = 16;
  static Reg load(const std::uint8_t* p) { return x86::load128(p); }
  template <unsigned Distance>
  static Reg lanes() {
    return x86::lane_constant128<Distance>();
  }
  static Reg fold(Reg acc, Reg k, Reg next) { return x86::fold128(acc, k, next); }
  static Reg moved(Reg acc, Reg k) { return x86::moved128(acc, k); }
  static Reg join(Reg a, Reg b, Reg c) { return _mm_xor_si128(_mm_xor_si128(a, b), c); }
  static __m128i narrow(Reg acc) { return acc; }
};

}  // namespace

SW_REALIGN_STACK std::uint32_t update_clmul128(const std::uint8_t* p, std::size_t length,
                                               std::uint32_t crc) {
  if (length < x86::kClmulMinLength) return update_slicing(p, length, crc);
  return x86::fold_rest<Lanes128>(x86::first_block128(p, crc), p + 16, length - 16);
}

}  // namespace sw::crc

SW_END_TARGET()

#endif
