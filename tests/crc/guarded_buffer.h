// Memory with an inaccessible page on both sides, so a kernel that reads even one byte
// outside the buffer it was given crashes the test instead of passing by luck.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sw::test {

class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t pages);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  bool ok() const { return usable_ != nullptr; }
  std::uint8_t* begin() const { return usable_; }        // right after the lower guard page
  std::uint8_t* end() const { return usable_ + size_; }  // right at the upper guard page
  std::size_t size() const { return size_; }

 private:
  void* mapping_ = nullptr;
  std::size_t mapping_size_ = 0;
  std::uint8_t* usable_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace sw::test
