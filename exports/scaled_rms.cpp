#include "exports/scaled_rms.h"

#include <cmath>

namespace sw {

float SCALEDRMS(const float* values, std::int32_t count, float scale) {
  if (scale == 0.0f || count <= 0 || values == nullptr) return 0.0f;
  float sum = 0.0f;
  for (std::int32_t i = 0; i < count; ++i) {
    const double v = scale == 1.0f ? values[i] : static_cast<double>(scale) * values[i];
    sum = static_cast<float>(sum + v * v);  // rounded to 32 bits after every addition
  }
  return static_cast<float>(std::sqrt(static_cast<double>(sum) / count));
}

}  // namespace sw
