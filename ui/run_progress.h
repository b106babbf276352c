// What a run shows while it reads, handed from the run's thread to the window's: the current
// file and checksum, the bytes read of the total, and whether the listing is done. The run's
// thread writes and asks whether a post to the window is due; the window's thread takes what
// changed when the post arrives.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace sw::ui {

class RunProgress {
 public:
  // The window is told at most this often, as the command line redraws its progress line: each
  // post repaints the labels and the caption, which must not slow a folder of small files down.
  static constexpr std::chrono::milliseconds kPostInterval{100};

  // The run's side.
  void start(std::uint64_t bytes_total);
  void add_bytes(std::uint64_t count) { done_.fetch_add(count, std::memory_order_relaxed); }
  void set_name(std::string_view name);
  void set_checksum(std::string_view text);
  void finish_listing() { listing_done_.store(true); }
  // True when the window should be told now: none of the run's posts is waiting, and the last
  // was kPostInterval ago. A true answer counts as a post made.
  bool post_due();
  // The system refused that post (a full message queue): the next one due is made instead.
  void post_refused() { post_waiting_.store(false); }

  // The window's side: what to show, taken when a post arrives, after which the next post may
  // come. A name or checksum is given only when it changed since the last take.
  struct Shown {
    std::optional<std::string> name;
    std::optional<std::string> checksum;
    std::uint64_t bytes_done = 0;
    std::uint64_t bytes_total = 0;
    double seconds = 0;  // since the totals were known
    bool started = false;
    bool listing_done = false;
  };
  Shown take();

 private:
  using Clock = std::chrono::steady_clock;

  std::mutex mutex_;  // guards the texts and the start time
  std::optional<std::string> name_;
  std::optional<std::string> checksum_;
  Clock::time_point start_;
  bool started_ = false;
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> listing_done_{false};
  std::atomic<bool> post_waiting_{false};
  Clock::time_point last_post_;  // the run's thread only
};

// The window's caption during a run: "Sumwright - 42 %, 1:10 left" (the time once a guess
// means something), or the plain caption while there is no total to measure against.
std::string progress_caption(std::uint64_t bytes_done, std::uint64_t bytes_total, double seconds);

}  // namespace sw::ui
