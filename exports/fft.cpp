#include "exports/fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace sw {
namespace {

// The zero-padded samples, transformed forward.
struct Spectrum {
  std::vector<double> re;
  std::vector<double> im;
};

bool forward_spectrum(std::span<const float> samples, Spectrum& out) {
  const std::int16_t m = fft_exponent_for(samples.size());
  if (m == 0) return false;
  const std::size_t n_points = std::size_t{1} << m;
  out.re.assign(n_points, 0.0);
  out.im.assign(n_points, 0.0);
  std::copy(samples.begin(), samples.end(), out.re.begin());
  FFTINPLACE(out.re, out.im, m, kFftForward);
  return true;
}

}  // namespace

std::int16_t fft_exponent_for(std::size_t n) {
  for (std::int16_t m = 1; m <= kFftMaxExponent; ++m) {
    if ((std::size_t{1} << m) >= n) return m;
  }
  return 0;
}

void FFTINPLACE(std::span<double> re, std::span<double> im, std::int16_t m, std::int16_t sign) {
  if (m < 1 || m > kFftMaxExponent) return;
  const std::size_t n_points = std::size_t{1} << m;
  if (re.size() < n_points || im.size() < n_points) return;

  // Bit-reversal reordering, counting positions from 0.
  const std::size_t half = n_points / 2;
  std::size_t j = 0;
  for (std::size_t i = 0; i + 1 < n_points; ++i) {
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
    std::size_t k = half;
    while (k <= j) {
      j -= k;
      k /= 2;
    }
    j += k;
  }

  // Butterflies; the twiddle factor advances by one complex product per group.
  for (std::int16_t level = 1; level <= m; ++level) {
    const std::size_t span_len = std::size_t{1} << level;
    const std::size_t half_span = span_len / 2;
    const double angle = std::numbers::pi / static_cast<double>(half_span);
    const double w_re = std::cos(angle);
    const double w_im = sign * std::sin(angle);
    double u_re = 1.0;
    double u_im = 0.0;
    for (std::size_t group = 0; group < half_span; ++group) {
      for (std::size_t i = group; i < n_points; i += span_len) {
        const std::size_t ip = i + half_span;
        const double t_re = u_re * re[ip] - u_im * im[ip];
        const double t_im = u_im * re[ip] + u_re * im[ip];
        re[ip] = re[i] - t_re;
        im[ip] = im[i] - t_im;
        re[i] += t_re;
        im[i] += t_im;
      }
      const double next_re = u_re * w_re - u_im * w_im;
      u_im = u_re * w_im + u_im * w_re;
      u_re = next_re;
    }
  }

  const double scale = 1.0 / std::sqrt(static_cast<double>(n_points));
  for (std::size_t i = 0; i < n_points; ++i) {
    re[i] *= scale;
    im[i] *= scale;
  }
}

void FFTLOWPASS(std::span<const float> samples, std::span<float> output, std::int16_t cutoff) {
  Spectrum spectrum;
  if (!forward_spectrum(samples, spectrum)) return;
  const auto n_points = static_cast<std::int32_t>(spectrum.re.size());
  // Positions cutoff+1 .. N-cutoff (1-based) hold the frequencies above the cutoff.
  const std::int32_t first = std::max<std::int32_t>(cutoff + 1, 1);
  const std::int32_t last = std::min<std::int32_t>(n_points - cutoff, n_points);
  for (std::int32_t pos = first; pos <= last; ++pos) {
    spectrum.re[pos - 1] = 0.0;
    spectrum.im[pos - 1] = 0.0;
  }
  const auto m = fft_exponent_for(samples.size());
  FFTINPLACE(spectrum.re, spectrum.im, m, kFftInverse);
  const std::size_t count = std::min(samples.size(), output.size());
  for (std::size_t i = 0; i < count; ++i) output[i] = static_cast<float>(spectrum.re[i]);
}

void AMPSPECTRUM(std::span<const float> samples, std::vector<float>& magnitudes) {
  Spectrum spectrum;
  if (!forward_spectrum(samples, spectrum)) return;
  const std::size_t half = spectrum.re.size() / 2;
  magnitudes.assign(half + 1, 0.0f);
  for (std::size_t pos = 1; pos <= half; ++pos) {
    const double re = spectrum.re[pos - 1];
    const double im = spectrum.im[pos - 1];
    magnitudes[pos] = static_cast<float>(std::sqrt(im * im + re * re));
  }
}

void AMPPHASESPECTRUM(std::span<const float> samples, std::vector<float>& magnitudes,
                      std::vector<float>& phases) {
  Spectrum spectrum;
  if (!forward_spectrum(samples, spectrum)) return;
  const std::size_t half = spectrum.re.size() / 2;
  magnitudes.assign(half + 1, 0.0f);
  phases.assign(half + 1, 0.0f);
  for (std::size_t pos = 1; pos <= half; ++pos) {
    const double re = spectrum.re[pos - 1];
    const double im = spectrum.im[pos - 1];
    magnitudes[pos] = static_cast<float>(std::sqrt(im * im + re * re));
    if (re != 0.0) phases[pos] = static_cast<float>(std::atan(im / re));
  }
}

}  // namespace sw
