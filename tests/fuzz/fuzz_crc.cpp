// Every CRC-32 kernel this CPU can run against the byte table, over the whole input and split
// at a point the input chooses.
#include <cstdint>
#include <cstdlib>

#include "core/crc/crc32.h"
#include "core/crc/kernels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  const std::uint32_t start =
      size >= 5 ? static_cast<std::uint32_t>(data[1]) << 24 | data[2] << 16 | data[3] << 8 | data[4]
                : sw::kCrcInitial;
  const std::uint32_t want = sw::crc::update_bytewise(data, size, start);
  for (int t = 0; t < sw::crc::kTierCount; ++t) {
    const sw::crc::Kernel kernel = sw::crc::kernel_for(static_cast<sw::crc::Tier>(t));
    if (kernel == nullptr) continue;
    if (kernel(data, size, start) != want) std::abort();
    if (kernel(data + split, size - split, kernel(data, split, start)) != want) std::abort();
  }
  return 0;
}
