// Every kernel tier must give the reference table's running value for any buffer, at any
// address, split anywhere, without touching a byte outside the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/crc/crc32.h"
#include "core/crc/kernels.h"
#include "tests/crc/guarded_buffer.h"

#ifdef SW_HAVE_ZLIB
#include <zlib.h>
#endif

namespace sw::crc {
namespace {

// The one-lookup-per-byte definition, kept here so the byte-table tier is checked too.
std::uint32_t reference(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  for (std::size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ kCrcTable[(crc ^ p[i]) & 0xFFu];
  return crc;
}

#ifdef SW_HAVE_ZLIB
// zlib applies the initial value and final XOR itself; undo them to get the running value.
std::uint32_t zlib_running(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  return ~static_cast<std::uint32_t>(::crc32(~crc & 0xFFFFFFFFu, p, static_cast<uInt>(n)));
}
#endif

std::vector<std::uint8_t> random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(gen() >> 24);
  return v;
}

class CrcTierTest : public ::testing::TestWithParam<Tier> {
 protected:
  void SetUp() override {
    kernel_ = kernel_for(GetParam());
    if (kernel_ == nullptr) GTEST_SKIP() << tier_name(GetParam()) << " not available on this CPU";
  }
  void TearDown() override { use_best_tier(); }

  Kernel kernel_ = nullptr;
};

TEST_P(CrcTierTest, CatalogueCheckValueThroughCrcUpdate) {
  ASSERT_TRUE(force_tier(GetParam()));
  EXPECT_EQ(active_tier(), GetParam());
  const char digits[] = "123456789";
  EXPECT_EQ(crc32_of(digits, 9), 0xCBF43926u);
  EXPECT_EQ(CRCUPDATE(digits, 0, 0x12345678u), 0x12345678u);
  // A 9-byte tail after a block long enough for every vector path.
  std::string longer(1000, 'x');
  longer += digits;
  EXPECT_EQ(
      CRCUPDATE(longer.data(), longer.size(), kCrcInitial),
      reference(reinterpret_cast<const std::uint8_t*>(longer.data()), longer.size(), kCrcInitial));
}

TEST_P(CrcTierTest, EveryLengthUpTo1024AtEveryMisalignment) {
  constexpr std::size_t kMaxLength = 1024;
  const std::vector<std::uint8_t> bytes = random_bytes(kMaxLength + 128, 1);
  std::mt19937 gen(2);
  for (std::size_t offset = 0; offset < 64; ++offset) {
    // Copy to an address with exactly this offset from a 64-byte boundary.
    std::vector<std::uint8_t> storage(kMaxLength + 128);
    const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
    std::uint8_t* p = storage.data() + ((64 - base % 64) % 64) + offset;
    std::memcpy(p, bytes.data() + offset, kMaxLength);

    const std::uint32_t seed_crc = static_cast<std::uint32_t>(gen());
    std::uint32_t expected = seed_crc;  // reference of the prefix of length n, grown byte by byte
    for (std::size_t n = 0; n <= kMaxLength; ++n) {
      if (n > 0) expected = reference(p + n - 1, 1, expected);
      const std::uint32_t got = kernel_(p, n, seed_crc);
      ASSERT_EQ(got, expected) << "offset " << offset << " length " << n;
#ifdef SW_HAVE_ZLIB
      ASSERT_EQ(got, zlib_running(p, n, seed_crc)) << "offset " << offset << " length " << n;
#endif
    }
  }
}

TEST_P(CrcTierTest, LongBuffersAroundBlockBoundaries) {
  const std::vector<std::uint8_t> bytes = random_bytes((1u << 20) + 512, 3);
  const std::size_t lengths[] = {4095,       4096,        4097,   4096 + 63, 65536 - 1,
                                 65536 + 16, 65536 + 255, 100000, 1u << 20,  (1u << 20) + 257};
  for (const std::size_t offset : {0u, 1u, 17u, 63u}) {
    for (const std::size_t n : lengths) {
      const std::uint8_t* p = bytes.data() + offset;
      EXPECT_EQ(kernel_(p, n, kCrcInitial), reference(p, n, kCrcInitial))
          << "offset " << offset << " length " << n;
    }
  }
}

TEST_P(CrcTierTest, RandomSplitsOfOneStreamChainThroughCrcUpdate) {
  ASSERT_TRUE(force_tier(GetParam()));
  const std::vector<std::uint8_t> stream = random_bytes(300000, 4);
  const std::uint32_t whole = reference(stream.data(), stream.size(), kCrcInitial);
  std::mt19937 gen(5);
  for (int round = 0; round < 40; ++round) {
    std::uint32_t crc = kCrcInitial;
    std::size_t pos = 0;
    while (pos < stream.size()) {
      // Mostly short pieces, some empty, some long, so every path meets every other.
      const std::size_t limit = (gen() % 4 == 0) ? 40000 : 300;
      const std::size_t piece = std::min<std::size_t>(gen() % limit, stream.size() - pos);
      crc = CRCUPDATE(stream.data() + pos, piece, crc);
      pos += piece;
    }
    ASSERT_EQ(crc, whole) << "round " << round;
  }
}

TEST_P(CrcTierTest, NoReadOutsideBufferAtPageBoundaries) {
  test::GuardedBuffer region(17);
  ASSERT_TRUE(region.ok());
  const std::vector<std::uint8_t> bytes = random_bytes(region.size(), 6);
  std::memcpy(region.begin(), bytes.data(), bytes.size());

  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 1024; ++n) lengths.push_back(n);
  for (const std::size_t n : {2047u, 4095u, 4096u, 4097u, 8191u, 16384u + 200u, 65535u})
    lengths.push_back(n);
  lengths.push_back(region.size());

