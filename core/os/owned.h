// One owner for every kind of platform handle: whatever is opened is given back when its owner
// goes, also when something throws between the open and the close.
#pragma once

#include <utility>

namespace sw::fs {

// `Traits` names the handle type, its empty value (none()) and how to give one back (close()).
// Move-only; giving back an empty one does nothing.
template <class Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;

  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  ~Owned() { close(); }
  Owned(Owned&& other) noexcept : handle_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = other.release();
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Handle get() const { return handle_; }
  bool is_open() const { return handle_ != Traits::none(); }
  // Where an open call puts the handle it opens; anything held before is given back first.
  Handle* receive() {
    close();
    return &handle_;
  }
  // Lets go of the handle without giving it back: the caller owns it now.
  Handle release() { return std::exchange(handle_, Traits::none()); }
  void close() {
    if (handle_ != Traits::none()) Traits::close(release());
  }

 private:
  Handle handle_ = Traits::none();
};

}  // namespace sw::fs
