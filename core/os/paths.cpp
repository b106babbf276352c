// Paths put together and taken apart the same way on every system; only the separator is the
// platform's.
#include "core/os/fs.h"

namespace sw::fs {

std::string folder_path(std::string_view chosen) {
  std::string path(chosen);
  if (path.empty() || !is_separator(path.back())) path.push_back(separator());
  return path;
}

std::pair<std::string, std::string> split_path(std::string_view path) {
  std::size_t cut = path.size();
  while (cut > 0 && !is_separator(path[cut - 1])) --cut;
  return {std::string(path.substr(0, cut)), std::string(path.substr(cut))};
}

}  // namespace sw::fs
