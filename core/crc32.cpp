// CRCUPDATE and its kernel selector: the fastest kernel this CPU can run is picked once per
// process and kept in one pointer.
#include "core/crc32.h"

#include <atomic>

#include "core/crc32_kernels.h"

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

Tier best_tier() {
  for (int t = kTierCount - 1; t > 0; --t)
    if (kernel_for(static_cast<Tier>(t)) != nullptr) return static_cast<Tier>(t);
  return Tier::kByteTable;
}

void use(Tier tier, Kernel kernel) {
  g_tier.store(static_cast<int>(tier), std::memory_order_relaxed);
  g_kernel.store(kernel, std::memory_order_release);
}

Kernel select_kernel() {
  const Tier tier = best_tier();
  const Kernel kernel = kernel_for(tier);
  use(tier, kernel);
  return kernel;
}

}  // namespace

const char* tier_name(Tier tier) {
  switch (tier) {
    case Tier::kByteTable:
      return "byte-table";
    case Tier::kSlicing:
      return "slicing-by-16";
    case Tier::kClmul128:
      return "pclmulqdq-128";
    case Tier::kVpclmul256:
      return "vpclmulqdq-256";
    case Tier::kVpclmul512:
      return "vpclmulqdq-512";
  }
  return "unknown";
}

Kernel kernel_for(Tier tier) {
  switch (tier) {
    case Tier::kByteTable:
      return &update_bytewise;
    case Tier::kSlicing:
      return &update_slicing;
#if defined(__x86_64__) || defined(__i386__)
    case Tier::kClmul128:
      return detect_cpu_support().clmul128 ? &update_clmul128 : nullptr;
    case Tier::kVpclmul256:
      return detect_cpu_support().vpclmul256 ? &update_vpclmul256 : nullptr;
    case Tier::kVpclmul512:
      return detect_cpu_support().vpclmul512 ? &update_vpclmul512 : nullptr;
#endif
    default:
      return nullptr;
  }
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
