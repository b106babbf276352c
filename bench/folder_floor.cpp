// The floor for the folder benchmark: the least work that checksums every regular file of a
// folder. One thread enumerates; then THREADS threads claim the files from that one list in
// order and open, read in large chunks through ISA-L's CRC-32 and close each one. No listing
// text, no progress, no output file. With -r, the files of the whole tree (links to folders are
// not followed), all claimed from one list. With -w, after the reads, one small file per folder
// is saved durably the way a tree's listings are: written to a temporary file, then in batches
// of 256 folders one syncfs, the renames and one more syncfs. That floor is what a tree run
// cannot do without.
//
//   folder_floor [-r] [-w] FOLDER [THREADS] [CHUNK_KIB]  (defaults 1 and 1024, sumwright's read
//   size)
#include <dirent.h>
#include <fcntl.h>
#include <isa-l/crc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
void collect(int top, const std::string& folder, bool tree, std::vector<std::string>& names,
             std::vector<std::string>& folders) {
  folders.push_back(folder);
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
  for (const std::string& sub : subfolders) collect(top, sub, tree, names, folders);
}

// Saves one small file in every folder, durably, in batches of 256 folders.
void save_everywhere(int top, const std::vector<std::string>& folders) {
  constexpr std::size_t kBatch = 256;
  const std::string text(900, 'x');  // about a listing of 18 files
  for (std::size_t first = 0; first < folders.size(); first += kBatch) {
    const std::size_t end = std::min(folders.size(), first + kBatch);
    for (std::size_t i = first; i < end; ++i) {
      const std::string temp = folders[i] + "floor.tmp";
      const int fd = ::openat(top, temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror(temp.c_str());
        std::exit(1);
      }
      ::close(fd);
    }
    ::syncfs(top);
    for (std::size_t i = first; i < end; ++i)
      ::renameat(top, (folders[i] + "floor.tmp").c_str(), top, (folders[i] + "floor.out").c_str());
    ::syncfs(top);
  }
  for (const std::string& folder : folders) ::unlinkat(top, (folder + "floor.out").c_str(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool tree = false, save = false;
  for (; argc > 1 && argv[1][0] == '-'; --argc, ++argv) {
    tree = tree || std::strcmp(argv[1], "-r") == 0;
    save = save || std::strcmp(argv[1], "-w") == 0;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: folder_floor [-r] [-w] FOLDER [THREADS] [CHUNK_KIB]\n");
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
  std::vector<std::string> names, folders;
  collect(dfd, "", tree, names, folders);

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
  if (save) save_everywhere(dfd, folders);
  ::close(dfd);
  std::printf("%zu files, %" PRIu64 " bytes, %u threads, xor of CRCs %08" PRIX32 "\n", names.size(),
              bytes.load(), threads, mix.load());
  return 0;
}
