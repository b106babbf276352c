// The floor for the folder benchmark: the least work that checksums every regular file of a
// folder. One thread enumerates; then THREADS threads claim the files from that one list in
// order and open, read in large chunks through ISA-L's CRC-32 and close each one. No listing
// text, no progress, no output file. With -r, the files of the whole tree (links to folders are
// not followed), all claimed from one list.
//
//   folder_floor [-r] FOLDER [THREADS] [CHUNK_KIB]  (defaults 1 and 1024, sumwright's read size)
#include <dirent.h>
#include <fcntl.h>
#include <isa-l/crc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// Appends the regular files of `folder` (relative to the open top `top`, "" for the top itself,
// else ending in "/") to `names`, and with `tree` those of its subfolders.
void collect(int top, const std::string& folder, bool tree, std::vector<std::string>& names) {
  const int fd =
      ::openat(top, folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (dir == nullptr) {
    std::perror(folder.c_str());
    std::exit(1);
  }
  std::vector<std::string> subfolders;
  while (const dirent* d = ::readdir(dir)) {
    if (d->d_type == DT_REG) {
      names.push_back(folder + d->d_name);
    } else if (d->d_type == DT_DIR) {
      if (tree && std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
        subfolders.push_back(folder + d->d_name + "/");
    } else if (d->d_type == DT_UNKNOWN || d->d_type == DT_LNK) {
      struct stat st {};
      if (::fstatat(::dirfd(dir), d->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
        names.push_back(folder + d->d_name);
    }
  }
  ::closedir(dir);
  for (const std::string& sub : subfolders) collect(top, sub, tree, names);
}

}  // namespace

int main(int argc, char** argv) {
  const bool tree = argc > 1 && std::strcmp(argv[1], "-r") == 0;
  if (tree) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: folder_floor [-r] FOLDER [THREADS] [CHUNK_KIB]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  const std::size_t chunk =
      (argc > 3 ? static_cast<std::size_t>(std::strtoul(argv[3], nullptr, 10)) : 1024) * 1024;

  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) {
    std::perror(folder.c_str());
    return 1;
  }
  std::vector<std::string> names;
  collect(dfd, "", tree, names);

  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<std::uint32_t> mix{0};
  auto work = [&] {
    auto* buffer = static_cast<unsigned char*>(::operator new[](chunk, std::align_val_t{4096}));
    std::uint64_t mine = 0;
    for (std::size_t i; (i = next.fetch_add(1)) < names.size();) {
      const int fd = ::openat(dfd, names[i].c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      std::uint32_t crc = 0;
      for (;;) {
        const ssize_t n = ::read(fd, buffer, chunk);
        if (n <= 0) break;
        crc = crc32_gzip_refl(crc, buffer, static_cast<std::uint64_t>(n));
        mine += static_cast<std::uint64_t>(n);
      }
      ::close(fd);
      mix ^= crc;
    }
    bytes += mine;
    ::operator delete[](buffer, std::align_val_t{4096});
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  ::close(dfd);
  std::printf("%zu files, %" PRIu64 " bytes, %u threads, xor of CRCs %08" PRIX32 "\n", names.size(),
              bytes.load(), threads, mix.load());
  return 0;
}
