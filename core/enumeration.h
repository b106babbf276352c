// A folder's entries as the listing sees them: what the system's enumeration gives, less this
// program's temporary files, and which entries are looked at and which get a line.
#pragma once

#include <string>
#include <vector>

#include "core/os/fs.h"
#include "core/own_files.h"

namespace sw {

// A folder enumerated, its files not yet read.
struct EnumeratedFolder {
  fs::DirEntries entries;  // in the system's order, without own temporary files
  bool enumerated = true;  // false: only the entries found before a failure
  fs::SysError enumerate_error;
  std::vector<std::string> own_temporaries;     // temporary files of this program's saves
  OwnNames own_names = OwnNames::kAsTheSystem;  // how this folder's own names are matched
  // Files of the run's own that are in the folder by other names (an --output, a --listing):
  // set apart, never listed.
  std::vector<std::string> run_files;
};

// Enumerates the open folder; with `sizes`, every file's size is known before it is read.
// Temporary files of this program's saves are set apart: those of its own output files, and
// those of `run_files` (names, in this folder, of files the run writes or reads as its own by
// names of the user's choosing), which are set apart themselves too.
EnumeratedFolder enumerate_folder(const fs::Folder& folder, bool sizes,
                                  const std::vector<std::string>& run_files = {});

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
