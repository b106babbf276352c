// Saves of many folders' files made durable together, after Git's batched flushes: each file is
// written whole to its temporary file first; then one flush of the file system makes all of them
// durable (starting each file's write-back early, as Git does, cost more processor time than it
// saved here: bench/README.md), the renames put them in place, and one more flush
// makes the renames durable. Two device flushes a batch instead of two a file; until its batch
// is committed, every file's earlier version stays where it was, whole.
//
// A staged file stays open, and so keeps its writer's lock (fs::Ops::create_new), until it is
// put in place or removed: no other run can take it for abandoned meanwhile.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/handle_budget.h"
#include "core/os/fs.h"
#include "core/save_text.h"
#include "core/stop.h"

namespace sw {

class SaveBatch {
 public:
  // A batch is due once it holds `most` files, or once its first file has waited `wait`. Its
  // staged files' handles are drawn from `budget`'s pool, when there is one.
  SaveBatch(std::size_t most, std::chrono::milliseconds wait, HandleBudget* budget = nullptr);
  // What is staged and not committed is given up: temporary files removed, earlier files kept.
  ~SaveBatch();
  SaveBatch(const SaveBatch&) = delete;
  SaveBatch& operator=(const SaveBatch&) = delete;

  static constexpr std::size_t kNotStaged = ~std::size_t{0};

  // Finishes the writer's file and stages it to replace its target in `folder`, which is kept
  // open until the commit. Returns its number among the commit's outcomes, or kNotStaged with
  // the reason in `err` when the file could not be finished (nothing then stays behind).
  std::size_t stage(TextFileWriter& writer, std::shared_ptr<const fs::Folder> folder,
                    const std::string& name, fs::SysError* err);

  // Files staged and not yet committed.
  std::size_t size() const { return committed_ ? 0 : staged_.size(); }
  bool due() const;

  struct Outcome {
    bool saved = false;
    fs::SysError error;   // why not
    bool placed = false;  // not saved, yet in place: written, but not known to be durable
  };
  // Puts every staged file in place, durably; the outcomes in the order of staging. A flush that
  // fails before the renames keeps every earlier file of its file system and says so for each
  // of its files. A stop requested (or abandon() called) before the renames begin keeps every
  // earlier file too. The batch is empty afterwards. It neither takes nor gives back heap memory
  // unless something fails: it runs on a thread of its own, and a thread that touches the heap is
  // given a heap of its own, which reserves 64 MiB of address space on Linux. What the staged
  // files held of the heap goes when the batch goes, or with the next stage().
  std::vector<Outcome> commit(const StopRequest* stop = nullptr);
  // From another thread: a commit that has not begun its renames puts nothing in place.
  void abandon() { abandoned_.store(true); }

 private:
  struct Staged {
    std::shared_ptr<const fs::Folder> folder;
    std::string temp_name, name;
    fs::File file;             // held, with its lock, until it is put in place or removed
    bool counted = false;      // its handle is drawn from the budget
    std::uint64_t device = 0;  // the file system it is on, once looked up
    bool device_known = false;
  };
  // Makes what is written on the file systems of the staged files that are still sound durable;
  // `after_renames`: the folders' entries are what must be made so.
  void flush(bool after_renames, const StopRequest* stop);
  void let_go(Staged& s);

  std::size_t most_;
  std::chrono::milliseconds wait_;
  HandleBudget* budget_;
  std::atomic<bool> abandoned_{false};
  bool committed_ = false;  // staged_ holds what the last commit put in place, for the heap's sake
  std::chrono::steady_clock::time_point first_staged_;
  std::vector<Staged> staged_;
  std::vector<Outcome> outcomes_;   // one a staged file, grown as they are staged
  std::vector<std::size_t> order_;  // the staged files by file system, for its flushes
};

}  // namespace sw
