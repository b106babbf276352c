#include "cli/tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace sw::cli {
namespace {

// The names of the real subfolders of `path` (never links), sorted; false with errno set when
// the folder cannot be read.
bool subfolders(const std::string& path, std::vector<std::string>* names, dev_t* dev, ino_t* ino) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    *dev = st.st_dev;
    *ino = st.st_ino;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int code = errno;
    ::close(fd);
    errno = code;
    return false;
  }
  for (;;) {
    errno = 0;
    const struct dirent* d = ::readdir(dir);
    if (d == nullptr) break;
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    bool folder = d->d_type == DT_DIR;
    if (d->d_type == DT_UNKNOWN) {
      struct stat entry {};
      folder = ::fstatat(fd, d->d_name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(entry.st_mode);
    }
    if (folder) names->emplace_back(d->d_name);
  }
  const int code = errno;
  ::closedir(dir);
  std::sort(names->begin(), names->end());
  errno = code;
  return code == 0;
}

}  // namespace

std::vector<TreeFolder> tree_folders(const std::string& top) {
  std::vector<TreeFolder> out;
  std::set<std::pair<dev_t, ino_t>> seen;
  // Depth first with an explicit stack, so a deep tree cannot exhaust the call stack; children
  // are pushed in reverse to come off in order.
  std::vector<TreeFolder> stack{{top, ""}};
  while (!stack.empty()) {
    TreeFolder folder = std::move(stack.back());
    stack.pop_back();
    std::vector<std::string> names;
    dev_t dev = 0;
    ino_t ino = 0;
    if (!subfolders(folder.path, &names, &dev, &ino)) names.clear();
    if ((dev != 0 || ino != 0) && !seen.insert({dev, ino}).second) continue;
    const std::string base = folder.path.ends_with('/') ? folder.path : folder.path + "/";
    const std::string rel = folder.relative.empty() ? "" : folder.relative + "/";
    for (auto it = names.rbegin(); it != names.rend(); ++it)
      stack.push_back({base + *it, rel + *it});
    out.push_back(std::move(folder));
  }
  return out;
}

}  // namespace sw::cli
