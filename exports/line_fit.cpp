#include "exports/line_fit.h"

namespace sw {

std::int32_t LINEARFIT(const float* x, const float* y, std::int32_t n, float& slope,
                       float& intercept) {
  slope = 0.0f;
  intercept = 0.0f;
  if (n <= 0 || x == nullptr || y == nullptr) return -1;
  double sxy = 0.0;
  double sxx = 0.0;
  double sx = 0.0;
  double sy = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double xi = x[i];
    const double yi = y[i];
    sxy += xi * yi;
    sxx += xi * xi;
    sx += xi;
    sy += yi;
  }
  const double count = n;
  const double d = count * sxx - sx * sx;
  if (d == 0.0) return -1;
  slope = static_cast<float>((count * sxy - sx * sy) / d);
  // The intercept uses the slope as stored, not the exact quotient.
  intercept = static_cast<float>((sy - static_cast<double>(slope) * sx) / count);
  return 1;
}

}  // namespace sw
