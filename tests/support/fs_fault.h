// Swaps single entries of the file-system table for the length of a test.
#pragma once

#include "core/os/fs.h"

namespace sw::test {

class FsOverride {
 public:
  FsOverride() = default;
  ~FsOverride() { fs::ops() = fs::platform_ops(); }
  FsOverride(const FsOverride&) = delete;
  FsOverride& operator=(const FsOverride&) = delete;
  fs::Ops& ops() { return fs::ops(); }
};

// A failure with a recognisable reason.
inline bool inject(fs::SysError* err, const char* message) {
  if (err != nullptr) *err = {5, message};
  return false;
}

}  // namespace sw::test
