// The literal estimator: the sine/cosine table, the frequency grids, the quantisation, and the
// coarse and fine searches exactly as the algorithm states them, one sum at a time. Every
// faster path is checked against these.
#include <cmath>
#include <limits>

#include "estimator_detail.h"
#include "partial_estimator.h"

namespace analyser {

namespace detail {

// r = 128^(1/steps), evaluated once per level and then raised to integer powers. The ratios of
// the fine levels are kept, since the search needs them for every candidate.
double gridRatio(int stepsPer128) {
  static const std::array<double, kFineLevels> fineRatios = [] {
    std::array<double, kFineLevels> r{};
    for (int l = 0; l < kFineLevels; ++l) r[l] = std::pow(128.0, 1.0 / kFineStepsPer128[l]);
    return r;
  }();
  for (int l = 0; l < kFineLevels; ++l) {
    if (kFineStepsPer128[l] == stepsPer128) return fineRatios[l];
  }
  return std::pow(128.0, 1.0 / stepsPer128);
}

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

// Levels only exceed 32 bits for windows far beyond any 24-bit recording (a runaway
// residual); they saturate rather than wrap.
int32_t saturatedLevel(int64_t level) {
  return level > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(level);
}

// The phase before truncation: atan lies within +-pi/2, so the value lies in (0, 131072).
double unroundedPhase(double xc, double xs) {
  const double t = xc == 0.0 ? 4294967295.0 : xs / xc;
  const double quadrant = xc < 0.0 ? 16384.0 : 49152.0;
  return std::atan(t) / kHalfTurn / 2 * 65536 + 65536.5 - quadrant;
}

// True when some value within `tolerance` of v truncates differently from v.
bool nearIntegerStep(double v, double tolerance) {
  const double below = v - std::floor(v);
  return below <= tolerance || 1.0 - below <= tolerance;
}

}  // namespace detail

using namespace detail;

namespace {

int32_t wrapToInt32(uint32_t v) {
  return static_cast<int32_t>(v);
}

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
  // quantiseSample in 32-bit unsigned arithmetic, without branches, so that it vectorises:
  // sign * ((|v| + 256) >> 9), where |v| <= 2^31 and the sum cannot overflow 32 bits.
  for (int i = 0; i < n; ++i) {
    const auto u = static_cast<uint32_t>(window[i]);
    const uint32_t negative = 0u - (u >> 31);  // all ones for a negative sample
    const uint32_t magnitude = ((u ^ negative) - negative + 256u) >> 9;
    q[i] =
        static_cast<int16_t>(static_cast<uint16_t>(((magnitude ^ negative) - negative) & 0xFFFF));
  }
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

FineSums fineSumsReference(const double* x, int n, double frequency) {
  const double delta = kFullTurn * frequency / kSampleRate;
  double theta = 0.0;
  double xc = 0.0;
  double xs = 0.0;
  for (int i = 0; i < n; ++i) {
    xc += x[i] * std::cos(theta);
    xs -= x[i] * std::sin(theta);
    theta += delta;
  }
  return {xc, xs};
}

FineCandidate evaluateFineReference(const double* x, int n, double frequency) {
  const FineSums s = fineSumsReference(x, n, frequency);
  return {fineLevel(s.xc, s.xs, n), fineLevelPhase(s.xc, s.xs)};
}

int64_t fineLevel(double xc, double xs, int n) {
  // Samples are 32-bit, so the level is below 2^33: 64 bits hold it.
  return static_cast<int64_t>(2 * std::sqrt(xc * xc + xs * xs) / n);
}
int32_t fineLevelPhase(double xc, double xs) {
  return static_cast<int32_t>(static_cast<int64_t>(unroundedPhase(xc, xs)) % 65536);
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
  result.level = saturatedLevel(resultLevel);
  return result;
}

}  // namespace analyser
