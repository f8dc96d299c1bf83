// Pieces of the literal estimator that the fast search shares with it (inside the analyser
// only): the grids, the silent-window answer and the parts of the level and phase formulas.
#pragma once

#include <array>
#include <cstdint>

#include "partial_estimator.h"

namespace analyser::detail {

// r = 128^(1/steps) of a grid level, as every grid frequency 55 * r^j uses it.
double gridRatio(int stepsPer128);

// Indices above 1050 all lie beyond 8000 Hz; the literal search runs to 2047 and skips them.
inline constexpr int kCoarseIndexLimit = 2048;

// Phase step of every coarse candidate (the low 32 bits of the rounded step).
struct CoarseGrid {
  int count = 0;
  std::array<uint32_t, kCoarseIndexLimit> steps{};
};
const CoarseGrid& coarseGrid();

// A level clipped to int32 (levels beyond it need a runaway residual).
int32_t saturatedLevel(int64_t level);

// The phase of fineLevelPhase before truncation, in (0, 131072).
double unroundedPhase(double xc, double xs);
// True when some value within `tolerance` of v truncates differently from v.
bool nearIntegerStep(double v, double tolerance);

// Xc and Xs at delta by library sines at every 32nd sample and exact rotations between them:
// a second opinion, some ten times cheaper than the literal sums, that lies within
// anchoredSumBound(n) * sum |x| of sum x_i cos(i delta) and -sum x_i sin(i delta).
FineSums anchoredFineSums(const double* x, int n, double delta);
double anchoredSumBound(int n);

// What the search finds in an all-zero window: every level ties at 0, the first candidate of
// every level wins, and xc = 0 gives the half turn.
inline constexpr PartialEstimate kSilence{0, kLowestFrequency, 32768};

}  // namespace analyser::detail
