// The program's own operator new: large blocks (a big folder's entries, its listing text, the
// pass's list of files, the index of its names) are put on huge-page boundaries and marked for
// transparent huge pages. A run over a folder of small files in memory touches a few megabytes of
// such arrays once each, and the first touch of every 4 KiB page is a fault; on a virtual machine
// one costs about 10 us, so 20,000 files paid more in faults than in reading their names. A huge
// page is one fault for 512 pages (bench/README.md, "Folder pass"). Everything else is
// plain malloc, and every block is freed by the library's own operator delete (free), which takes
// both kinds.
#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

// A sanitizer brings its own allocator and checks each delete against its new: it keeps both.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Smaller blocks are left alone. A huge page zeroes 2 MiB at once, about what a dozen first
// touches cost here, and smaller blocks are often buffers that are barely touched: each tree
// folder's 256 KiB write buffer given one made a tree 40 % slower. Blocks this large are arrays
// sized to what they hold.
constexpr std::size_t kLargeBlock = std::size_t{512} << 10;

void* allocate(std::size_t size) {
  if (size < kLargeBlock) return std::malloc(size == 0 ? 1 : size);
  if (size > ~std::size_t{0} - kHugePage) return nullptr;
  const std::size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
  void* block = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off or scarce, the block is ordinary memory.
  if (block != nullptr) ::madvise(block, rounded, MADV_HUGEPAGE);
#endif
  return block;
}

}  // namespace

void* operator new(std::size_t size) {
  for (;;) {
    if (void* block = allocate(size)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

#endif
