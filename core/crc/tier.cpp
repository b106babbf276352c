#include "core/crc/tier.h"

namespace sw::crc {

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

bool tier_runs_on(Tier tier, const CpuSupport& cpu) {
  switch (tier) {
    case Tier::kByteTable:
    case Tier::kSlicing:
      return true;
#if defined(__x86_64__) || defined(__i386__)
    case Tier::kClmul128:
      return cpu.clmul128;
    case Tier::kVpclmul256:
      return cpu.vpclmul256;
    case Tier::kVpclmul512:
      return cpu.vpclmul512;
#endif
    default:
      return false;
  }
}

Tier best_tier_for(const CpuSupport& cpu) {
  for (int t = kTierCount - 1; t > 0; --t)
    if (tier_runs_on(static_cast<Tier>(t), cpu)) return static_cast<Tier>(t);
  return Tier::kByteTable;
}

}  // namespace sw::crc
