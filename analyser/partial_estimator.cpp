#include "partial_estimator.h"

#include <array>
#include <cmath>
#include <limits>

namespace analyser {

namespace {

// The analyser's own turn constants (14 digits), not the exact ones of the maths library.
constexpr double kFullTurn = 6.2831853071796;
constexpr double kHalfTurn = 3.1415926535898;
constexpr double kLowestFrequency = 55.0;
constexpr double kHighestFrequency = 8000.0;
constexpr int kCoarseIndexLimit = 2048;  // indices above 1050 all lie beyond 8000 Hz

// Steps per 128-fold range of the fine levels 1..6.
constexpr std::array<int, kFineLevels> kFineStepsPer128 = {4096,   16384,   65536,
                                                           262144, 1048576, 4194304};

// r = 128^(1/steps), evaluated once per level and then raised to integer powers.
double gridRatio(int stepsPer128) {
  return std::pow(128.0, 1.0 / stepsPer128);
}

struct CoarseGrid {
  int count = 0;
  std::array<uint32_t, kCoarseIndexLimit> steps{};
};

const CoarseGrid& coarseGrid() {
  static const CoarseGrid grid = [] {
    CoarseGrid g;
    const double r = gridRatio(kCoarseStepsPer128);
    for (int j = 0; j < kCoarseIndexLimit; ++j) {
      const double f = kLowestFrequency * std::pow(r, j);
      if (f > kHighestFrequency) continue;
      // f <= 8000 keeps the value below 2^35, so the conversion is in range; only the low
      // 32 bits matter because the accumulator is read modulo 2^32.
      const auto step = static_cast<uint64_t>(f * 65536 / kSampleRate * 65536 + 0.5);
      g.steps[static_cast<size_t>(j)] = static_cast<uint32_t>(step);
      g.count = j + 1;
    }
    return g;
  }();
  return grid;
}

int32_t wrapToInt32(uint32_t v) {
  return static_cast<int32_t>(v);
}  // modular since C++20

}  // namespace

void buildSineCosineTable(SineCosineTable& table) {
  table.packed.resize(65536);
  for (uint32_t k = 0; k < 65536; ++k) {
    const double angle = k * kFullTurn / 65536;
    // std::round rounds halves away from zero; |value| <= 32767 fits 16 bits.
    const auto s = static_cast<int16_t>(std::round(std::sin(angle) * 32767));
    const auto c = static_cast<int16_t>(std::round(std::cos(angle) * 32767));
    table.packed[k] =
        (static_cast<uint32_t>(static_cast<uint16_t>(s)) << 16) | static_cast<uint16_t>(c);
  }
}

int32_t frequencyTenths(double hertz) {
  if (!(hertz > 0.0)) return 0;
  const double tenths = hertz * 10 + 0.5;
  if (tenths >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(tenths);
}

double gridFrequency(int stepsPer128, int64_t j) {
  return kLowestFrequency * std::pow(gridRatio(stepsPer128), static_cast<double>(j));
}

uint32_t coarsePhaseStep(int j) {
  return coarseGrid().steps[static_cast<size_t>(j)];
}

int16_t quantiseSample(int32_t v) {
  // In 64 bits so that v + 256 and 256 - v cannot overflow.
  const int64_t w = v;
  const int64_t q = w >= 0 ? (w + 256) / 512 : -((256 - w) / 512);
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(q) & 0xFFFF));
}

int quantiseWindow(const int32_t* window, int n, int16_t* q) {
  for (int i = 0; i < n; ++i) q[i] = quantiseSample(window[i]);
  if (n % 2 != 0) {
    q[n] = 0;
    return n + 1;
  }
  return n;
}

