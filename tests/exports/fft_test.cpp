#include "exports/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace sw {
namespace {

using Complex = std::complex<long double>;

// The transform by its definition, in long double: (1/sqrt N) sum x(t) e^(sign 2 pi i k t / N).
std::vector<Complex> naive_dft(const std::vector<Complex>& x, int sign) {
  const std::size_t n = x.size();
  const long double pi = std::numbers::pi_v<long double>;
  std::vector<Complex> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    Complex sum = 0;
    for (std::size_t t = 0; t < n; ++t) {
      const long double angle = sign * 2 * pi * static_cast<long double>((k * t) % n) / n;
      sum += x[t] * Complex(std::cos(angle), std::sin(angle));
    }
    out[k] = sum / std::sqrt(static_cast<long double>(n));
  }
  return out;
}

// The samples padded with zeros to the next power of two (at least 2), as complex values.
std::vector<Complex> padded(const std::vector<float>& samples) {
  std::size_t n = 2;
  while (n < samples.size()) n *= 2;
  std::vector<Complex> x(n, 0);
  for (std::size_t i = 0; i < samples.size(); ++i) x[i] = samples[i];
  return x;
}

std::vector<float> random_samples(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-10.0f, 10.0f);
  std::vector<float> v(n);
  for (float& f : v) f = dist(gen);
  return v;
}

TEST(FftInPlace, KnownEightPointTransform) {
  std::vector<double> re = {1, 2, 3, 4, 0, 0, 0, 0};
  std::vector<double> im(8, 0.0);
  FFTINPLACE(re, im, 3, kFftForward);
  EXPECT_NEAR(re[0], 10 / std::sqrt(8.0), 1e-12);
  EXPECT_NEAR(im[0], 0.0, 1e-12);
  EXPECT_NEAR(re[4], -2 / std::sqrt(8.0), 1e-12);
  EXPECT_NEAR(im[4], 0.0, 1e-12);
  EXPECT_NEAR(re[1], -0.14645, 1e-5);
  EXPECT_NEAR(im[1], -2.56066, 1e-5);
}

TEST(FftInPlace, MatchesTheDefinitionInBothDirections) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (std::int16_t m = 1; m <= 10; ++m) {
    const std::size_t n = std::size_t{1} << m;
    for (const std::int16_t sign : {kFftForward, kFftInverse}) {
      std::vector<double> re(n);
      std::vector<double> im(n);
      std::vector<Complex> x(n);
      for (std::size_t i = 0; i < n; ++i) {
        re[i] = dist(gen);
        im[i] = dist(gen);
        x[i] = Complex(re[i], im[i]);
      }
      FFTINPLACE(re, im, m, sign);
      const std::vector<Complex> expected = naive_dft(x, sign);
      for (std::size_t k = 0; k < n; ++k) {
        ASSERT_NEAR(re[k], static_cast<double>(expected[k].real()), 1e-12)
            << "n " << n << " k " << k;
        ASSERT_NEAR(im[k], static_cast<double>(expected[k].imag()), 1e-12)
            << "n " << n << " k " << k;
      }
    }
  }
}

TEST(FftInPlace, ForwardThenInverseRestoresEverySize) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> dist(-100.0, 100.0);
  for (std::int16_t m = 1; m <= kFftMaxExponent; ++m) {
    const std::size_t n = std::size_t{1} << m;
    std::vector<double> re(n);
    std::vector<double> im(n);
    for (std::size_t i = 0; i < n; ++i) {
      re[i] = dist(gen);
      im[i] = dist(gen);
    }
    const std::vector<double> re0 = re;
    const std::vector<double> im0 = im;
    FFTINPLACE(re, im, m, kFftForward);
    EXPECT_NE(re, re0);
    FFTINPLACE(re, im, m, kFftInverse);
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_NEAR(re[i], re0[i], 1e-9) << "n " << n;
      ASSERT_NEAR(im[i], im0[i], 1e-9) << "n " << n;
    }
  }
}

TEST(FftInPlace, ExponentOutOfRangeOrShortArraysLeaveDataAlone) {
  const std::vector<double> original = {1, 2, 3, 4};
  std::vector<double> re = original;
  std::vector<double> im(4, 0.0);
  FFTINPLACE(re, im, 0, kFftForward);
  FFTINPLACE(re, im, 15, kFftForward);
  FFTINPLACE(re, im, -1, kFftForward);
  FFTINPLACE(re, im, 3, kFftForward);  // needs 8 positions
  EXPECT_EQ(re, original);
}

TEST(FftExponent, SmallestFittingPowerFromOneToFourteen) {
  EXPECT_EQ(fft_exponent_for(0), 1);
  EXPECT_EQ(fft_exponent_for(2), 1);
  EXPECT_EQ(fft_exponent_for(3), 2);
  EXPECT_EQ(fft_exponent_for(6), 3);
  EXPECT_EQ(fft_exponent_for(16384), 14);
  EXPECT_EQ(fft_exponent_for(16385), 0);
}

TEST(FftLowPass, CutoffZeroRemovesEverythingAndHighCutoffKeepsAll) {
  const std::vector<float> samples = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<float> out(8, 99.0f);
  FFTLOWPASS(samples, out, 0);
  for (float v : out) EXPECT_NEAR(v, 0.0f, 1e-6f);
  for (const std::int16_t cutoff : {std::int16_t{4}, std::int16_t{5}, std::int16_t{100}}) {
    FFTLOWPASS(samples, out, cutoff);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], samples[i], 1e-5f) << cutoff;
  }
  FFTLOWPASS(samples, out, -3);
  for (float v : out) EXPECT_NEAR(v, 0.0f, 1e-6f);
}

