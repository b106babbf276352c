// The one request to stop a run or a tree: made by the front end (the window's close box or
// Exit, a signal on the command line) from any thread, even a signal handler, and looked at by
// the job before every step that writes, shows or asks, and between the pieces of a file's read.
// Once made it stays made: nothing more is written, shown or asked.
#pragma once

#include <atomic>

namespace sw {

class StopRequest {
 public:
  void request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

 private:
  // Lock-free, so that a signal handler may make the request.
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> requested_{false};
};

// Whether `stop` (which may be null: nobody can stop this) was requested.
inline bool stop_requested(const StopRequest* stop) {
  return stop != nullptr && stop->requested();
}

}  // namespace sw
