// A deterministic speech-like recording for tests and benchmarks: voiced stretches whose
// harmonics follow a gliding pitch and pass through moving vowel formants, unvoiced noise
// bursts, and pauses of digital silence. 16-bit samples at 44100 Hz.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace speechlike {

inline std::vector<int16_t> generate(int32_t sampleCount, uint32_t seed) {
  constexpr double kRate = 44100.0;
  constexpr double kTwoPi = 6.283185307179586;
  // First two formants of a few vowels (Hz).
  constexpr double kFormants[5][2] = {
      {730, 1090}, {270, 2290}, {300, 870}, {530, 1840}, {570, 840}};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<int16_t> out(static_cast<size_t>(sampleCount), 0);

  int32_t pos = 0;
  double phase = 0.0;
  while (pos < sampleCount) {
    const double kind = unit(rng);
    const auto length = static_cast<int32_t>(kRate * (0.08 + 0.35 * unit(rng)));
    const int32_t end = std::min(sampleCount, pos + length);
    if (kind < 0.15) {  // pause: digital silence
      pos = end;
      continue;
    }
    if (kind < 0.3) {  // unvoiced: shaped noise
      const double gain = 800 + 2500 * unit(rng);
      double low = 0.0;
      for (int32_t i = pos; i < end; ++i) {
        const double white = noise(rng);
        low = 0.7 * low + 0.3 * white;
        out[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(gain * (white - low)));
      }
      pos = end;
      continue;
    }
    // Voiced: pitch glides between two values, formants move from one vowel to another.
    const double f0a = 95 + 140 * unit(rng);
    const double f0b = f0a * (0.8 + 0.4 * unit(rng));
    const auto& va = kFormants[rng() % 5];
    const auto& vb = kFormants[rng() % 5];
    const double loud = 3000 + 9000 * unit(rng);
    for (int32_t i = pos; i < end; ++i) {
      const double t = static_cast<double>(i - pos) / std::max(1, end - pos);
      const double f0 = f0a + (f0b - f0a) * t;
      phase += kTwoPi * f0 / kRate;
      if (phase > kTwoPi * 1024) phase -= kTwoPi * 1024;
      const double f1 = va[0] + (vb[0] - va[0]) * t;
      const double f2 = va[1] + (vb[1] - va[1]) * t;
      double v = 0.0;
      for (int h = 1; h * f0 < 7000; ++h) {
        const double fh = h * f0;
        const double r1 = 1.0 / (1.0 + std::pow((fh - f1) / 90.0, 2));
        const double r2 = 0.5 / (1.0 + std::pow((fh - f2) / 120.0, 2));
        v += (r1 + r2 + 0.02) / h * std::sin(h * phase);
      }
      const double envelope = std::sin(3.14159265 * t);  // fade in and out
      const double sample = loud * envelope * v + 30 * noise(rng);
      out[static_cast<size_t>(i)] =
          static_cast<int16_t>(std::lround(std::clamp(sample, -32768.0, 32767.0)));
    }
    pos = end;
  }
  return out;
}

// Working form of the analyser: 16-bit samples scaled to 24 bits.
inline std::vector<int32_t> workingForm(const std::vector<int16_t>& samples) {
  std::vector<int32_t> out(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) out[i] = int32_t{samples[i]} * 256;
  return out;
}

}  // namespace speechlike
