// Least-squares straight line through n points.
#pragma once

#include <cstdint>

namespace sw {

// Fits y = slope * x + intercept to x[0..n-1], y[0..n-1]. Returns 1, or -1 with slope and
// intercept 0 when the x values do not determine a line (n <= 0, all x equal, no arrays).
std::int32_t LINEARFIT(const float* x, const float* y, std::int32_t n, float& slope,
                       float& intercept);

}  // namespace sw
