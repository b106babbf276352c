// The kernels behind CRCUPDATE, for the selector in crc32.cpp and the kernel tests. Each has the
// contract of crc::Kernel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/crc32.h"

namespace sw::crc {

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

}  // namespace sw::crc
