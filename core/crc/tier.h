// The kernel tiers and the choice among them: what the dispatcher and the kernels both see,
// without seeing each other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sw::crc {

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

// What the CPU offers and the OS saves on a context switch (CPUID and XGETBV on x86; nothing
// elsewhere).
struct CpuSupport {
  bool clmul128 = false;    // PCLMULQDQ and SSE4.1
  bool vpclmul256 = false;  // VPCLMULQDQ and AVX2, YMM state enabled
  bool vpclmul512 = false;  // VPCLMULQDQ and AVX-512 F/BW/VL, opmask and ZMM state enabled
};

// Whether a CPU with `cpu` can run `tier` in this build: the portable tiers always, the vector
// tiers only where they are built in and every feature they need is there.
bool tier_runs_on(Tier tier, const CpuSupport& cpu);

// The fastest tier a CPU with `cpu` can run in this build.
Tier best_tier_for(const CpuSupport& cpu);

}  // namespace sw::crc
