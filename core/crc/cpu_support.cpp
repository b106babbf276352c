// Which vector kernels this CPU can run: CPUID for the instructions, XGETBV for whether the OS
// saves the wider registers on a context switch (without that, using them corrupts state).
#include "core/crc/kernels.h"

#if defined(SW_CRC_X86_KERNELS)

#include <cpuid.h>

namespace sw::crc {
namespace {

struct CpuidRegs {
  unsigned a = 0, b = 0, c = 0, d = 0;
};

CpuidRegs cpuid(unsigned leaf, unsigned subleaf) {
  CpuidRegs r;
  __cpuid_count(leaf, subleaf, r.a, r.b, r.c, r.d);
  return r;
}

bool bit(unsigned value, int n) {
  return ((value >> n) & 1u) != 0;
}

// XCR0: the register states the OS has enabled. Only valid when CPUID reports OSXSAVE.
unsigned long long xcr0() {
  unsigned lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<unsigned long long>(hi) << 32) | lo;
}

}  // namespace

CpuSupport detect_cpu_support() {
  CpuSupport s;
  const unsigned max_leaf = __get_cpuid_max(0, nullptr);  // 0 also when CPUID is missing
  if (max_leaf < 1) return s;
  const CpuidRegs l1 = cpuid(1, 0);
  const bool pclmul = bit(l1.c, 1), sse41 = bit(l1.c, 19), osxsave = bit(l1.c, 27),
             avx = bit(l1.c, 28);
  s.clmul128 = pclmul && sse41;
  if (!s.clmul128 || !osxsave || !avx || max_leaf < 7) return s;

  const unsigned long long xcr = xcr0();
  const bool ymm_state = (xcr & 0x6u) == 0x6u;    // bits 1, 2: XMM and upper YMM
  const bool zmm_state = (xcr & 0xE6u) == 0xE6u;  // plus 5, 6, 7: opmask, ZMM 0-15 upper, ZMM 16-31
  const CpuidRegs l7 = cpuid(7, 0);
  const bool avx2 = bit(l7.b, 5), avx512f = bit(l7.b, 16), avx512bw = bit(l7.b, 30),
             avx512vl = bit(l7.b, 31), vpclmul = bit(l7.c, 10);
  s.vpclmul256 = ymm_state && avx2 && vpclmul;
  s.vpclmul512 = zmm_state && avx512f && avx512bw && avx512vl && vpclmul;
  return s;
}

}  // namespace sw::crc

#else

namespace sw::crc {
CpuSupport detect_cpu_support() {
  return {};  // no vector kernel is built for this processor
}
}  // namespace sw::crc

#endif