TEST(FftLowPass, CutoffOneKeepsMeanAndMinusOne) {
  const std::vector<float> samples = {1, 2, 3, 4, 5, 6, 7, 8};
  const float expected[] = {4, 3.292893f, 3.292893f, 4, 5, 5.707107f, 5.707107f, 5};
  std::vector<float> out(8);
  FFTLOWPASS(samples, out, 1);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], expected[i], 1e-5f) << i;
}

TEST(FftLowPass, SixSamplesArePaddedWithZerosAndSixWritten) {
  const std::vector<float> samples = {3, -1, 4, 1, -5, 9};
  std::vector<float> out(8, 99.0f);
  FFTLOWPASS(samples, out, 2);
  // Oracle: keep frequencies -2..1 of the zero-padded eight points.
  std::vector<Complex> spectrum = naive_dft(padded(samples), -1);
  for (std::size_t k = 2; k <= 5; ++k) spectrum[k] = 0;
  const std::vector<Complex> back = naive_dft(spectrum, 1);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(out[i], static_cast<float>(back[i].real()), 1e-5f) << i;
  }
  EXPECT_EQ(out[6], 99.0f);
  EXPECT_EQ(out[7], 99.0f);
}

TEST(FftLowPass, TooManySamplesLeaveOutputUntouched) {
  const std::vector<float> samples(16385, 1.0f);
  std::vector<float> out(16385, 7.0f);
  FFTLOWPASS(samples, out, 3);
  EXPECT_EQ(out, std::vector<float>(16385, 7.0f));
}

TEST(AmpSpectrum, ConstantSignalHasOnlyTheMean) {
  const std::vector<float> samples(8, 1.0f);
  std::vector<float> mags = {1, 2, 3};
  AMPSPECTRUM(samples, mags);
  ASSERT_EQ(mags.size(), 5u);
  EXPECT_EQ(mags[0], 0.0f);
  EXPECT_NEAR(mags[1], 2.828427f, 1e-5f);
  for (std::size_t i = 2; i < 5; ++i) EXPECT_NEAR(mags[i], 0.0f, 1e-6f);
}

TEST(AmpSpectrum, ZeroPaddedMagnitudesMatchTheDefinition) {
  for (const std::size_t n : {5u, 100u, 1000u}) {
    const std::vector<float> samples = random_samples(n, static_cast<unsigned>(n));
    std::vector<float> mags;
    AMPSPECTRUM(samples, mags);
    const std::vector<Complex> expected = naive_dft(padded(samples), -1);
    ASSERT_EQ(mags.size(), expected.size() / 2 + 1);
    EXPECT_EQ(mags[0], 0.0f);
    for (std::size_t pos = 1; pos < mags.size(); ++pos) {
      EXPECT_NEAR(mags[pos], static_cast<float>(std::abs(expected[pos - 1])), 1e-4f) << pos;
    }
  }
}

TEST(AmpSpectrum, TooManySamplesLeaveMagnitudesUntouched) {
  const std::vector<float> samples(20000, 1.0f);
  std::vector<float> mags = {4, 5};
  AMPSPECTRUM(samples, mags);
  EXPECT_EQ(mags, (std::vector<float>{4, 5}));
}

TEST(AmpPhaseSpectrum, PlainArctangentWithoutQuadrantCorrection) {
  const std::vector<float> samples = random_samples(12, 3);
  std::vector<float> mags;
  std::vector<float> phases;
  AMPPHASESPECTRUM(samples, mags, phases);
  const std::vector<Complex> expected = naive_dft(padded(samples), -1);
  ASSERT_EQ(mags.size(), 9u);
  ASSERT_EQ(phases.size(), 9u);
  EXPECT_EQ(phases[0], 0.0f);
  for (std::size_t pos = 1; pos < 9; ++pos) {
    const Complex c = expected[pos - 1];
    EXPECT_NEAR(mags[pos], static_cast<float>(std::abs(c)), 1e-4f) << pos;
    EXPECT_NEAR(phases[pos], static_cast<float>(std::atan(c.imag() / c.real())), 1e-4f) << pos;
  }
}

TEST(AmpPhaseSpectrum, NegativeRealPartStaysWithinHalfPi) {
  // Frequency 1 of 1, 2, 3, 4 padded to eight is -0.146 - 2.561i; its true angle is below
  // -pi/2, the plain arctangent gives +1.51.
  const std::vector<float> samples = {1, 2, 3, 4, 0, 0, 0, 0};
  std::vector<float> mags;
  std::vector<float> phases;
  AMPPHASESPECTRUM(samples, mags, phases);
  EXPECT_NEAR(phases[2], std::atan(2.56066 / 0.14645), 1e-4);
  EXPECT_NEAR(mags[2], std::hypot(2.56066, 0.14645), 1e-4);
}

TEST(AmpPhaseSpectrum, ZeroRealPartGivesPhaseZero) {
  // The mean of 1, -1, 1, -1 is exactly 0; its phase is 0 rather than arctan(0 / 0).
  const std::vector<float> samples = {1, -1, 1, -1};
  std::vector<float> mags;
  std::vector<float> phases;
  AMPPHASESPECTRUM(samples, mags, phases);
  EXPECT_EQ(mags[1], 0.0f);
  EXPECT_EQ(phases[1], 0.0f);
}

}  // namespace
}  // namespace sw
