// The checksums of a list of files, read by the calling thread and one helper thread and handed
// out in list order. Reading two files at once keeps both cores busy: on small files the time
// goes into opening and closing, on large cached files into copying, and both split well.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/file_crc.h"
#include "core/fs.h"
#include "core/listing.h"

namespace sw {

class ChecksumPass {
 public:
  // Reads the entries of the open folder `folder` that get a line in the listing (gets_entry);
  // the folder and the entries must outlive the pass. Without `use_helper` everything is read
  // on the calling thread.
  ChecksumPass(fs::Handle folder, const std::vector<fs::DirEntry>& entries, bool use_helper);
  ~ChecksumPass();
  ChecksumPass(const ChecksumPass&) = delete;
  ChecksumPass& operator=(const ChecksumPass&) = delete;

  // The checksum of `entry`, one of the entries the pass reads, each taken once and in order, on
  // the thread that made the pass. While it waits or reads, `progress` hears of every piece read
  // by either thread, from this thread only; its counts run ahead of the file being taken. An
  // entry out of that order is read here and then, never mixed up with another file's result.
  FileChecksum take(const fs::DirEntry& entry, ByteProgress* progress);

  // Whether a helper thread is running (it is not for one file, or when none could start).
  bool has_helper() const { return helper_.joinable(); }

 private:
  enum class State : std::uint8_t { kFree, kTaken, kDone, kAbandoned };
  struct Slot {
    FileChecksum sum;
    State state = State::kFree;
  };
  class Forwarder;

  FileChecksum take_at(std::size_t index, ByteProgress* progress);
  // Lets the helper finish the file it reads and end; everything else is then read here.
  void stop_helper();
  FileChecksum read(const fs::DirEntry& entry, ReadBuffer& buffer, ByteProgress* progress) const;
  void help();
  // Claims the first unclaimed file, reads it with the lock released and stores its result.
  // Called with `lock` held; returns with it held.
  void read_next_into_slot(std::unique_lock<std::mutex>& lock, ReadBuffer& buffer,
                           ByteProgress* progress);
  void report_helper_bytes(ByteProgress* progress);

  const fs::Handle folder_;
  const std::vector<const fs::DirEntry*> files_;
  std::vector<Slot> slots_;  // guarded by mutex_, except the sum of a slot its reader holds
  std::size_t next_ = 0;     // the first file nobody has claimed; guarded by mutex_
  std::size_t taken_ = 0;    // the next file take() hands out; the calling thread's
  bool stop_ = false;        // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable done_;
  std::atomic<std::uint64_t> helper_bytes_{0};  // read by the helper, not yet reported
  ReadBuffer buffer_;                           // the calling thread's
  std::thread helper_;
};

}  // namespace sw
