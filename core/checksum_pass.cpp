#include "core/checksum_pass.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace sw {
namespace {

// How long the calling thread sleeps between looks at a result that is not in yet. Readers do
// not wake it: a wake per file costs more than the file on small cached folders, and in a
// millisecond the readers have usually finished a batch.
constexpr std::chrono::microseconds kLookInterval{1000};
// How often the calling thread gives a sign of life while it waits: the window front end keeps
// its messages flowing from the progress calls.
constexpr std::chrono::milliseconds kProgressInterval{50};

// Tuning the number of readers: every epoch the calling thread compares the processor time the
// process used with the time that passed. Readers that leave the cores mostly idle while the
// calling thread waits for them are waiting on the disk, and more of them help; readers that
// keep the cores busy are as many as help. Epochs are short so that a cold folder reaches its
// depth within a tenth of a second.
constexpr std::chrono::milliseconds kEpochTime{25};
constexpr double kIdleBelow = 0.6;  // share of the cores used: below it, readers wait on the disk
constexpr double kBusyAbove = 0.9;

// A reader's pieces are only counted; the calling thread reports them.
class ReaderCount final : public ByteProgress {
 public:
  explicit ReaderCount(std::atomic<std::uint64_t>& count) : count_(count) {}
  void on_bytes(std::uint64_t count) override {
    count_.fetch_add(count, std::memory_order_relaxed);
  }

 private:
  std::atomic<std::uint64_t>& count_;
};

}  // namespace

// The calling thread's own pieces, reported together with what the readers read meanwhile.
class ChecksumPass::Forwarder final : public ByteProgress {
 public:
  Forwarder(ChecksumPass& pass, ByteProgress* to) : pass_(pass), to_(to) {}
  void on_bytes(std::uint64_t count) override {
    if (to_ != nullptr)
      to_->on_bytes(count + pass_.reader_bytes_.exchange(0, std::memory_order_relaxed));
  }

 private:
  ChecksumPass& pass_;
  ByteProgress* to_;
};

ChecksumPass::ChecksumPass(fs::Handle folder, const fs::DirEntries& entries, std::size_t readers,
                           const StopRequest* stop)
    : user_stop_(stop) {
  // Every file is there before the readers start. One file is read where it is asked for; more
  // readers than files would only wait.
  const std::size_t files = add(folder, entries);
  finish_adding();
  start(files < 2 ? 0 : std::min(readers, files));
}

ChecksumPass::ChecksumPass(std::size_t readers, const StopRequest* stop) : user_stop_(stop) {
  start(readers);
}

void ChecksumPass::start(std::size_t readers) {
  if (readers == 0) return;
  window_ = kWindow;
  ring_ = std::make_unique<Slot[]>(window_);
  cores_ = std::max<std::size_t>(1, std::thread::hardware_concurrency());
  most_readers_ = readers;
  threads_.reserve(readers);
  // Two per core: a cold folder starts a step nearer its depth, a cached one loses little.
  set_active(2 * cores_);
  tuning_.epoch_start = std::chrono::steady_clock::now();
  tuning_.epoch_cpu = fs::process_cpu_seconds();
}

void ChecksumPass::start_readers(std::size_t count) {
  while (threads_.size() < count) {
    live_readers_.fetch_add(1);
    Thread& reader = threads_.emplace_back();
    const std::size_t id = threads_.size() - 1;
    if (!reader.start([this, id] { run_reader(id); })) {
      threads_.pop_back();
      live_readers_.fetch_sub(1);
      most_readers_ = threads_.size();  // no more threads to be had: those there are do the work
      break;
    }
  }
  started_.store(threads_.size());
}

std::size_t ChecksumPass::add(fs::Handle folder, const fs::DirEntries& entries) {
  std::size_t added = 0;
  const bool clock_first = fs::ops().stamps_by_clock(folder);
  {
    const std::lock_guard<std::mutex> lock(feed_mutex_);
    // Grown once for a folder, not entry by entry (but still by doubling across a tree's folders).
    if (files_.capacity() < files_.size() + entries.size())
      files_.reserve(std::max(files_.size() + entries.size(), 2 * files_.capacity()));
    for (const fs::DirEntry& e : entries)
      if (gets_entry(e)) {
        files_.push_back({folder, &e, clock_first});
        ++added;
      }
    added_.store(files_.size(), std::memory_order_release);
  }
  more_.notify_all();
  return added;
}

