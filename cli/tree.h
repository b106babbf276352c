// The folders of a tree, for --recursive.
#pragma once

#include <string>
#include <vector>

namespace sw::cli {

struct TreeFolder {
  std::string path;      // as given for the top, then each name appended after a "/"
  std::string relative;  // from the top ("" for the top itself), for the progress line
};

// The top folder and every folder below it, each once: a folder, then the trees of its
// subfolders in the byte order of their names. Symbolic links to folders are not followed, and
// a folder reached twice (a bind mount of its own ancestor) is taken once. A folder that cannot
// be read is still in the list (its run says why), without anything below it.
std::vector<TreeFolder> tree_folders(const std::string& top);

}  // namespace sw::cli
