// The folders of a tree as one stream of files for one ChecksumPass. Folders are opened and
// enumerated ahead of the one being listed and their files handed to the pass, so the readers
// go on from one folder into the next: a tree of small folders keeps as many reads in flight as
// one large folder, and its reader threads start once, not once per folder.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "core/checksum_pass.h"
#include "core/listing.h"
#include "core/os/fs.h"

namespace sw {

class FolderStream {
 public:
  // Folders (native form) in the order they will be listed; with `sizes`, every file's size is
  // known before it is read (see ListingObserver::wants_byte_totals).
  FolderStream(std::vector<std::string> paths, bool sizes,
               std::size_t readers = ChecksumPass::kDefaultReaders);
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;

  struct Prepared {
    std::string path;   // in the folder_path form
    fs::Folder folder;  // not open when it could not be opened
    fs::SysError open_error;
    EnumeratedFolder found;  // its files are given to the pass
    std::size_t files_in_pass = 0;
  };

  // The next folder of the list, open and enumerated; null after the last. The folder returned
  // before is let go, so it must have been listed.
  Prepared* next();
  ChecksumPass& pass() { return pass_; }

 private:
  void fill();

  // Folders are enumerated ahead until this many files are in the pass or this many folders
  // are open, whichever comes first (each holds a handle).
  static constexpr std::size_t kFilesAhead = 2 * ChecksumPass::kWindow;
  static constexpr std::size_t kFoldersAhead = 64;

  std::vector<std::string> paths_;
  std::size_t next_path_ = 0;
  bool sizes_;
  bool handed_out_ = false;  // the front of ahead_ was returned by next()
  std::deque<Prepared> ahead_;
  std::size_t files_ahead_ = 0;
  // Last: destroyed first, so its readers end before the folders and entries they use go.
  ChecksumPass pass_;
};

}  // namespace sw
