// One account of the files and folders a run holds open at once, drawn against what the process
// may still open (its limit less what it held at the start). Each holder has its share: the
// reader threads one file each, the run's own files (a file read or written on the calling
// thread, the earlier listing, a folder written elsewhere, the enumeration's own descriptor) a
// fixed few, and the rest is a pool for the folders a tree holds (read ahead, waiting for their
// parents' next subfolder, or waiting with their staged saves for a batch's commit) and for the
// staged files themselves. A tree that finds the pool empty waits: it commits its batches, which
// lets their folders and files go, before it opens more. So the program never runs out of
// handles of its own making, and no file is ever reported unreadable for it.
#pragma once

#include <atomic>
#include <cstddef>

namespace sw {

class HandleBudget {
 public:
  // What the calling thread and the commit may hold at once besides the pool: a file being read
  // or written, the earlier listing being compared, a folder written elsewhere (or the
  // enumeration's own descriptor), and a staged file the commit opens to flush.
  static constexpr std::size_t kOwnFiles = 4;
  // The least pool a tree can go on with: a folder, its two staged saves, and the next folder.
  static constexpr std::size_t kLeastPool = 4;
  // Below this a run is refused at its start: it could not be done without running out.
  static constexpr std::size_t kFloor = kOwnFiles + kLeastPool;

  // What this process may still open: its limit less what it holds open now.
  static std::size_t available_now();

  explicit HandleBudget(std::size_t available);
  HandleBudget(const HandleBudget&) = delete;
  HandleBudget& operator=(const HandleBudget&) = delete;

  std::size_t available() const { return available_; }
  bool enough() const { return available_ >= kFloor; }

  // How many reader threads may each hold a file, of `wanted`: at most half of what is left
  // over the floor, so that a tree keeps a pool to read ahead and batch its saves. Their share
  // is taken from the pool for as long as the budget lives; called once.
  std::size_t take_readers(std::size_t wanted);

  // The pool: a handle for each folder or staged file, taken before it is opened and given back
  // once it is closed (from any thread). try_take fails, taking nothing, when the pool has not
  // that many left.
  bool try_take(std::size_t count = 1);
  void give_back(std::size_t count = 1);
  std::size_t pool_left() const;
  std::size_t pool_size() const { return pool_; }

 private:
  std::size_t available_;
  std::size_t pool_;
  std::atomic<std::size_t> taken_{0};
};

}  // namespace sw
