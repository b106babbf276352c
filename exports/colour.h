// Colour conversion from hue, lightness and saturation on a 0..240 scale, and the choice of a
// round step that cuts a range into about ten intervals.
#pragma once

#include <cstdint>

namespace sw {

// Packed colour value: red in bits 0-7, green in 8-15, blue in 16-23.
std::uint32_t HLSTORGB(float hue, float lightness, float saturation);

// One channel's intensity for a hue in degrees, corrected once into 0..360.
double HUEVALUE(double m1, double m2, double hue);

// The step of the fixed table that divides |b - a| into the number of intervals nearest to
// ten (the earlier entry on a tie); 0 when none comes within 1000000.
float CHOOSESTEP(float a, float b);

}  // namespace sw
