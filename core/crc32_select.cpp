// Which kernels this build carries and this CPU can run.
#include "crc32_kernels.h"

namespace sw::crc {

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

}  // namespace sw::crc
