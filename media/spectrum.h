// Short-time spectra with FFTW3.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

struct SpectrogramParams {
  std::size_t frameLength = 2048;  // samples per FFT frame (any size FFTW plans)
  std::size_t hop = 441;           // 10 ms at 44.1 kHz
  double floorDb = -120.0;         // values below are raised to this
};

struct Spectrogram {
  int frames = 0;
  int bins = 0;
  double hopSeconds = 0.0;
  double binHz = 0.0;
  // frames x bins, row-major; power in dB relative to a full-scale sine (0 dB).
  std::vector<float> db;
  float at(int frame, int bin) const {
    return db[static_cast<std::size_t>(frame) * static_cast<std::size_t>(bins) +
              static_cast<std::size_t>(bin)];
  }
};

// Hann-windowed spectrogram; frame f covers samples [f * hop - frameLength / 2, ...), so its
// centre lies at f * hopSeconds. Samples outside the signal read as silence.
Spectrogram computeSpectrogram(const float* mono, std::size_t count, double sampleRate,
                               const SpectrogramParams& params = {});

// The squared magnitudes of the real FFT of `frame` (already windowed): frame.size() / 2 + 1
// values.
std::vector<double> powerSpectrum(const std::vector<double>& frame);

// The forward DFT of `data` in place (any size), unnormalised: X[k] = sum x[n] e^(-2 pi i kn/N).
void fftInPlace(std::vector<std::complex<double>>& data);

// Mono floats (full scale 1.0) of 16-bit interleaved samples, channels averaged.
std::vector<float> monoOf(const std::vector<int16_t>& interleaved, int channels);

}  // namespace media
