// The in-place radix-2 Fourier transform and the low-pass filter and spectra built on it.
// Samples are positions 1..n of the caller's array, passed without any position 0.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sw {

inline constexpr std::int16_t kFftMaxExponent = 14;  // at most 16384 points
inline constexpr std::int16_t kFftForward = -1;
inline constexpr std::int16_t kFftInverse = 1;

// Transforms positions 1..2^m (re[0], im[0] hold position 1), scaled by 1/sqrt(2^m) in both
// directions so that a forward and an inverse transform restore the input. sign is -1 for
// the forward transform and +1 for the inverse. Leaves the arrays alone when m is outside
// 1..14 or they are shorter than 2^m.
void FFTINPLACE(std::span<double> re, std::span<double> im, std::int16_t m, std::int16_t sign);

// The smallest m in 1..14 with 2^m >= n; 0 when n is more than 16384.
std::int16_t fft_exponent_for(std::size_t n);

// Keeps frequencies -cutoff..cutoff-1 of the zero-padded samples and writes the real part of
// the result to output positions 1..n (as far as output reaches). More than 16384 samples
// leave output untouched.
void FFTLOWPASS(std::span<const float> samples, std::span<float> output, std::int16_t cutoff);

// The magnitudes of the zero-padded samples' spectrum: magnitudes is re-created with positions
// 0..N/2 (index = position), position i holding frequency i - 1 and position 0 holding 0.
// More than 16384 samples leave magnitudes untouched.
void AMPSPECTRUM(std::span<const float> samples, std::vector<float>& magnitudes);

// As AMPSPECTRUM, with the phases arctan(im/re) (no quadrant correction; 0 where re is 0).
void AMPPHASESPECTRUM(std::span<const float> samples, std::vector<float>& magnitudes,
                      std::vector<float>& phases);

}  // namespace sw
