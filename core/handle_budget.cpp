#include "core/handle_budget.h"

#include <algorithm>

#include "core/os/fs.h"

namespace sw {

std::size_t HandleBudget::available_now() {
  const std::size_t limit = fs::handle_limit();
  const std::size_t open = fs::handles_open();
  return limit > open ? limit - open : 0;
}

HandleBudget::HandleBudget(std::size_t available)
    : available_(available), pool_(available > kOwnFiles ? available - kOwnFiles : 0) {}

std::size_t HandleBudget::take_readers(std::size_t wanted) {
  const std::size_t spare = pool_ > kLeastPool ? (pool_ - kLeastPool) / 2 : 0;
  const std::size_t readers = std::min(wanted, spare);
  pool_ -= readers;
  return readers;
}

bool HandleBudget::try_take(std::size_t count) {
  std::size_t taken = taken_.load();
  do {
    if (taken + count > pool_) return false;
  } while (!taken_.compare_exchange_weak(taken, taken + count));
  return true;
}

void HandleBudget::give_back(std::size_t count) {
  taken_.fetch_sub(count);
}

std::size_t HandleBudget::pool_left() const {
  const std::size_t taken = taken_.load();
  return taken < pool_ ? pool_ - taken : 0;
}

}  // namespace sw
