#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/crc/crc32.h"
#include "core/text.h"
#include "tests/support/crc_forge.h"

#ifdef SW_HAVE_ZLIB
#include <zlib.h>
#endif

namespace sw {
namespace {

TEST(Crc, CatalogueCheckValueAndEmptyInput) {
  EXPECT_EQ(crc32_of("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(CRCUPDATE("abc", 0, 0x12345678u), 0x12345678u);
  EXPECT_EQ(crc32_of("", 0), 0u);
}

TEST(Crc, AnySplitOfAStreamGivesTheSameValue) {
  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(70000);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  const std::uint32_t whole = CRCUPDATE(data.data(), data.size(), kCrcInitial);
  for (int trial = 0; trial < 50; ++trial) {
    std::uint32_t crc = kCrcInitial;
    std::size_t pos = 0;
    while (pos < data.size()) {
      const std::size_t n = std::min<std::size_t>(rng() % 5000, data.size() - pos);
      crc = CRCUPDATE(data.data() + pos, n, crc);
      pos += n;
    }
    ASSERT_EQ(crc, whole) << "trial " << trial;
  }
}

TEST(Crc, ForgedContentsHaveTheirTargetValue) {
  // The listing tests rely on this helper for files whose checksum is 0 or short.
  for (std::uint32_t target : {0u, 1u, 0x0000ABCDu, 0x0FFFFFFFu, 0xFFFFFFFFu}) {
    const std::string content = test::with_crc("some content", target);
    EXPECT_EQ(crc32_of(content.data(), content.size()), target);
  }
}

#ifdef SW_HAVE_ZLIB
TEST(Crc, MatchesZlibOnEveryLengthUpTo4096AndLargeBuffers) {
  std::mt19937 rng(1234);
  std::vector<std::uint8_t> data(4096 + 64);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  for (std::size_t len = 0; len <= 4096; ++len) {
    const std::size_t offset = len % 61;  // vary the alignment too
    const auto expected =
        static_cast<std::uint32_t>(crc32(0L, data.data() + offset, static_cast<uInt>(len)));
    ASSERT_EQ(crc32_of(data.data() + offset, len), expected) << "length " << len;
  }
  for (std::size_t len : {65536u + 3u, 1u << 20, (5u << 20) + 17u}) {
    std::vector<std::uint8_t> big(len);
    for (auto& b : big) b = static_cast<std::uint8_t>(rng());
    EXPECT_EQ(crc32_of(big.data(), big.size()),
              static_cast<std::uint32_t>(crc32(0L, big.data(), static_cast<uInt>(big.size()))));
  }
}
#endif

TEST(ChecksumText, UpperCaseHexWithoutLeadingZeros) {
  EXPECT_EQ(checksum_text(0), "0");
  EXPECT_EQ(checksum_text(0xCBF43926u), "CBF43926");
  EXPECT_EQ(checksum_text(0x0000ABCDu), "ABCD");
  EXPECT_EQ(checksum_text(0x0FFFFFFFu), "FFFFFFF");
  EXPECT_EQ(checksum_text(0x10u), "10");
}

}  // namespace
}  // namespace sw
