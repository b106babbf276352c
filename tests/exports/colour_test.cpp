#include "exports/colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sw {
namespace {

constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r + g * 256 + b * 65536;
}

TEST(HlsToRgb, PrimaryAndSecondaryColours) {
  EXPECT_EQ(HLSTORGB(0, 120, 240), rgb(255, 0, 0));
  EXPECT_EQ(HLSTORGB(80, 120, 240), rgb(0, 255, 0));
  EXPECT_EQ(HLSTORGB(160, 120, 240), rgb(0, 0, 255));
  EXPECT_EQ(HLSTORGB(40, 120, 240), rgb(255, 255, 0));
  EXPECT_EQ(HLSTORGB(240, 120, 240), rgb(255, 0, 0));  // a full turn
}

TEST(HlsToRgb, WhiteBlackAndGreys) {
  for (float h : {0.0f, 77.0f, 200.0f}) {
    EXPECT_EQ(HLSTORGB(h, 240, 0), rgb(255, 255, 255));
    EXPECT_EQ(HLSTORGB(h, 0, 133), 0u);
  }
  // 127.5 rounds to the even 128.
  EXPECT_EQ(HLSTORGB(0, 120, 0), rgb(128, 128, 128));
  // 60 / 240 * 255 = 63.75.
  EXPECT_EQ(HLSTORGB(0, 60, 0), rgb(64, 64, 64));
}

TEST(HlsToRgb, OutOfRangeChannelsAreClampedAfterKeepingSixteenBits) {
  EXPECT_EQ(HLSTORGB(0, 480, 0), rgb(255, 255, 255));
  EXPECT_EQ(HLSTORGB(0, -240, 0), 0u);
  // 257 * 255 = 65535, which as a signed 16-bit value is -1: clamped to 0, not 255.
  EXPECT_EQ(HLSTORGB(0, 240 * 257, 0), 0u);
  // 258 * 255 = 65790, whose low 16 bits are 254.
  EXPECT_EQ(HLSTORGB(0, 240 * 258, 0), rgb(254, 254, 254));
}

TEST(HueValue, SingleCorrectionIntoRange) {
  const double m1 = 0.25;
  const double m2 = 0.75;
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 0), m1);
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 360), m1);
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 30), 0.5);
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 120), m2);
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 210), 0.5);
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 420), m2);   // 60 after one correction
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, -300), m2);  // 60 after one correction
  // Only one correction: 780 becomes 420, which is past 240.
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, 780), m1);
  // -400 becomes -40, below 60: the first ramp is extended backwards.
  EXPECT_DOUBLE_EQ(HUEVALUE(m1, m2, -400), m1 + (m2 - m1) * -40.0 / 60.0);
}

TEST(ChooseStep, AboutTenIntervals) {
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 100), 10.0f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 3), 0.5f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 45), 5.0f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 250), 25.0f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 360), 40.0f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(-20, 20), 5.0f);
}

TEST(ChooseStep, EndsInEitherOrder) {
  EXPECT_FLOAT_EQ(CHOOSESTEP(5, 0), 0.5f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 5), 0.5f);
}

TEST(ChooseStep, TiesGoToTheEarlierTableEntry) {
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 600), 50.0f);
  EXPECT_FLOAT_EQ(CHOOSESTEP(0, 1200), 100.0f);
  // Range 0: every distance is 10, so the first entry wins.
  EXPECT_FLOAT_EQ(CHOOSESTEP(7, 7), 0.01f);
}

TEST(ChooseStep, NothingWithinReachGivesZero) {
  EXPECT_EQ(CHOOSESTEP(0, 1e11f), 0.0f);
  EXPECT_EQ(CHOOSESTEP(0, std::numeric_limits<float>::quiet_NaN()), 0.0f);
  EXPECT_EQ(CHOOSESTEP(0, std::numeric_limits<float>::infinity()), 0.0f);
}

}  // namespace
}  // namespace sw
