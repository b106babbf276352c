// A folder's entries as the listing sees them: what the system's enumeration gives, less this
// program's temporary files, and which entries are looked at and which get a line.
#pragma once

#include <string>
#include <vector>

#include "core/os/fs.h"

namespace sw {

// A folder enumerated, its files not yet read.
struct EnumeratedFolder {
  fs::DirEntries entries;  // in the system's order, without own temporary files
  bool enumerated = true;  // false: only the entries found before a failure
  fs::SysError enumerate_error;
  std::vector<std::string> own_temporaries;  // temporary files of this program's saves
};

// Enumerates the open folder; with `sizes`, every file's size is known before it is read.
// Temporary files of this program's saves are set apart: those of its own output files, and
// those of `other_outputs` (names of files a run writes elsewhere, which may be in it too).
EnumeratedFolder enumerate_folder(const fs::Folder& folder, bool sizes,
                                  const std::vector<std::string>& other_outputs = {});

// Whether an enumerated entry may get a line in the listing: a file with content (or of a size
// not yet known), or a link whose target cannot be reached (listed as unreadable). Empty files,
// folders and everything else get none.
inline bool gets_entry(const fs::DirEntry& e) {
  return (e.kind == fs::EntryKind::kFile && e.size > 0) || e.kind == fs::EntryKind::kUnreachable;
}

// Whether an enumerated entry is looked at as a file (it is named to the observer).
inline bool is_examined(const fs::DirEntry& e) {
  return e.kind == fs::EntryKind::kFile || e.kind == fs::EntryKind::kUnreachable;
}

}  // namespace sw