CoarseSums coarseSumsReference(const SineCosineTable& table, const int16_t* q, int n2,
                               uint32_t step) {
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t accumulator = 0;
  for (int i = 0; i < n2; ++i) {
    const uint32_t k = accumulator >> 16;
    // A 16 x 16 bit product always fits 32 bits; >> 16 of a negative value is an arithmetic
    // shift (floor division by 65536).
    const int32_t cosineProduct = (int32_t{q[i]} * table.cosine(k)) >> 16;
    const int32_t sineProduct = (int32_t{q[i]} * table.sine(k)) >> 16;
    a += static_cast<uint32_t>(cosineProduct);
    b += static_cast<uint32_t>(sineProduct);
    accumulator += step;
  }
  return {wrapToInt32(a), wrapToInt32(b)};
}

int64_t coarseLevel(CoarseSums sums, int n) {
  const double a = sums.a;
  const double b = sums.b;
  // At most 2048 * 2^31.5 / 735, far inside 64 bits.
  return static_cast<int64_t>(2048 * std::sqrt(a * a + b * b) / n);
}

int coarseSearchReference(const SineCosineTable& table, const int16_t* q, int n) {
  const int n2 = n + (n % 2);
  const CoarseGrid& grid = coarseGrid();
  int64_t best = -1;
  int winner = 0;
  for (int j = 0; j < grid.count; ++j) {
    const int64_t level = coarseLevel(coarseSumsReference(table, q, n2, grid.steps[j]), n);
    if (level > best) {
      best = level;
      winner = j;
    }
  }
  return winner;
}

FineCandidate evaluateFineReference(const double* x, int n, double frequency) {
  const double delta = kFullTurn * frequency / kSampleRate;
  double theta = 0.0;
  double xc = 0.0;
  double xs = 0.0;
  for (int i = 0; i < n; ++i) {
    xc += x[i] * std::cos(theta);
    xs -= x[i] * std::sin(theta);
    theta += delta;
  }
  FineCandidate result;
  // Samples are 32-bit, so the level is below 2^33: 64 bits hold it.
  result.level = static_cast<int64_t>(2 * std::sqrt(xc * xc + xs * xs) / n);
  const double t = xc == 0.0 ? 4294967295.0 : xs / xc;
  const double quadrant = xc < 0.0 ? 16384.0 : 49152.0;
  // atan lies within +-pi/2, so the value lies in (0, 131072): the conversion is in range.
  const double turns = std::atan(t) / kHalfTurn / 2 * 65536 + 65536.5 - quadrant;
  result.phase = static_cast<int32_t>(static_cast<int64_t>(turns) % 65536);
  return result;
}

PartialEstimate fineSearchReference(const double* x, int n, int coarseWinner) {
  int64_t b = coarseWinner;
  PartialEstimate result;
  int64_t resultLevel = 0;
  for (int steps : kFineStepsPer128) {
    int64_t best = -1;
    int64_t winner = 0;
    for (int64_t j = 4 * b - 4; j <= 4 * b + 4; ++j) {
      if (j < 0) continue;
      const double f = gridFrequency(steps, j);
      if (f > kHighestFrequency) continue;
      const FineCandidate c = evaluateFineReference(x, n, f);
      if (c.level > best) {
        best = c.level;
        winner = j;
        result.frequency = f;
        result.phase = c.phase;
        resultLevel = c.level;
      }
    }
    b = winner;
  }
  // Levels only exceed 32 bits for windows far beyond any 24-bit recording (a runaway
  // residual); they saturate rather than wrap.
  result.level = resultLevel > std::numeric_limits<int32_t>::max()
                     ? std::numeric_limits<int32_t>::max()
                     : static_cast<int32_t>(resultLevel);
  return result;
}

PartialEstimator::PartialEstimator(const SineCosineTable& table)
    : table_(table), x_(kMaxFrameLength + 1), q_(kMaxFrameLength + 1) {}

PartialEstimate PartialEstimator::estimate(const int32_t* window, int n) {
  return estimateReference(window, n);
}

PartialEstimate PartialEstimator::estimateReference(const int32_t* window, int n) {
  for (int i = 0; i < n; ++i) x_[static_cast<size_t>(i)] = window[i];
  quantiseWindow(window, n, q_.data());
  const int coarseWinner = coarseSearchReference(table_, q_.data(), n);
  return fineSearchReference(x_.data(), n, coarseWinner);
}

}  // namespace analyser
