// Coarse-search kernels over a precomputed plan. Each computes, for `count` quantised windows
// (1 to kCoarseBatchLimit, each 32 * plan.blockCount samples, zero-padded), the sums of every
// candidate: sums[j * count + w]. All of them give exactly the sums of the literal search.
#pragma once

#include <cstdint>

#include "estimator_types.h"

namespace analyser::kernels {

// A plain view of a CoarsePlan (kernel files see no library types with out-of-line code, so
// that no copy compiled for a wider instruction set can be picked up by other files).
struct PlanView {
  const int16_t* entries;  // per candidate: blockCount blocks of [32 cosines, 32 sines]
  int blockCount;
  int candidateCount;
  const int16_t* row(int j) const { return entries + static_cast<long>(j) * blockCount * 64; }
};

using CoarseKernelFn = void (*)(PlanView plan, const int16_t* const* q, int count,
                                CoarseSums* sums);

// ---- Pruning: cheap bounds of every candidate, exact sums for a few -------------------------

// The 8-bit entries of a CoarsePlan (see CoarsePlan::boundRow).
struct BoundPlanView {
  const int8_t* entries;
  const int32_t* columnSums;  // per candidate: sum of its cosine bytes, of its sine bytes
  int blockCount;
  int candidateCount;
  const int8_t* row(int j) const { return entries + static_cast<long>(j) * blockCount * 64; }
};

// For `count` (up to 16) windows of unsigned 8-bit samples, in blocks of 64 bytes (in block b,
// for m = 0 .. 7, samples 32 b + 4 m .. + 3 twice over) with the windows' blocks interleaved
// (block b of window w at u + 64 (b count + w)), the exact integer dot products with every
// candidate's 8-bit cosines and sines: dots[(2 w) * candidateCount + j] and
// dots[(2 w + 1) * candidateCount + j].
using CoarseDotFn = void (*)(BoundPlanView plan, const uint8_t* u, int count, int32_t* dots);
// Sums of one window's split into 8-bit parts (see PartialEstimator::prunedWinners).
struct BoundBytesSums {
  int64_t low = 0;        // L = sum |l_i|
  int64_t magnitude = 0;  // M = sum |q_i|
  int64_t excess = 0;     // E = sum (l_i - min(l_i, 127))
  int nonZero = 0;        // samples with q_i != 0
};
// For `padded` (a multiple of 32) quantised samples and a shift s of 0 to 8 that brings every
// round(q_i / 2^s) into [-128, 128]: h_i = min(round(q_i / 2^s), 127), halves rounded up, and
// l_i = q_i - 2^s h_i, stored as h_i + 128 at u (block b at u + b * blockStride) and as
// min(l_i, 127) + 128 at low8 (blocks one after the other), in the dot kernels' layout.
using BoundBytesFn = BoundBytesSums (*)(const int16_t* q, int padded, int shift, uint8_t* u,
                                        int blockStride, uint8_t* low8);
// The same dot products for one candidate row j and `count` windows, window k's blocks one
// after the other at u[k]: dotA[k] and dotB[k].
using WindowDotsFn = void (*)(BoundPlanView plan, int j, const uint8_t* const* u, int count,
                              int32_t* dotA, int32_t* dotB);
// The bounds of every candidate from its dots (see PartialEstimator::prunedWinners): with
// P = (dot - 128 * columnSum) * scale - centre for the cosines and the sines alike, and
// hi = |P| + radius, lo = max(|P| - radius, 0), upper[j] = hiA^2 + hiB^2; returns the greatest
// loA^2 + loB^2.
using BoundFn = double (*)(const int32_t* dotA, const int32_t* dotB, const int32_t* columnSums,
                           int candidates, double scale, double centre, double radius,
                           double* upper);
// The indices j (ascending) with upper[j] >= threshold, into kept; returns how many.
using KeepFn = int (*)(const double* upper, int candidates, double threshold, int* kept);

// The exact coarse sums of one quantised window (zero-padded to the plan's length) from the
// 16-bit rows of a plan, for the candidates rows[0 .. rowCount-1] (those rows built).
using PlanRowsFn = void (*)(PlanView plan, const int16_t* q, const int* rows, int rowCount,
                            CoarseSums* sums);

struct PruningKernels {
  CoarseDotFn dots = nullptr;
  BoundFn bounds = nullptr;
  KeepFn keep = nullptr;
  PlanRowsFn planRows = nullptr;
  WindowDotsFn windowDots = nullptr;
  BoundBytesFn boundBytes = nullptr;
};
PruningKernels pruningKernelsPortable();
// Empty when this build has no such kernels.
PruningKernels pruningKernelsAvx512Vnni();
PruningKernels pruningKernelsWasmSimd();

void coarseSumsPortable(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums);
// nullptr when this build has no such kernel (non-x86 targets); check the CPU before use.
CoarseKernelFn coarseSumsAvx2Kernel();
CoarseKernelFn coarseSumsAvx512Kernel();
CoarseKernelFn coarseSumsAvx512VnniKernel();
// WebAssembly SIMD: nullptr unless built with -msimd128.
CoarseKernelFn coarseSumsWasmSimdKernel();

}  // namespace analyser::kernels
