#include "spectrum.h"

#include "real_fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace media {
namespace {

constexpr double kPi = 3.141592653589793;

using RealPlan = RealFft;

}  // namespace

void fftInPlace(std::vector<std::complex<double>>& data) {
  if (data.size() < 2) return;
  auto* buffer = reinterpret_cast<fftw_complex*>(data.data());  // layout-compatible
  fftw_plan plan;
  {
    std::lock_guard<std::mutex> guard(fftwPlannerLock());
    plan = fftw_plan_dft_1d(static_cast<int>(data.size()), buffer, buffer, FFTW_FORWARD,
                            FFTW_ESTIMATE);
  }
  fftw_execute(plan);
  std::lock_guard<std::mutex> guard(fftwPlannerLock());
  fftw_destroy_plan(plan);
}

std::vector<double> powerSpectrum(const std::vector<double>& frame) {
  if (frame.empty()) return {};
  RealPlan plan(frame.size());
  std::copy(frame.begin(), frame.end(), plan.input());
  std::vector<double> out(frame.size() / 2 + 1);
  plan.powers(out.data());
  return out;
}

Spectrogram computeSpectrogram(const float* mono, std::size_t count, double sampleRate,
                               const SpectrogramParams& params) {
  Spectrogram s;
  const std::size_t n = std::max<std::size_t>(params.frameLength, 2);
  const std::size_t hop = std::max<std::size_t>(params.hop, 1);
  s.bins = static_cast<int>(n / 2 + 1);
  s.frames = count == 0 ? 0 : static_cast<int>(count / hop + 1);
  s.hopSeconds = static_cast<double>(hop) / sampleRate;
  s.binHz = sampleRate / static_cast<double>(n);
  s.db.resize(static_cast<std::size_t>(s.frames) * static_cast<std::size_t>(s.bins));

  std::vector<double> window(n);
  for (std::size_t i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);
  // A full-scale sine in the middle of a bin peaks at |X| = n / 4 under the Hann window.
  const double reference = (n / 4.0) * (n / 4.0);
  RealPlan plan(n);
  std::vector<double> powers(n / 2 + 1);
  const auto half = static_cast<int64_t>(n / 2);
  for (int f = 0; f < s.frames; ++f) {
    const int64_t first = static_cast<int64_t>(f) * static_cast<int64_t>(hop) - half;
    double* in = plan.input();
    for (std::size_t i = 0; i < n; ++i) {
      const int64_t p = first + static_cast<int64_t>(i);
      in[i] = p >= 0 && p < static_cast<int64_t>(count) ? mono[p] * window[i] : 0.0;
    }
    plan.powers(powers.data());
    float* row = s.db.data() + static_cast<std::size_t>(f) * static_cast<std::size_t>(s.bins);
    for (int k = 0; k < s.bins; ++k) {
      // 1e-30 keeps log10 finite for exact silence; the floor replaces it anyway.
      const double db = 10.0 * std::log10(powers[static_cast<std::size_t>(k)] / reference + 1e-30);
      row[k] = static_cast<float>(std::max(db, params.floorDb));
      s.maxDb = std::max(s.maxDb, row[k]);
    }
  }
  return s;
}

std::vector<float> monoOf(const std::vector<int16_t>& interleaved, int channels) {
  if (channels < 1) return {};
  const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
  std::vector<float> out(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    double sum = 0.0;
    for (int c = 0; c < channels; ++c)
      sum += interleaved[f * static_cast<std::size_t>(channels) + c];
    out[f] = static_cast<float>(sum / channels / 32768.0);
  }
  return out;
}

}  // namespace media
