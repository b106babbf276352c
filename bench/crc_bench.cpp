// Throughput of every CRC-32 kernel tier and of the byte table, next to zlib's crc32,
// libdeflate's libdeflate_crc32 and ISA-L's crc32_gzip_refl, on the same buffers.
#include <benchmark/benchmark.h>
#include <isa-l/crc.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/crc/crc32.h"

namespace {

constexpr std::size_t kSizes[] = {64, 4 << 10, 256 << 10, 64 << 20};

// One 64-byte-aligned buffer of random bytes, large enough for the largest size, shared by
// every benchmark so all of them read the same memory.
const std::uint8_t* shared_buffer() {
  static std::uint8_t* buffer = [] {
    constexpr std::size_t bytes = 64 << 20;
    auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(64, bytes));
    std::mt19937 gen(42);
    for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(gen() >> 24);
    return p;
  }();
  return buffer;
}

template <typename Fn>
void run(benchmark::State& state, Fn fn) {
  const std::uint8_t* data = shared_buffer();
  const auto n = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    std::uint32_t crc = fn(data, n);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(n));
}

void register_one(const std::string& name, void (*body)(benchmark::State&, sw::crc::Kernel),
                  sw::crc::Kernel kernel) {
  auto* b = benchmark::RegisterBenchmark(name.c_str(), body, kernel);
  for (const std::size_t n : kSizes) b->Arg(static_cast<std::int64_t>(n));
}

void bm_tier(benchmark::State& state, sw::crc::Kernel kernel) {
  run(state, [kernel](const std::uint8_t* p, std::size_t n) {
    return kernel(p, n, sw::kCrcInitial) ^ sw::kCrcFinalXor;
  });
}

void bm_zlib(benchmark::State& state) {
  run(state, [](const std::uint8_t* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(n)));
  });
}

void bm_libdeflate(benchmark::State& state) {
  run(state, [](const std::uint8_t* p, std::size_t n) { return libdeflate_crc32(0, p, n); });
}

void bm_isal(benchmark::State& state) {
  run(state, [](const std::uint8_t* p, std::size_t n) {
    return crc32_gzip_refl(0, p, static_cast<std::uint64_t>(n));
  });
}

void register_all() {
  using sw::crc::Tier;
  for (int t = 0; t < sw::crc::kTierCount; ++t) {
    const auto tier = static_cast<Tier>(t);
    if (const sw::crc::Kernel k = sw::crc::kernel_for(tier))
      register_one(std::string("sumwright/") + sw::crc::tier_name(tier), bm_tier, k);
  }
  for (auto [name, fn] :
       {std::pair{"zlib/crc32", &bm_zlib}, std::pair{"libdeflate/libdeflate_crc32", &bm_libdeflate},
        std::pair{"isa-l/crc32_gzip_refl", &bm_isal}}) {
    auto* b = benchmark::RegisterBenchmark(name, fn);
    for (const std::size_t n : kSizes) b->Arg(static_cast<std::int64_t>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The results must agree before their speeds mean anything.
  const std::uint8_t* data = shared_buffer();
  const std::uint32_t expected = static_cast<std::uint32_t>(crc32(0, data, 1 << 20));
  for (int t = 0; t < sw::crc::kTierCount; ++t)
    if (const sw::crc::Kernel k = sw::crc::kernel_for(static_cast<sw::crc::Tier>(t)))
      if ((k(data, 1 << 20, sw::kCrcInitial) ^ sw::kCrcFinalXor) != expected) return 2;
  if (libdeflate_crc32(0, data, 1 << 20) != expected ||
      crc32_gzip_refl(0, data, 1 << 20) != expected)
    return 2;

  register_all();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
