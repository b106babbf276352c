// The one-line progress display on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace sw::cli {

// "1.5 GiB", "512 B": sizes for people.
std::string human_bytes(std::uint64_t bytes);

struct ProgressState {
  std::uint64_t files_done = 0, files_total = 0;
  std::uint64_t bytes_done = 0, bytes_total = 0;
  double seconds = 0;
  std::string_view name;
};

// The progress line, cut to `width` columns.
std::string progress_line(const ProgressState& s, std::size_t width);

// Redraws the line in place at most ten times a second.
class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool enabled);
  // Starts a stretch of work (a folder) of this many files and bytes.
  void set_totals(std::uint64_t files, std::uint64_t bytes);
  void set_name(std::string_view name);
  void add_bytes(std::uint64_t n);
  void file_done();
  // Removes the line so that other output starts on a clean line.
  void clear();
  double elapsed_seconds() const;
  bool enabled() const { return enabled_; }

 private:
  void draw(bool force);

  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  ProgressState state_;
  std::string name_;
  std::chrono::steady_clock::time_point start_, stretch_start_, last_draw_;
};

}  // namespace sw::cli
