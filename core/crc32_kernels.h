// The CRC-32 kernels behind CRCUPDATE and the selector that picks one per process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sw::crc {

// Every kernel has CRCUPDATE's contract: running value in, running value out.
using Kernel = std::uint32_t (*)(const std::uint8_t* data, std::size_t length, std::uint32_t crc);

// Fastest last; the selector takes the highest tier the CPU and OS support.
enum class Tier : int {
  kByteTable = 0,   // one table lookup per byte: the reference
  kSlicing = 1,     // portable slicing-by-16
  kClmul128 = 2,    // x86 PCLMULQDQ folding, 128 bits
  kVpclmul256 = 3,  // x86 VPCLMULQDQ folding, 256 bits (AVX2 state)
  kVpclmul512 = 4,  // x86 VPCLMULQDQ folding, 512 bits (AVX-512 state)
};
inline constexpr int kTierCount = 5;

const char* tier_name(Tier tier);

std::uint32_t update_bytewise(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_slicing(const std::uint8_t* data, std::size_t length, std::uint32_t crc);

#if defined(__x86_64__) || defined(__i386__)
// Carry-less-multiply folding; only to be called when the matching CPU feature is present.
std::uint32_t update_clmul128(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_vpclmul256(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_vpclmul512(const std::uint8_t* data, std::size_t length, std::uint32_t crc);

// What the CPU offers and the OS saves on a context switch, by CPUID and XGETBV.
struct CpuSupport {
  bool clmul128 = false;    // PCLMULQDQ and SSE4.1
  bool vpclmul256 = false;  // VPCLMULQDQ and AVX2, YMM state enabled
  bool vpclmul512 = false;  // VPCLMULQDQ and AVX-512 F/BW/VL, opmask and ZMM state enabled
};
CpuSupport detect_cpu_support();
#endif

// The kernel of a tier when it is built in and this CPU can run it, otherwise null.
Kernel kernel_for(Tier tier);

// The tier CRCUPDATE uses. Chosen on first use and cached.
Tier active_tier();

// Makes CRCUPDATE use `tier` (for tests and benchmarks). Returns false, changing nothing,
// when the tier is not available here.
bool force_tier(Tier tier);

// Goes back to the automatic choice: the highest tier this CPU and OS can run. Returns it.
Tier use_best_tier();

}  // namespace sw::crc
