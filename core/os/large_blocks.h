// Memory for the arrays that grow with a folder: its entries, its listing's text, the pass's list
// of files. Blocks of 512 KiB and more come whole from the system (fs::Ops::map_pages, on huge
// pages where Linux offers them); smaller ones from the ordinary heap. Only these arrays take it:
// a huge page zeroes 2 MiB at once, about what a dozen first touches of small pages cost, so it
// pays only for arrays sized to what they hold, not for buffers that are barely touched.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <vector>

namespace sw {

// The least size taken from the system whole.
inline constexpr std::size_t kLargeBlock = std::size_t{512} << 10;

// `bytes` aligned for `align`; throws std::bad_alloc when no memory is to be had.
void* allocate_block(std::size_t bytes, std::size_t align);
// Gives back a block with the size and alignment it was asked for.
void free_block(void* block, std::size_t bytes, std::size_t align) noexcept;

template <class T>
struct LargeBlocks {
  using value_type = T;
  LargeBlocks() noexcept = default;
  template <class U>
  LargeBlocks(const LargeBlocks<U>& /*other*/) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocate_block(n * sizeof(T), alignof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { free_block(p, n * sizeof(T), alignof(T)); }
  template <class U>
  bool operator==(const LargeBlocks<U>& /*other*/) const noexcept {
    return true;
  }
};

template <class T>
using LargeVector = std::vector<T, LargeBlocks<T>>;
using LargeString = std::basic_string<char, std::char_traits<char>, LargeBlocks<char>>;

}  // namespace sw
