#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cinttypes>

#include "cli/visible.h"
#include "core/progress_text.h"

namespace sw::cli {

std::string human_bytes(std::uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double v = static_cast<double>(bytes);
  int unit = 0;
  while (v >= 1024 && unit < 5) {
    v /= 1024;
    ++unit;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f %s", v, kUnits[unit]);
  return buf;
}

std::string progress_line(const ProgressState& s, std::size_t width) {
  char head[200];
  const double rate = s.seconds > 0 ? static_cast<double>(s.bytes_done) / s.seconds : 0;
  int n = std::snprintf(head, sizeof head, "%" PRIu64 "/%" PRIu64 " files  ", s.files_done,
                        s.files_total);
  // A share of the bytes and the time left, once there is a total to measure against.
  if (const auto share = share_percent(s.bytes_done, s.bytes_total))
    n += std::snprintf(head + n, sizeof head - n, "%u%%  ", *share);
  n += std::snprintf(head + n, sizeof head - n, "%s/%s  %s/s  ", human_bytes(s.bytes_done).c_str(),
                     human_bytes(s.bytes_total).c_str(),
                     human_bytes(static_cast<std::uint64_t>(rate)).c_str());
  if (const auto left = seconds_left(s.bytes_done, s.bytes_total, s.seconds))
    std::snprintf(head + n, sizeof head - n, "%s  ", time_left(*left).c_str());
  std::string line = head;
  line += visible(s.name);  // a name must not steer the terminal
  if (line.size() > width) line.resize(width);
  return line;
}

ProgressLine::ProgressLine(std::FILE* out, bool enabled)
    : out_(out),
      enabled_(enabled),
      start_(std::chrono::steady_clock::now()),
      stretch_start_(start_) {}

void ProgressLine::set_totals(std::uint64_t files, std::uint64_t bytes) {
  // A new stretch of work (the next folder of a tree): its counts and rate start afresh.
  state_ = ProgressState{};
  state_.files_total = files;
  state_.bytes_total = bytes;
  stretch_start_ = std::chrono::steady_clock::now();
  draw(true);
}

void ProgressLine::set_name(std::string_view name) {
  name_ = name;
  draw(false);
}

void ProgressLine::add_bytes(std::uint64_t n) {
  state_.bytes_done += n;
  draw(false);
}

void ProgressLine::file_done() {
  ++state_.files_done;
  draw(false);
}

double ProgressLine::elapsed_seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::draw(bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  struct winsize ws {};
  std::size_t width = 80;
  if (::ioctl(::fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) width = ws.ws_col - 1;
  state_.seconds = std::chrono::duration<double>(now - stretch_start_).count();
  state_.name = name_;
  std::fprintf(out_, "\r\033[K%s", progress_line(state_, width).c_str());
  std::fflush(out_);
  shown_ = true;
}

void ProgressLine::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace sw::cli
