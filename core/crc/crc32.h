// CRC-32/ISO-HDLC (the CRC of zlib, PNG and IEEE 802.3): reflected polynomial 0xEDB88320.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/crc/table.h"
#include "core/crc/tier.h"

namespace sw {

// Feeds `length` bytes into the running value `crc` and returns the new running value.
// No initial value and no final XOR are applied here, so one stream may be fed in any
// number of consecutive pieces. Runs the fastest kernel this CPU supports.
std::uint32_t CRCUPDATE(const void* data, std::size_t length, std::uint32_t crc);

// Whole-buffer CRC-32 with the initial value and final XOR applied.
inline std::uint32_t crc32_of(const void* data, std::size_t length) {
  return CRCUPDATE(data, length, kCrcInitial) ^ kCrcFinalXor;
}

// The kernels behind CRCUPDATE. One is chosen per process: the fastest tier this CPU and OS can
// run. Tests and benchmarks may reach each tier; --version names the one in use.
namespace crc {

// The kernel of a tier when it is built in and this CPU can run it, otherwise null.
Kernel kernel_for(Tier tier);

// The tier CRCUPDATE uses. Chosen on first use and cached.
Tier active_tier();

// Makes CRCUPDATE use `tier`. Returns false, changing nothing, when the tier is not available.
bool force_tier(Tier tier);

// Goes back to the automatic choice: the highest tier this CPU and OS can run. Returns it.
Tier use_best_tier();

}  // namespace crc
}  // namespace sw
