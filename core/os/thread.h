// A thread started through the seam (fs::Ops::start_thread), so that tests can refuse it, and
// joined by its owner: whoever holds a Thread waits for it to end before letting it go, so what
// the thread works on can live beside it, whatever the order of their declarations.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>

#include "core/os/fs.h"

namespace sw {

class Thread {
 public:
  // What every thread of the program needs: the readers, the commit and the enumeration's helper
  // keep little on their stacks, and a process under a memory limit (ulimit -v) counts every
  // stack at its full size, which the system's default (often 8 MiB) would make costly.
  static constexpr std::size_t kStack = 512 * 1024;

  Thread() = default;
  // Waits for the thread to end.
  ~Thread() { join(); }
  Thread(Thread&& other) noexcept = default;
  Thread& operator=(Thread&& other) noexcept {
    if (this != &other) {
      join();
      state_ = std::move(other.state_);
    }
    return *this;
  }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts `body` on a thread of its own; false, with the reason in `err`, when the system gives
  // no thread (then nothing has started, and the caller does the work itself). What `body` throws
  // is kept for join().
  bool start(std::function<void()> body, fs::SysError* err = nullptr, std::size_t stack = kStack);
  bool running() const { return state_ != nullptr; }
  // Waits for the thread to end; what its body threw, or null. Nothing when none runs.
  std::exception_ptr join();

 private:
  struct State {
    std::function<void()> body;
    std::exception_ptr error;
    fs::ThreadStart start{};
    fs::ThreadHandle handle = 0;
  };
  static void run(void* state);
  std::unique_ptr<State> state_;
};

}  // namespace sw
