// A tree run: every folder of the tree below an open folder, each run as run_folder runs one,
// with one stream of reads for the whole tree (FolderStream), its saves made durable in batches
// (SaveBatch) committed on a thread of its own while the next batch fills, one answer to the
// comparison question for every folder, and the folders reported to the front end in the tree's
// order, each once its saves are in place. The same unit serves the command line and the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/handle_budget.h"
#include "core/os/fs.h"
#include "core/run.h"

namespace sw {

// What a front end hears of a tree, besides what each folder's run tells it (RunFrontEnd).
class TreeFrontEnd : public RunFrontEnd {
 public:
  // The folder whose files are listed next, by its path from the top ("" for the top).
  virtual void on_folder_start(const std::string& /*relative*/) {}
  // A folder whose run is over and whose saves are committed: first this; then what it wrote is
  // said (report_written) and shown, or its failure reported; then on_folder_done. In the tree's
  // order, one folder at a time.
  virtual void on_folder_committed(const RunReport& /*report*/) {}
  virtual void on_folder_done(const RunReport& report, double seconds) = 0;
  // The clock a folder's seconds are told by (a front end may leave out the time a question
  // waited for its answer).
  virtual double seconds_now();
};

struct TreeOutcome {
  std::size_t folders = 0;  // reported to the front end
  bool stopped = false;     // the plan's stop request ended the tree
  // Folders listed but not reported, since the stop came before their saves were put in place.
  std::size_t folders_not_written = 0;
};

// How long the first save of a batch waits for the batch to be committed, at most: a slow tree
// still reports steadily.
inline constexpr std::chrono::milliseconds kBatchWait{250};
// The most files a batch holds.
inline constexpr std::size_t kBatchFiles = 256;

// What a tree holds: its folders, and the files and bytes a run of it reads.
struct TreeSize {
  std::uint64_t folders = 0, files = 0, bytes = 0;
};

// The size of the tree below `top`, walked as run_tree walks it (never through a link) but
// without reading a file, for a front end that shows progress over the whole tree. A folder that
// cannot be opened counts as none. A stop ends the walk with what it has counted.
TreeSize measure_tree(const fs::Folder& top, const StopRequest* stop);

// How many subfolders the open folder holds (links to folders not counted).
std::size_t count_subfolders(const fs::Folder& folder);

// Runs every folder of the tree below `top` as `plan` says, drawing its folders and staged
// files from `budget` (readers are the plan's), and returns once every folder is reported, or
// once the plan's stop request has ended it: then the folders whose saves were put in place are
// reported still, and nothing more is written. Anything the front end throws (no memory, say)
// ends the tree the same way before it leaves: staged files removed, every earlier file kept.
TreeOutcome run_tree(TreeFrontEnd& ui, fs::Folder top, RunPlan plan, HandleBudget& budget);

}  // namespace sw
