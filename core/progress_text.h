// The words of a run's progress, shared by the terminal's progress line and the window's
// caption so both say the same: the share of the bytes read and the time left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sw {

// The whole percent of `total` that `done` is, at most 100; none when there is no total to
// measure against.
std::optional<unsigned> share_percent(std::uint64_t done, std::uint64_t total);

// Seconds still to go at the rate so far, once a guess means something: after a second's work
// (the first reads say little about the rest), with bytes still to read.
std::optional<double> seconds_left(std::uint64_t done, std::uint64_t total, double seconds);

// "0:42 left", "1:02:03 left".
std::string time_left(double seconds);

}  // namespace sw
