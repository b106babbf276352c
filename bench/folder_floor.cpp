// The floor for the folder benchmark: the least work that checksums every regular file of a
// folder. One thread enumerates, then opens, reads in large chunks through ISA-L's CRC-32 and
// closes each file. No listing text, no progress, no output file.
//
//   folder_floor FOLDER [CHUNK_KIB]     (default 1024, the size sumwright reads in)
#include <dirent.h>
#include <fcntl.h>
#include <isa-l/crc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: folder_floor FOLDER [CHUNK_KIB]\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder.push_back('/');
  const std::size_t chunk =
      (argc > 2 ? static_cast<std::size_t>(std::strtoul(argv[2], nullptr, 10)) : 1024) * 1024;

  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    std::perror(folder.c_str());
    return 1;
  }
  std::vector<std::string> names;
  while (const dirent* d = ::readdir(dir)) {
    if (d->d_type == DT_REG) {
      names.emplace_back(d->d_name);
    } else if (d->d_type == DT_UNKNOWN || d->d_type == DT_LNK) {
      struct stat st {};
      if (::fstatat(::dirfd(dir), d->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
        names.emplace_back(d->d_name);
    }
  }
  ::closedir(dir);

  auto* buffer = static_cast<unsigned char*>(::operator new[](chunk, std::align_val_t{4096}));
  std::uint64_t bytes = 0;
  std::uint32_t mix = 0;
  std::string path = folder;
  for (const std::string& name : names) {
    path.resize(folder.size());
    path += name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    std::uint32_t crc = 0;
    for (;;) {
      const ssize_t n = ::read(fd, buffer, chunk);
      if (n <= 0) break;
      crc = crc32_gzip_refl(crc, buffer, static_cast<std::uint64_t>(n));
      bytes += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    mix ^= crc;
  }
  ::operator delete[](buffer, std::align_val_t{4096});
  std::printf("%zu files, %" PRIu64 " bytes, xor of CRCs %08" PRIX32 "\n", names.size(), bytes,
              mix);
  return 0;
}
