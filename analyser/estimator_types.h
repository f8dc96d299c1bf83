// The plain records the partial estimator and its kernels exchange: the packed sine/cosine
// table, one window's estimate, and the coarse and fine sums of a candidate. The kernels see
// only these, never the estimator itself.
#pragma once

#include <cstdint>
#include <vector>

namespace analyser {

// 65536 packed entries: sine (x32767, rounded half away from zero) in the upper 16 bits,
// cosine in the lower 16 bits, of the angle k * 6.2831853071796 / 65536.
struct SineCosineTable {
  std::vector<uint32_t> packed;
  int16_t sine(uint32_t k) const { return static_cast<int16_t>(packed[k] >> 16); }
  int16_t cosine(uint32_t k) const { return static_cast<int16_t>(packed[k] & 0xFFFF); }
};

struct PartialEstimate {
  int32_t level = 0;       // amplitude in working-sample units
  double frequency = 0.0;  // hertz, 55.0 to 8000.0
  int32_t phase = 0;       // 0..65535, 1/65536 of a turn
};

// The two coarse sums of one candidate; both wrap as signed 32-bit integers.
struct CoarseSums {
  int32_t a = 0;  // sum of floor(q * cos / 65536)
  int32_t b = 0;  // sum of floor(q * sin / 65536)
  bool operator==(const CoarseSums&) const = default;
};

// Level and phase of one fine candidate over exactly n samples, with directly computed sines.
struct FineCandidate {
  int64_t level = 0;
  int32_t phase = 0;
};

// The two Fourier sums of one fine candidate (xc = sum x cos, xs = -sum x sin).
struct FineSums {
  double xc = 0.0;
  double xs = 0.0;
};

}  // namespace analyser
