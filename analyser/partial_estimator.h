// Finds the single strongest sinusoid in one analysis window: a fixed-point coarse search over
// a logarithmic grid from 55 Hz to 8000 Hz, then six finer levels in double precision.
#pragma once

#include <cstdint>
#include <vector>

namespace analyser {

inline constexpr int kSampleRate = 44100;
inline constexpr int kMaxFrameLength = 2940;

// 65536 packed entries: sine (x32767, rounded half away from zero) in the upper 16 bits,
// cosine in the lower 16 bits, of the angle k * 6.2831853071796 / 65536.
struct SineCosineTable {
  std::vector<uint32_t> packed;
  int16_t sine(uint32_t k) const { return static_cast<int16_t>(packed[k] >> 16); }
  int16_t cosine(uint32_t k) const { return static_cast<int16_t>(packed[k] & 0xFFFF); }
};
void buildSineCosineTable(SineCosineTable& table);

struct PartialEstimate {
  int32_t level = 0;       // amplitude in working-sample units
  double frequency = 0.0;  // hertz, 55.0 to 8000.0
  int32_t phase = 0;       // 0..65535, 1/65536 of a turn
};

// Stored form of a frequency: tenths of a hertz, rounded to nearest.
int32_t frequencyTenths(double hertz);

// One estimator per thread: it owns its scratch storage (allocated once).
class PartialEstimator {
 public:
  explicit PartialEstimator(const SineCosineTable& table);
  // `window` points at `n` consecutive working-form samples, n in {2940, 2205, 1470, 735}.
  PartialEstimate estimate(const int32_t* window, int n);

 private:
  const SineCosineTable& table_;
  std::vector<double> x_;
  std::vector<int16_t> q_;
};

}  // namespace analyser
