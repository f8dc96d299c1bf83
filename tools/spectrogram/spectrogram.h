// Spectrogram comparison of two recordings: reads 16-bit PCM or 32-bit float WAVE files, mixes
// them to mono, finds the delay of one against the other and correlates their log-magnitude
// spectrograms. Used to check that a resynthesised recording still resembles the original.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct MonoSignal {
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  std::vector<float> samples;  // channels averaged, full scale = 1.0
};

// Parses a RIFF WAVE image. Returns an error text, empty on success. Accepts PCM 16-bit and IEEE
// float 32-bit (also in the extensible format), any channel count, chunks in any order.
std::string parseWave(const std::vector<uint8_t>& image, MonoSignal& out);
std::string readWave(const std::string& path, MonoSignal& out);

// In-place forward FFT (FFTW, through the media layer), unnormalised.
void fft(std::vector<std::complex<double>>& data);

struct SpectrogramShape {
  size_t frameLength = 1024;  // power of two
  size_t hop = 256;
  size_t bins() const { return frameLength / 2 + 1; }
};

// Log-magnitude spectrogram (dB) of `frames` frames starting at sample `start` (negative start
// or samples past the end read as silence), Hann window. Row-major: frame by bin. Values below
// the spectrogram's own maximum minus `rangeDb` are raised to that floor, so the near-silent
// parts (digital silence in one file, a noise floor in the other) compare as equal.
std::vector<double> logSpectrogram(const std::vector<float>& x, int64_t start, size_t frames,
                                   const SpectrogramShape& shape, double rangeDb = 80.0);

// Number of whole frames in `length` samples (0 when shorter than one frame).
size_t frameCount(size_t length, const SpectrogramShape& shape);

// Pearson correlation of two equally long sequences; 0 when either is constant.
double correlation(const std::vector<double>& a, const std::vector<double>& b);

// The spectrogram with its frames (rows of `bins` values) in a random order that depends only
// on `seed`.
std::vector<double> shuffleFrames(const std::vector<double>& spectrogram, size_t bins,
                                  uint64_t seed);

// The delay of `delayed` against `reference` in samples, searched from `expected` - `radius`
// to `expected` + `radius` (never below 0): the lag at which the frame energies (in dB, frames
// and hop of `shape`) of the two correlate best.
int64_t findDelay(const std::vector<float>& reference, const std::vector<float>& delayed,
                  int64_t expected, int64_t radius, const SpectrogramShape& shape);

// Frequency of the strongest spectral peak of x[start, start + length) (length a power of two),
// refined by fitting a parabola to the log magnitudes around the peak bin.
double peakFrequency(const std::vector<float>& x, size_t start, size_t length, double sampleRate);

}  // namespace tools
