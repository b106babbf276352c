// Root mean square of scaled values.
#pragma once

#include <cstdint>

namespace sw {

// sqrt(sum((scale * v)^2) / count) over values[0..count-1], the sum kept as a 32-bit float.
// 0 when scale is 0, count is 0 or less, or there are no values.
float SCALEDRMS(const float* values, std::int32_t count, float scale);

}  // namespace sw
