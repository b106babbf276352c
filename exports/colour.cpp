#include "exports/colour.h"

#include <array>
#include <cmath>

namespace sw {
namespace {

// The table's order decides ties; the small steps come last on purpose.
constexpr std::array<float, 26> kSteps = {
    0.01f,   0.1f,    1.0f,    2.0f,     5.0f,   10.0f,  20.0f,  25.0f,  30.0f,
    40.0f,   50.0f,   75.0f,   100.0f,   150.0f, 200.0f, 400.0f, 500.0f, 1000.0f,
    2000.0f, 3000.0f, 5000.0f, 10000.0f, 0.02f,  0.05f,  0.2f,   0.5f};

constexpr float kNoStepYet = 1000000.0f;

// Rounds to the nearest integer, halves to the even one, whatever the caller's rounding mode.
double round_half_even(double x) {
  const double down = std::floor(x);
  const double fraction = x - down;
  if (fraction > 0.5) return down + 1.0;
  if (fraction < 0.5) return down;
  return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

// A channel of 0..1 as 0..255: rounded, its low 16 bits read as signed, then clamped.
std::uint32_t channel_byte(double intensity) {
  const double rounded = round_half_even(intensity * 255.0);
  if (!std::isfinite(rounded)) return 0;
  const auto low16 = static_cast<std::int64_t>(std::fmod(rounded, 65536.0));
  const auto as_short = static_cast<std::int16_t>(static_cast<std::uint16_t>(low16 & 0xFFFF));
  if (as_short < 0) return 0;
  if (as_short > 255) return 255;
  return static_cast<std::uint32_t>(as_short);
}

}  // namespace

double HUEVALUE(double m1, double m2, double hue) {
  if (hue > 360.0) {
    hue -= 360.0;
  } else if (hue < 0.0) {
    hue += 360.0;
  }
  if (hue < 60.0) return m1 + (m2 - m1) * hue / 60.0;
  if (hue < 180.0) return m2;
  if (hue < 240.0) return m1 + (m2 - m1) * (240.0 - hue) / 60.0;
  return m1;
}

std::uint32_t HLSTORGB(float hue, float lightness, float saturation) {
  const auto h = static_cast<float>(static_cast<double>(hue) * 1.5);
  const auto l = static_cast<float>(static_cast<double>(lightness) / 240.0);
  const auto s = static_cast<float>(static_cast<double>(saturation) / 240.0);
  const double m2 = l <= 0.5f ? static_cast<double>(l) * (1.0 + s)
                              : (static_cast<double>(l) + s) - static_cast<double>(l) * s;
  const double m1 = 2.0 * l - m2;
  double red = l;
  double green = l;
  double blue = l;
  if (s != 0.0f) {
    red = HUEVALUE(m1, m2, h + 120.0);
    green = HUEVALUE(m1, m2, h);
    blue = HUEVALUE(m1, m2, h - 120.0);
  }
  return channel_byte(red) + channel_byte(green) * 256u + channel_byte(blue) * 65536u;
}

float CHOOSESTEP(float a, float b) {
  const auto range = static_cast<float>(std::fabs(static_cast<double>(b) - static_cast<double>(a)));
  float best = kNoStepYet;
  float chosen = 0.0f;
  for (const float step : kSteps) {
    const auto ratio = static_cast<float>(static_cast<double>(range) / step);
    const auto distance = static_cast<float>(std::fabs(10.0 - static_cast<double>(ratio)));
    if (best > distance) {
      best = distance;
      chosen = step;
    }
  }
  return chosen;
}

}  // namespace sw
