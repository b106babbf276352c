#include "core/checksum_pass.h"

#include <chrono>
#include <system_error>
#include <utility>

namespace sw {
namespace {

// How long the calling thread waits for the helper before it reports progress again: the
// window front end keeps its messages flowing from the progress calls.
constexpr std::chrono::milliseconds kProgressInterval{50};

// The helper's pieces are only counted; the calling thread reports them.
class HelperCount final : public ByteProgress {
 public:
  explicit HelperCount(std::atomic<std::uint64_t>& count) : count_(count) {}
  void on_bytes(std::uint64_t count) override {
    count_.fetch_add(count, std::memory_order_relaxed);
  }

 private:
  std::atomic<std::uint64_t>& count_;
};

}  // namespace

// The calling thread's own pieces, reported together with what the helper read meanwhile.
class ChecksumPass::Forwarder final : public ByteProgress {
 public:
  Forwarder(ChecksumPass& pass, ByteProgress* to) : pass_(pass), to_(to) {}
  void on_bytes(std::uint64_t count) override {
    if (to_ != nullptr)
      to_->on_bytes(count + pass_.helper_bytes_.exchange(0, std::memory_order_relaxed));
  }

 private:
  ChecksumPass& pass_;
  ByteProgress* to_;
};

namespace {

std::vector<const fs::DirEntry*> entries_to_read(const std::vector<fs::DirEntry>& entries) {
  std::vector<const fs::DirEntry*> files;
  for (const fs::DirEntry& e : entries)
    if (gets_entry(e)) files.push_back(&e);
  return files;
}

}  // namespace

ChecksumPass::ChecksumPass(fs::Handle folder, const std::vector<fs::DirEntry>& entries,
                           bool use_helper)
    : folder_(folder), files_(entries_to_read(entries)), slots_(files_.size()) {
  if (!use_helper || files_.size() < 2) return;
  try {
    helper_ = std::thread(&ChecksumPass::help, this);
  } catch (const std::system_error&) {
    // No thread to be had: the calling thread reads everything.
  }
}

ChecksumPass::~ChecksumPass() {
  stop_helper();
}

void ChecksumPass::stop_helper() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  if (helper_.joinable()) helper_.join();
}

FileChecksum ChecksumPass::read(const fs::DirEntry& entry, ReadBuffer& buffer,
                                ByteProgress* progress) const {
  return checksum_file(folder_, entry.native(), buffer, progress, entry.size);  // as enumerated
}

void ChecksumPass::read_next_into_slot(std::unique_lock<std::mutex>& lock, ReadBuffer& buffer,
                                       ByteProgress* progress) {
  const std::size_t index = next_++;
  slots_[index].state = State::kTaken;
  lock.unlock();  // the slot is ours: nobody else touches it until it is marked done
  FileChecksum sum = read(*files_[index], buffer, progress);
  lock.lock();
  slots_[index].sum = std::move(sum);
  slots_[index].state = State::kDone;
}

void ChecksumPass::report_helper_bytes(ByteProgress* progress) {
  if (progress != nullptr) progress->on_bytes(helper_bytes_.exchange(0, std::memory_order_relaxed));
}

void ChecksumPass::help() {
  // Nothing may leave the thread: on failure the file it holds goes back to the caller.
  const std::size_t none = files_.size();
  std::size_t held = none;
  try {
    ReadBuffer buffer;
    HelperCount count(helper_bytes_);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_ && next_ < files_.size()) {
      held = next_;
      read_next_into_slot(lock, buffer, &count);
      held = none;
      done_.notify_one();
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (held != none) slots_[held].state = State::kAbandoned;
    done_.notify_one();
  }
}

FileChecksum ChecksumPass::take(const fs::DirEntry& entry, ByteProgress* progress) {
  if (taken_ < files_.size() && files_[taken_] == &entry) return take_at(taken_++, progress);
  // Out of turn: the helper might be reading the same file, which an exclusive open would
  // refuse one of them, so the pass goes on alone.
  stop_helper();
  Forwarder forward(*this, progress);
  return read(entry, buffer_, &forward);
}

FileChecksum ChecksumPass::take_at(std::size_t index, ByteProgress* progress) {
  Forwarder forward(*this, progress);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Slot& slot = slots_[index];
    if (slot.state == State::kDone) {
      FileChecksum sum = std::move(slot.sum);
      lock.unlock();
      if (helper_bytes_.load(std::memory_order_relaxed) != 0) report_helper_bytes(progress);
      return sum;
    }
    if (slot.state != State::kTaken) {
      // Nobody holds it (every earlier file is taken, so it is the next to claim), or the
      // helper gave it back: read it here.
      if (slot.state == State::kFree) next_ = index + 1;
      slot.state = State::kTaken;
      lock.unlock();
      return read(*files_[index], buffer_, &forward);
    }
    // The helper is reading it. Read a later file meanwhile, so that both threads stay busy.
    if (next_ < files_.size()) {
      read_next_into_slot(lock, buffer_, &forward);
      continue;
    }
    done_.wait_for(lock, kProgressInterval);
    lock.unlock();
    report_helper_bytes(progress);  // also when nothing came: a sign of life
    lock.lock();
  }
}

}  // namespace sw
