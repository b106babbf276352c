// One folder held in memory behind the file-system table, for the fuzz targets: the core lists,
// reads, compares and saves in it exactly as in a real folder, at memory speed.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/os/fs.h"

namespace sw::fuzz {

struct MemoryFolder {
  inline static const std::string kPath = "mem/";
  std::vector<std::pair<std::string, std::string>> files;  // name, content; enumeration order
  std::map<std::string, std::string> own;  // the program's own files: listing, settings
};

// Puts the folder behind fs::ops() until the next call; open_folder opens it by kPath only.
void use(MemoryFolder& folder);

}  // namespace sw::fuzz
