#include "core/os/thread.h"

#include <utility>

namespace sw {

void Thread::run(void* state) {
  auto* s = static_cast<State*>(state);
  try {
    s->body();
  } catch (...) {
    s->error = std::current_exception();
  }
}

bool Thread::start(std::function<void()> body, fs::SysError* err, std::size_t stack) {
  join();
  auto state = std::make_unique<State>();
  state->body = std::move(body);
  state->start = {&Thread::run, state.get()};
  fs::SysError ignored;
  if (!fs::ops().start_thread(&state->start, stack, &state->handle, err != nullptr ? err : &ignored))
    return false;
  state_ = std::move(state);
  return true;
}

std::exception_ptr Thread::join() {
  if (!state_) return nullptr;
  fs::ops().join_thread(state_->handle);
  std::exception_ptr error = std::move(state_->error);
  state_.reset();
  return error;
}

}  // namespace sw
