#include "tests/crc/guarded_buffer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace sw::test {

#ifdef _WIN32

GuardedBuffer::GuardedBuffer(std::size_t pages) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  mapping_size_ = (pages + 2) * page;
  mapping_ = VirtualAlloc(nullptr, mapping_size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping_ == nullptr) return;
  auto* base = static_cast<std::uint8_t*>(mapping_);
  DWORD old = 0;
  if (!VirtualProtect(base, page, PAGE_NOACCESS, &old) ||
      !VirtualProtect(base + (pages + 1) * page, page, PAGE_NOACCESS, &old))
    return;
  usable_ = base + page;
  size_ = pages * page;
}

GuardedBuffer::~GuardedBuffer() {
  if (mapping_ != nullptr) VirtualFree(mapping_, 0, MEM_RELEASE);
}

#else

GuardedBuffer::GuardedBuffer(std::size_t pages) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  mapping_size_ = (pages + 2) * page;
  void* m =
      mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) return;
  mapping_ = m;
  auto* base = static_cast<std::uint8_t*>(mapping_);
  if (mprotect(base, page, PROT_NONE) != 0 ||
      mprotect(base + (pages + 1) * page, page, PROT_NONE) != 0)
    return;
  usable_ = base + page;
  size_ = pages * page;
}

GuardedBuffer::~GuardedBuffer() {
  if (mapping_ != nullptr) munmap(mapping_, mapping_size_);
}

#endif

}  // namespace sw::test
