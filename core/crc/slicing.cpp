// Slicing-by-16: sixteen bytes per step through sixteen tables, each table the previous one
// advanced by one more zero byte. Portable; the fallback when no carry-less multiply exists.
#include <array>
#include <cstring>

#include "core/crc/kernels.h"
#include "core/crc/table.h"

namespace sw::crc {
namespace {

constexpr int kSlices = 16;

constexpr std::array<std::array<std::uint32_t, 256>, kSlices> make_slices() {
  std::array<std::array<std::uint32_t, 256>, kSlices> t{};
  t[0] = kCrcTable;
  for (int s = 1; s < kSlices; ++s)
    for (int n = 0; n < 256; ++n) t[s][n] = (t[s - 1][n] >> 8) ^ kCrcTable[t[s - 1][n] & 0xFFu];
  return t;
}

constexpr auto kSlice = make_slices();

inline std::uint32_t load_le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

}  // namespace

std::uint32_t update_slicing(const std::uint8_t* data, std::size_t length, std::uint32_t crc) {
  while (length >= kSlices) {
    const std::uint32_t a = load_le32(data) ^ crc;
    const std::uint32_t b = load_le32(data + 4);
    const std::uint32_t c = load_le32(data + 8);
    const std::uint32_t d = load_le32(data + 12);
    crc = kSlice[15][a & 0xFF] ^ kSlice[14][(a >> 8) & 0xFF] ^ kSlice[13][(a >> 16) & 0xFF] ^
          kSlice[12][a >> 24] ^ kSlice[11][b & 0xFF] ^ kSlice[10][(b >> 8) & 0xFF] ^
          kSlice[9][(b >> 16) & 0xFF] ^ kSlice[8][b >> 24] ^ kSlice[7][c & 0xFF] ^
          kSlice[6][(c >> 8) & 0xFF] ^ kSlice[5][(c >> 16) & 0xFF] ^ kSlice[4][c >> 24] ^
          kSlice[3][d & 0xFF] ^ kSlice[2][(d >> 8) & 0xFF] ^ kSlice[1][(d >> 16) & 0xFF] ^
          kSlice[0][d >> 24];
    data += kSlices;
    length -= kSlices;
  }
  return update_bytewise(data, length, crc);
}

}  // namespace sw::crc
