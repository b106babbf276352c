#include "crc32.h"
#include "crc32_kernels.h"

namespace sw::crc {

std::uint32_t update_bytewise(const std::uint8_t* data, std::size_t length, std::uint32_t crc) {
  for (std::size_t i = 0; i < length; ++i) crc = (crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu];
  return crc;
}

}  // namespace sw::crc