  for (const std::size_t n : lengths) {
    const std::uint8_t* ends_at_guard = region.end() - n;
    EXPECT_EQ(kernel_(ends_at_guard, n, 0x5A5A5A5Au), reference(ends_at_guard, n, 0x5A5A5A5Au))
        << "length " << n << " ending at the upper guard page";
    const std::uint8_t* starts_at_guard = region.begin();
    EXPECT_EQ(kernel_(starts_at_guard, n, 0xA5A5A5A5u), reference(starts_at_guard, n, 0xA5A5A5A5u))
        << "length " << n << " starting at the lower guard page";
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, CrcTierTest,
                         ::testing::Values(Tier::kByteTable, Tier::kSlicing, Tier::kClmul128,
                                           Tier::kVpclmul256, Tier::kVpclmul512),
                         [](const ::testing::TestParamInfo<Tier>& param) {
                           std::string name = tier_name(param.param);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(CrcSelection, ACpuWithoutAFeatureNeverGetsItsTier) {
  struct Row {
    CpuSupport cpu;
    Tier best;
  };
#if defined(__x86_64__) || defined(__i386__)
  constexpr bool x86 = true;  // the vector tiers are built in
#else
  constexpr bool x86 = false;
#endif
  const Row rows[] = {
      {{}, Tier::kSlicing},
      {{true, false, false}, x86 ? Tier::kClmul128 : Tier::kSlicing},
      {{true, true, false}, x86 ? Tier::kVpclmul256 : Tier::kSlicing},
      {{true, false, true}, x86 ? Tier::kVpclmul512 : Tier::kSlicing},
      {{true, true, true}, x86 ? Tier::kVpclmul512 : Tier::kSlicing},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(best_tier_for(row.cpu), row.best);
    EXPECT_EQ(tier_runs_on(Tier::kClmul128, row.cpu), x86 && row.cpu.clmul128);
    EXPECT_EQ(tier_runs_on(Tier::kVpclmul256, row.cpu), x86 && row.cpu.vpclmul256);
    EXPECT_EQ(tier_runs_on(Tier::kVpclmul512, row.cpu), x86 && row.cpu.vpclmul512);
  }
  // The process runs the best tier of what its own CPU was found to offer.
  ASSERT_TRUE(force_tier(Tier::kByteTable));
  EXPECT_EQ(use_best_tier(), best_tier_for(detect_cpu_support()));
  std::printf("CRC-32 kernel chosen here: %s\n", tier_name(active_tier()));
}

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
// The detection read against the kernel's own account of the CPU, which also leaves out what the
// kernel does not save on a context switch.
TEST(CrcSelection, DetectionAgreesWithTheKernelsCpuFlags) {
  std::FILE* info = std::fopen("/proc/cpuinfo", "r");
  if (info == nullptr) GTEST_SKIP() << "no /proc/cpuinfo here";
  std::string flags;
  char line[8192];
  while (std::fgets(line, sizeof line, info) != nullptr)
    if (std::strncmp(line, "flags", 5) == 0) {
      flags = std::string(" ") + (std::strchr(line, ':') + 1);
      break;
    }
  std::fclose(info);
  for (char& c : flags)
    if (c == '\n' || c == '\t') c = ' ';
  flags += ' ';
  const auto has = [&flags](const char* flag) {
    return flags.find(std::string(" ") + flag + " ") != std::string::npos;
  };
  const CpuSupport cpu = detect_cpu_support();
  EXPECT_EQ(cpu.clmul128, has("pclmulqdq") && has("sse4_1"));
  EXPECT_EQ(cpu.vpclmul256, cpu.clmul128 && has("vpclmulqdq") && has("avx2"));
  EXPECT_EQ(cpu.vpclmul512, cpu.clmul128 && has("vpclmulqdq") && has("avx512f") &&
                                has("avx512bw") && has("avx512vl"));
}
#endif

TEST(CrcSelection, ForcingAnUnavailableTierChangesNothing) {
  const Tier before = active_tier();
  bool any_missing = false;
  for (int t = 0; t < kTierCount; ++t) {
    const auto tier = static_cast<Tier>(t);
    if (kernel_for(tier) != nullptr) continue;
    any_missing = true;
    EXPECT_FALSE(force_tier(tier)) << tier_name(tier);
    EXPECT_EQ(active_tier(), before);
  }
  if (!any_missing) GTEST_SKIP() << "every tier is available here";
}

}  // namespace
}  // namespace sw::crc
