#include "ui/run_progress.h"

#include "core/progress_text.h"
#include "ui/dialog_template.h"

namespace sw::ui {

void RunProgress::start(std::uint64_t bytes_total) {
  const std::lock_guard lock(mutex_);
  total_.store(bytes_total);
  start_ = Clock::now();
  started_ = true;
}

void RunProgress::set_name(std::string_view name) {
  const std::lock_guard lock(mutex_);
  name_.emplace(name);
}

void RunProgress::set_checksum(std::string_view text) {
  const std::lock_guard lock(mutex_);
  checksum_.emplace(text);
}

bool RunProgress::post_due() {
  const Clock::time_point now = Clock::now();
  if (now - last_post_ < kPostInterval || post_waiting_.exchange(true)) return false;
  last_post_ = now;
  return true;
}

RunProgress::Shown RunProgress::take() {
  // Cleared first: whatever the run changes from here on is told by a post of its own.
  post_waiting_.store(false);
  Shown shown;
  shown.listing_done = listing_done_.load();
  shown.bytes_done = done_.load(std::memory_order_relaxed);
  const std::lock_guard lock(mutex_);
  shown.name = std::move(name_);
  shown.checksum = std::move(checksum_);
  name_.reset();
  checksum_.reset();
  shown.started = started_;
  shown.bytes_total = total_.load();
  if (started_) shown.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  return shown;
}

std::string progress_caption(std::uint64_t bytes_done, std::uint64_t bytes_total, double seconds) {
  std::string caption = kMainDialog.caption;
  const std::optional<unsigned> share = share_percent(bytes_done, bytes_total);
  if (!share) return caption;
  caption += " - " + std::to_string(*share) + " %";
  if (const std::optional<double> left = seconds_left(bytes_done, bytes_total, seconds))
    caption += ", " + time_left(*left);
  return caption;
}

}  // namespace sw::ui