void ChecksumPass::finish_adding() {
  {
    const std::lock_guard<std::mutex> lock(feed_mutex_);
    adding_done_.store(true);
  }
  more_.notify_all();
}

bool ChecksumPass::wait_for_file(std::size_t index) {
  if (index < added_.load(std::memory_order_acquire)) return true;
  std::unique_lock<std::mutex> lock(feed_mutex_);
  more_.wait(
      lock, [this, index] { return stop_.load() || adding_done_.load() || index < added_.load(); });
  return !stop_.load() && index < added_.load();
}

ChecksumPass::Item ChecksumPass::item_at(std::size_t index) {
  const std::lock_guard<std::mutex> lock(feed_mutex_);
  return files_[index];
}

void ChecksumPass::set_active(std::size_t count) {
  count = std::clamp<std::size_t>(count, 1, most_readers_);
  if (count == active_.load()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    active_.store(count);
    parked_.notify_all();
  }
  // Readers are started when first wanted: on files in memory most of them never are, and each
  // costs its start, its stack and its buffer.
  start_readers(count);
  if (started_.load() < count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    active_.store(started_.load());
  }
}

void ChecksumPass::tune(bool waited) {
  Tuning& t = tuning_;
  t.waited = t.waited || waited;
  const auto now = std::chrono::steady_clock::now();
  const std::chrono::duration<double> took = now - t.epoch_start;
  if (took < kEpochTime) return;
  const double cpu = fs::process_cpu_seconds();
  const double used = (cpu - t.epoch_cpu) / (took.count() * static_cast<double>(cores_));
  const std::size_t active = active_.load();
  if (t.waited && used < kIdleBelow) {
    set_active(active * 2);
  } else if (used > kBusyAbove && active > cores_) {
    set_active(std::max(cores_, active / 2));
  }
  t.epoch_start = now;
  t.epoch_cpu = cpu;
  t.waited = false;
}

ChecksumPass::~ChecksumPass() {
  stop_readers();
}

void ChecksumPass::stop_readers() {
  stop_.store(true);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    room_.notify_all();
    parked_.notify_all();
  }
  {
    const std::lock_guard<std::mutex> lock(feed_mutex_);
    more_.notify_all();
  }
  for (Thread& t : threads_) t.join();
  threads_.clear();
}

FileChecksum ChecksumPass::read(const Item& item, ReadBuffer& buffer,
                                ByteProgress* progress) const {
  const fs::DirEntry& e = *item.entry;
  // As enumerated.
  return checksum_file(item.folder, e.native(), buffer, progress,
                       fs::FileFacts{e.size, e.modified, e.changed, true}, user_stop_,
                       item.clock_first);
}

void ChecksumPass::wait_for_room(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  room_waiters_.fetch_add(1);
  room_.wait(lock, [this, index] { return stop_.load() || index < taken_.load() + window_; });
  room_waiters_.fetch_sub(1);
}

void ChecksumPass::wake_waiting_readers() {
  if (room_waiters_.load() == 0) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  room_.notify_all();
}

