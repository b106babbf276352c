#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "exports/line_fit.h"
#include "exports/scaled_rms.h"

namespace sw {
namespace {

TEST(LinearFit, ExactLine) {
  const float x[] = {0, 1, 2, 3};
  const float y[] = {1, 3, 5, 7};
  float slope = -9;
  float intercept = -9;
  EXPECT_EQ(LINEARFIT(x, y, 4, slope, intercept), 1);
  EXPECT_FLOAT_EQ(slope, 2.0f);
  EXPECT_FLOAT_EQ(intercept, 1.0f);
}

TEST(LinearFit, NoisyPointsMatchClosedForm) {
  const float x[] = {1, 2, 4, 7, 11};
  const float y[] = {2.1f, 3.9f, 8.2f, 13.7f, 22.4f};
  // Normal equations solved by hand for these points.
  const double n = 5, sx = 25, sy = 50.3, sxx = 191, sxy = 2.1 + 7.8 + 32.8 + 95.9 + 246.4;
  const double slope_expected = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  float slope = 0;
  float intercept = 0;
  EXPECT_EQ(LINEARFIT(x, y, 5, slope, intercept), 1);
  EXPECT_NEAR(slope, slope_expected, 1e-5);
  EXPECT_NEAR(intercept, (sy - slope_expected * sx) / n, 1e-4);
}

TEST(LinearFit, UndeterminedLineGivesMinusOneAndZeros) {
  const float x[] = {2, 2, 2, 2};
  const float y[] = {1, 5, 3, 0};
  float slope = 5;
  float intercept = 5;
  EXPECT_EQ(LINEARFIT(x, y, 4, slope, intercept), -1);
  EXPECT_EQ(slope, 0.0f);
  EXPECT_EQ(intercept, 0.0f);
  slope = intercept = 5;
  EXPECT_EQ(LINEARFIT(x, y, 0, slope, intercept), -1);
  EXPECT_EQ(slope, 0.0f);
  EXPECT_EQ(LINEARFIT(x, y, -3, slope, intercept), -1);
  EXPECT_EQ(LINEARFIT(nullptr, y, 4, slope, intercept), -1);
}

TEST(ScaledRms, ListedValues) {
  const float v[] = {3, 4};
  EXPECT_NEAR(SCALEDRMS(v, 2, 1), 3.5355339f, 1e-6f);
  EXPECT_NEAR(SCALEDRMS(v, 2, 2), 7.0710678f, 1e-6f);
  EXPECT_NEAR(SCALEDRMS(v, 2, -2), 7.0710678f, 1e-6f);
  EXPECT_EQ(SCALEDRMS(v, 2, 0), 0.0f);
}

TEST(ScaledRms, NoValuesGivesZero) {
  const float v[] = {3, 4};
  EXPECT_EQ(SCALEDRMS(v, 0, 1), 0.0f);
  EXPECT_EQ(SCALEDRMS(v, -1, 1), 0.0f);
  EXPECT_EQ(SCALEDRMS(nullptr, 2, 1), 0.0f);
}

TEST(ScaledRms, SumIsRoundedToFloatAfterEveryAddition) {
  // 1e8 + 1 is 1e8 in a 32-bit float, so the thousand ones vanish from the sum.
  std::vector<float> v(1001, 1.0f);
  v[0] = 1e4f;
  EXPECT_FLOAT_EQ(SCALEDRMS(v.data(), 1001, 1), static_cast<float>(std::sqrt(1e8 / 1001)));
}

}  // namespace
}  // namespace sw
