// Coarse-search kernels over a precomputed plan. Each computes, for `count` quantised windows
// (1 to kCoarseBatchLimit, each 32 * plan.blockCount samples, zero-padded), the sums of every
// candidate: sums[j * count + w]. All of them give exactly the sums of the literal search.
#pragma once

#include <cstdint>

#include "partial_estimator.h"

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

void coarseSumsPortable(PlanView plan, const int16_t* const* q, int count, CoarseSums* sums);
// nullptr when this build has no such kernel (non-x86 targets); check the CPU before use.
CoarseKernelFn coarseSumsAvx2Kernel();
CoarseKernelFn coarseSumsAvx512Kernel();
CoarseKernelFn coarseSumsAvx512VnniKernel();

}  // namespace analyser::kernels
