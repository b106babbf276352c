// Which kernels this build carries and this CPU can run.
#include "crc32_kernels.h"

namespace sw::crc {

Kernel kernel_for(Tier tier) {
  switch (tier) {
    case Tier::kByteTable:
      return &update_bytewise;
    case Tier::kSlicing:
      return &update_slicing;
    default:
      return nullptr;  // vector kernels come with their own CPU checks
  }
}

}  // namespace sw::crc
