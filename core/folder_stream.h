// A tree of folders as one stream of files for one ChecksumPass. The walk holds every folder by
// its handle: the top is opened by its path, every other folder relative to its parent's handle,
// never through a link, and that one handle then serves the folder's enumeration, its files, its
// earlier listing and its saves. No folder is reached again by a path, so nothing can be swapped
// in under the walk and no depth is too deep for the system's path limit; paths are built only
// to show them.
//
// Folders are opened and enumerated ahead of the one being listed and their files handed to the
// pass, so the readers go on from one folder into the next: a tree of small folders keeps as many
// reads in flight as one large folder, and its reader threads start once, not once per folder.
// Every folder's handle is drawn from the run's HandleBudget and given back when the last of its
// holders (the walk, a save batch) lets it go.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/checksum_pass.h"
#include "core/enumeration.h"
#include "core/handle_budget.h"
#include "core/os/fs.h"
#include "core/stop.h"

namespace sw {

class FolderStream {
 public:
  // Frees handles of the pool when it runs short and no folder is ahead of the one being
  // listed (a tree commits its waiting saves); false when it has nothing to free.
  using Reclaim = std::function<bool()>;

  // The tree below the open folder `top`: the top first, then each subfolder's tree in the byte
  // order of the names (links to folders are not followed, a folder reached twice is taken
  // once). With `sizes`, every file's size is known before it is read (see
  // ListingObserver::wants_byte_totals). The pass reads with `readers` threads and ends its
  // reads when `stop` is requested. Without a budget the walk takes the handles it finds.
  FolderStream(fs::Folder top, bool sizes, std::size_t readers = ChecksumPass::kDefaultReaders,
               const StopRequest* stop = nullptr, HandleBudget* budget = nullptr,
               Reclaim reclaim = {});
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;

  struct Prepared {
    std::string relative;                // from the top ("" for the top), for showing
    std::shared_ptr<fs::Folder> folder;  // not open when it could not be opened
    std::string path;                    // the folder's path (native form), for showing
    fs::SysError open_error;
    EnumeratedFolder found;  // its files are given to the pass
    std::size_t files_in_pass = 0;
  };

  // The next folder of the tree, open and enumerated (or not opened, with the reason: then
  // nothing below it is visited); null after the last. The folder returned before is let go,
  // so it must have been listed.
  Prepared* next();
  ChecksumPass& pass() { return pass_; }

 private:
  // A folder whose subfolders are still to be opened: its handle and their names, last first.
  struct Parent {
    std::shared_ptr<fs::Folder> folder;
    std::string relative;
    std::vector<std::string> names;
  };

  void fill();
  // An empty folder whose handle, once opened into it, counts against the budget until the
  // folder's last holder lets it go; null when the pool is spent.
  std::shared_ptr<fs::Folder> held_folder();
  // Opens and enumerates the next folder of the walk into `p`; false when the process has no
  // handle to spare just now (the caller waits for listed folders to let theirs go).
  bool prepare(const Parent& parent, const std::string& name, Prepared& p);
  void enter(Prepared& p);

  bool sizes_;
  HandleBudget* budget_;
  Reclaim reclaim_;
  bool top_given_ = false;
  std::unique_ptr<Prepared> top_;  // the top, until it is handed to fill()
  std::vector<Parent> walk_;       // the folders whose subfolders are still to come
  std::set<fs::FileId> seen_;
  bool handed_out_ = false;  // the front of ahead_ was returned by next()
  std::deque<Prepared> ahead_;
  std::size_t files_ahead_ = 0;
  // Last: destroyed first, so its readers end before the folders and entries they use go.
  ChecksumPass pass_;

  // Folders are enumerated ahead until this many files are in the pass or this many folders
  // are open ahead, whichever comes first; fewer where the budget's pool is small, so that
  // batches of saves keep room too.
  static constexpr std::size_t kFilesAhead = 2 * ChecksumPass::kWindow;
  static constexpr std::size_t kFoldersAhead = 64;
};

}  // namespace sw
