// VPCLMULQDQ folding on 256-bit registers: each register carries two 128-bit lanes, four
// registers run side by side over 128 bytes per step.
#if defined(__x86_64__) || defined(__i386__)

#include "core/crc/kernels.h"
#include "core/crc/x86_fold.h"

SW_BEGIN_TARGET("avx2,vpclmulqdq,pclmul,sse4.1")
#include "core/crc/fold_loop.h"

namespace sw::crc {
namespace {

struct Lanes256 {
  using Reg = __m256i;
  static constexpr std::size_t kBytes = 32;
  static Reg load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  template <unsigned Distance>
  static Reg lanes() {
    return _mm256_broadcastsi128_si256(x86::lane_constant128<Distance>());
  }
  static Reg moved(Reg acc, Reg k) {
    return _mm256_xor_si256(_mm256_clmulepi64_epi128(acc, k, 0x00),
                            _mm256_clmulepi64_epi128(acc, k, 0x11));
  }
  static Reg fold(Reg acc, Reg k, Reg next) { return _mm256_xor_si256(moved(acc, k), next); }
  static Reg join(Reg a, Reg b, Reg c) { return _mm256_xor_si256(_mm256_xor_si256(a, b), c); }
  // The lower lane moved forward over the upper one, plus the upper one.
  static __m128i narrow(Reg acc) {
    return x86::fold128(_mm256_castsi256_si128(acc), x86::lane_constant128<128>(),
                        _mm256_extracti128_si256(acc, 1));
  }
};

Lanes256::Reg first_block256(const std::uint8_t* p, std::uint32_t crc) {
  return _mm256_xor_si256(Lanes256::load(p),
                          _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
}

}  // namespace

std::uint32_t update_vpclmul256(const std::uint8_t* p, std::size_t length, std::uint32_t crc) {
  if (length < 64) return update_clmul128(p, length, crc);
  return x86::fold_rest<Lanes256>(first_block256(p, crc), p + 32, length - 32);
}

}  // namespace sw::crc

SW_END_TARGET()

#endif
