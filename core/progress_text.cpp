#include "core/progress_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace sw {

std::optional<unsigned> share_percent(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return std::nullopt;
  done = std::min(done, total);
  // Past 2^64 / 100 bytes (which no folder holds) the product would overflow; measured against
  // a hundredth of the total, rounded up, the share is then at most one short, never over.
  constexpr std::uint64_t kExactUpTo = UINT64_MAX / 100;
  const std::uint64_t percent = done <= kExactUpTo ? done * 100 / total : done / (total / 100 + 1);
  return static_cast<unsigned>(std::min<std::uint64_t>(percent, 100));
}

std::optional<double> seconds_left(std::uint64_t done, std::uint64_t total, double seconds) {
  if (total <= done || seconds < 1) return std::nullopt;
  const double rate = static_cast<double>(done) / seconds;
  if (rate <= 0) return std::nullopt;
  return static_cast<double>(total - done) / rate;
}

std::string time_left(double seconds) {
  // A rate near zero gives an absurd guess; it is shown as the most the words can say, and
  // never converted out of the integer's range.
  constexpr double kLongest = 1e12;
  if (!(seconds > 0)) seconds = 0;
  if (seconds > kLongest) seconds = kLongest;
  const auto whole = static_cast<std::uint64_t>(seconds + 0.5);
  char buf[48];
  if (whole >= 3600)
    std::snprintf(buf, sizeof buf, "%" PRIu64 ":%02u:%02u left", whole / 3600,
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
  else
    std::snprintf(buf, sizeof buf, "%u:%02u left", static_cast<unsigned>(whole / 60),
                  static_cast<unsigned>(whole % 60));
  return buf;
}

}  // namespace sw
