#include "core/os/large_blocks.h"

#include <new>

#include "core/os/fs.h"

namespace sw {

void* allocate_block(std::size_t bytes, std::size_t align) {
  if (bytes >= kLargeBlock) {
    // Whole pages: aligned for anything.
    if (void* block = fs::ops().map_pages(bytes, /*huge=*/true)) return block;
    throw std::bad_alloc();
  }
  if (align > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
    return ::operator new (bytes, std::align_val_t{align});
  return ::operator new(bytes);
}

void free_block(void* block, std::size_t bytes, std::size_t align) noexcept {
  if (block == nullptr) return;
  if (bytes >= kLargeBlock) {
    fs::ops().unmap_pages(block, bytes, /*huge=*/true);
  } else if (align > __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
    ::operator delete (block, std::align_val_t{align});
  } else {
    ::operator delete(block);
  }
}

}  // namespace sw
