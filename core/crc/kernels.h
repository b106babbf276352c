// The kernels behind CRCUPDATE, for the dispatcher in crc32.cpp and the kernel tests. Each has the
// contract of crc::Kernel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/crc/tier.h"

namespace sw::crc {

std::uint32_t update_bytewise(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_slicing(const std::uint8_t* data, std::size_t length, std::uint32_t crc);

#if defined(__x86_64__) || defined(__i386__)
#define SW_CRC_X86_KERNELS 1
// Carry-less-multiply folding; only to be called when the matching CPU feature is present.
std::uint32_t update_clmul128(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_vpclmul256(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
std::uint32_t update_vpclmul512(const std::uint8_t* data, std::size_t length, std::uint32_t crc);
#endif

// Asks the CPU (and the OS) what it offers; CPUID is not cheap, so the dispatcher asks once.
CpuSupport detect_cpu_support();

}  // namespace sw::crc