void ChecksumPass::run_reader(std::size_t id) {
  // Nothing may leave the thread: on failure the file it holds goes back to the caller.
  constexpr std::size_t none = ~std::size_t{0};
  std::size_t held = none;
  try {
    ReadBuffer buffer;
    ReaderCount count(reader_bytes_);
    while (!stop_.load()) {
      if (id >= active_.load(std::memory_order_relaxed)) {
        std::unique_lock<std::mutex> lock(mutex_);
        parked_.wait(lock, [this, id] { return stop_.load() || id < active_.load(); });
        continue;
      }
      // Files are claimed in order, and never read further ahead of the caller than the ring
      // holds.
      held = next_.fetch_add(1);
      if (!wait_for_file(held)) {
        // Past the last file: nothing to give back. A stop gives the file back, since it may
        // still be added and taken.
        if (!stop_.load()) held = none;
        break;
      }
      if (held >= taken_.load() + window_) wait_for_room(held);
      if (stop_.load()) break;
      FileChecksum sum = read(item_at(held), buffer, &count);
      // Out of handles for the moment (a tree's read-ahead holds many folders): the calling
      // thread reads it when its turn comes, rather than call a good file unreadable.
      Slot& slot = ring_[held % window_];
      if (!sum.readable && fs::out_of_handles(sum.error)) {
        slot.state.store(kAbandoned, std::memory_order_release);
      } else {
        slot.sum = std::move(sum);
        slot.state.store(kDone, std::memory_order_release);
      }
      held = none;
    }
  } catch (...) {
    // A parked reader takes this one's place.
    const std::lock_guard<std::mutex> lock(mutex_);
    active_.store(std::min(active_.load() + 1, started_.load()));
    parked_.notify_all();
  }
  // A file claimed and not read (a stop, a failure) goes back to the caller.
  if (held != none) ring_[held % window_].state.store(kAbandoned, std::memory_order_release);
  live_readers_.fetch_sub(1);
}

void ChecksumPass::report_reader_bytes(ByteProgress* progress) {
  // After a stop the front end hears nothing more, not even the readers' last pieces.
  if (progress != nullptr && !stop_requested())
    progress->on_bytes(reader_bytes_.exchange(0, std::memory_order_relaxed));
}

FileChecksum ChecksumPass::read_here(std::size_t index, ByteProgress* progress) {
  Forwarder forward(*this, progress);
  return read(files_[index], buffer_, &forward);
}

FileChecksum ChecksumPass::take(const fs::DirEntry& entry, ByteProgress* progress) {
  const std::size_t index = taken_.load();
  if (index < files_.size() && files_[index].entry == &entry) return take_at(index, progress);
  // Out of turn: a reader might be reading the same file, which an exclusive open would refuse
  // one of them, so the pass goes on alone.
  stop_readers();
  const auto it = std::find_if(files_.begin(), files_.end(),
                               [&entry](const Item& item) { return item.entry == &entry; });
  Forwarder forward(*this, progress);
  return read({it != files_.end() ? it->folder : fs::kNoHandle, &entry,
               it != files_.end() && it->clock_first},
              buffer_, &forward);
}

FileChecksum ChecksumPass::take_at(std::size_t index, ByteProgress* progress) {
  if (!ring_) {
    taken_.store(index + 1);
    return read_here(index, progress);
  }
  Slot& slot = ring_[index % window_];
  auto last_sign = std::chrono::steady_clock::now();
  for (;;) {
    const std::uint8_t state = slot.state.load(std::memory_order_acquire);
    if (state != kEmpty) {
      FileChecksum sum = state == kDone ? std::move(slot.sum) : FileChecksum{};
      slot.state.store(kEmpty, std::memory_order_relaxed);
      taken_.store(index + 1);  // the slot is free for the file a window further on
      // Readers held back by the window go on in batches, not one wake per file.
      if ((index + 1) % (window_ / 4) == 0) wake_waiting_readers();
      if (state != kDone) return read_here(index, progress);  // a reader gave it back
      if (reader_bytes_.load(std::memory_order_relaxed) != 0) report_reader_bytes(progress);
      if ((index & 63) == 0) tune(false);
      return sum;
    }
    if (live_readers_.load() == 0) {
      // No reader is left: what they put in is in, so a slot still empty stays empty.
      if (slot.state.load(std::memory_order_acquire) != kEmpty) continue;
      next_.store(std::max(next_.load(), index + 1));
      taken_.store(index + 1);
      return read_here(index, progress);
    }
    wake_waiting_readers();  // a reader waiting for room may hold the very file needed here
    std::this_thread::sleep_for(kLookInterval);
    tune(true);
    const auto now = std::chrono::steady_clock::now();
    if (reader_bytes_.load(std::memory_order_relaxed) != 0 ||
        now - last_sign >= kProgressInterval) {
      report_reader_bytes(progress);  // also when nothing came: a sign of life
      last_sign = now;
    }
  }
}

}  // namespace sw
