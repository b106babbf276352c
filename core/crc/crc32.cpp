// CRCUPDATE and its kernel dispatcher: the fastest kernel this CPU can run is picked once per
// process and kept in one pointer; the CPU is asked once.
#include "core/crc/crc32.h"

#include <atomic>

#include "core/crc/kernels.h"

namespace sw {
namespace crc {

std::uint32_t update_bytewise(const std::uint8_t* data, std::size_t length, std::uint32_t crc) {
  for (std::size_t i = 0; i < length; ++i) crc = (crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu];
  return crc;
}

namespace {

// Zero-initialised, so no static constructor runs: the module may be loaded as a library.
std::atomic<Kernel> g_kernel{nullptr};
std::atomic<int> g_tier{-1};
// The CPU's answer, packed as bits 1..3 with bit 0 set once it is known (0: not asked yet).
std::atomic<unsigned> g_cpu{0};

CpuSupport cpu() {
  unsigned bits = g_cpu.load(std::memory_order_relaxed);
  if (bits == 0) {
    const CpuSupport s = detect_cpu_support();
    bits = 1u | (s.clmul128 ? 2u : 0u) | (s.vpclmul256 ? 4u : 0u) | (s.vpclmul512 ? 8u : 0u);
    g_cpu.store(bits, std::memory_order_relaxed);  // racing threads store the same answer
  }
  return {(bits & 2u) != 0, (bits & 4u) != 0, (bits & 8u) != 0};
}

Kernel built_kernel(Tier tier) {
  switch (tier) {
    case Tier::kByteTable:
      return &update_bytewise;
    case Tier::kSlicing:
      return &update_slicing;
#if defined(SW_CRC_X86_KERNELS)
    case Tier::kClmul128:
      return &update_clmul128;
    case Tier::kVpclmul256:
      return &update_vpclmul256;
    case Tier::kVpclmul512:
      return &update_vpclmul512;
#endif
    default:
      return nullptr;
  }
}

void use(Tier tier, Kernel kernel) {
  g_tier.store(static_cast<int>(tier), std::memory_order_relaxed);
  g_kernel.store(kernel, std::memory_order_release);
}

Kernel select_kernel() {
  const Tier tier = best_tier_for(cpu());
  const Kernel kernel = built_kernel(tier);
  use(tier, kernel);
  return kernel;
}

}  // namespace

Kernel kernel_for(Tier tier) {
  return tier_runs_on(tier, cpu()) ? built_kernel(tier) : nullptr;
}

Tier active_tier() {
  if (g_kernel.load(std::memory_order_acquire) == nullptr) select_kernel();
  return static_cast<Tier>(g_tier.load(std::memory_order_relaxed));
}

Tier use_best_tier() {
  select_kernel();
  return active_tier();
}

bool force_tier(Tier tier) {
  const Kernel kernel = kernel_for(tier);
  if (kernel == nullptr) return false;
  use(tier, kernel);
  return true;
}

}  // namespace crc

std::uint32_t CRCUPDATE(const void* data, std::size_t length, std::uint32_t crc) {
  crc::Kernel kernel = crc::g_kernel.load(std::memory_order_acquire);
  if (kernel == nullptr) kernel = crc::select_kernel();
  return kernel(static_cast<const std::uint8_t*>(data), length, crc);
}

}  // namespace sw
