// The checksums of a folder's files (or of the folders of a tree, one after another), read by a
// set of reader threads and handed out in enumeration order on the thread that made the pass. Many
// reads in flight are what a folder of small files needs when it is not in memory: each read then
// waits on the disk, not on the processor (bench/README.md, "Folder pass").
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/enumeration.h"
#include "core/file_crc.h"
#include "core/os/fs.h"
#include "core/os/thread.h"
#include "core/stop.h"

namespace sw {

class ChecksumPass {
 public:
  // Reads in flight at most, by default: sixteen deep reached the disk's own pace on cold small
  // files (bench/README.md). How many of them run is tuned as the pass goes, starting at two per
  // core: down to one per core while the cores are busy (files in memory: more would only take
  // turns on the cores), up while more bring more (files that come from a disk).
  static constexpr std::size_t kDefaultReaders = 16;
  // Results read ahead of the one the calling thread takes, at most: enough that the readers of
  // small cached files need not wait while the calling thread sleeps between its looks.
  static constexpr std::size_t kWindow = 1024;

  // Reads the entries of the open folder `folder` that get a line in the listing (gets_entry),
  // with `readers` reader threads at most (0: everything on the calling thread; where the system
  // gives fewer threads, those there are do the work). The folder and the entries must outlive
  // the pass. Memory: one ReadBuffer per reader and kWindow results. A stop request ends every
  // read at its next piece.
  ChecksumPass(fs::Handle folder, const fs::DirEntries& entries,
               std::size_t readers = kDefaultReaders, const StopRequest* stop = nullptr);
  // A pass given its files folder by folder (add), for the folders of a tree: the readers go on
  // from one folder into the next instead of waiting for each to be listed.
  explicit ChecksumPass(std::size_t readers, const StopRequest* stop = nullptr);
  // Appends the entries of one more open folder that get a line in the listing; from the thread
  // that made the pass. The folder and the entries must outlive their takes. Returns how many
  // files it added.
  std::size_t add(fs::Handle folder, const fs::DirEntries& entries);
  // No folder follows: readers that find nothing more to read end.
  void finish_adding();
  ~ChecksumPass();
  ChecksumPass(const ChecksumPass&) = delete;
  ChecksumPass& operator=(const ChecksumPass&) = delete;

  // The checksum of `entry`, one of the entries the pass reads, each taken once and in order, on
  // the thread that made the pass. While it waits, `progress` hears of every piece read by any
  // reader, from this thread only, and at least every 50 ms (0 bytes when nothing came); its
  // counts run ahead of the file being taken. An entry out of that order is read here and then,
  // never mixed up with another file's result.
  FileChecksum take(const fs::DirEntry& entry, ByteProgress* progress);

  // How many reader threads may read at most (fewer than asked when the system gives no more),
  // and how many of them read now.
  std::size_t readers() const { return most_readers_; }
  std::size_t active_readers() const { return active_.load(); }
  // Whether the run's stop request was made: a file taken since may not have been read.
  bool stop_requested() const { return sw::stop_requested(user_stop_); }

 private:
  enum State : std::uint8_t { kEmpty, kDone, kAbandoned };
  // A result between its reader and its take. The reader fills `sum`, then publishes the state
  // (release); the calling thread reads the state (acquire), then takes the sum.
  struct alignas(64) Slot {  // a cache line each: neighbouring readers do not share one
    FileChecksum sum;
    std::atomic<std::uint8_t> state{kEmpty};
  };
  class Forwarder;

  // One file to read: its folder, its entry, and whether its file system stamps changes by
  // this machine's clock (asked once a folder).
  struct Item {
    fs::Handle folder;
    const fs::DirEntry* entry;
    bool clock_first;
  };

  void start(std::size_t readers);
  FileChecksum read(const Item& item, ReadBuffer& buffer, ByteProgress* progress) const;
  // Waits until file `index` has been added; false when none will be (or the pass stops).
  bool wait_for_file(std::size_t index);
  Item item_at(std::size_t index);
  void run_reader(std::size_t id);
  // Starts reader threads until there are `count`, or the system gives no more.
  void start_readers(std::size_t count);
  // From the calling thread only.
  void set_active(std::size_t count);
  // Called by the calling thread as it takes and as it waits (`waited`).
  void tune(bool waited);
  void wait_for_room(std::size_t index);
  FileChecksum take_at(std::size_t index, ByteProgress* progress);
  FileChecksum read_here(std::size_t index, ByteProgress* progress);
  void report_reader_bytes(ByteProgress* progress);
  void wake_waiting_readers();
  // Lets every reader finish the file it reads and end; everything else is then read here.
  void stop_readers();

  // Appended by the calling thread under feed_mutex_, which readers take to look at it; the
  // calling thread, its only writer, looks without.
  LargeVector<Item> files_;
  alignas(64) std::atomic<std::size_t> added_{0};  // files_.size(), for the readers
  std::atomic<bool> adding_done_{false};
  std::mutex feed_mutex_;
  std::condition_variable more_;  // readers wait here for files to be added
  std::size_t window_ = 1;        // file i lives in ring_[i % window_] from read to take
  std::unique_ptr<Slot[]> ring_;
  // The counters every reader touches live on cache lines of their own.
  alignas(64) std::atomic<std::size_t> next_{0};   // the first file nobody has claimed
  alignas(64) std::atomic<std::size_t> taken_{0};  // files handed out; a reader reads file i
                                                   // only below taken_ + window_
  alignas(64) std::atomic<std::size_t> live_readers_{0};
  std::atomic<std::size_t> active_{0};   // readers with a lower id read; the others are parked
  std::atomic<std::size_t> started_{0};  // reader threads there are
  std::atomic<bool> stop_{false};        // the readers are to end
  const StopRequest* user_stop_ = nullptr;
  std::atomic<std::size_t> room_waiters_{0};  // readers waiting for taken_ to move
  std::mutex mutex_;                          // only for the readers' waits for room
  std::condition_variable room_;
  std::condition_variable parked_;  // readers over the active count wait here
  alignas(64) std::atomic<std::uint64_t> reader_bytes_{0};  // read, not yet reported
  ReadBuffer buffer_;                                       // the calling thread's own
  std::size_t most_readers_ = 0;
  // Started as they are wanted, up to most_readers_. Last: a Thread waits for its thread to end,
  // and so the readers end before anything they use goes.
  std::vector<Thread> threads_;

  // The calling thread's view of how busy the cores were over the last epoch.
  std::size_t cores_ = 1;
  struct Tuning {
    std::chrono::steady_clock::time_point epoch_start;
    double epoch_cpu = 0;  // the process's processor seconds at the epoch's start
    bool waited = false;   // the calling thread waited for a reader in this epoch
  } tuning_;
};

}  // namespace sw
