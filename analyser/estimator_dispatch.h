// Which estimator kernels this processor can run: its instruction-set features, detected once
// by name, and the kernels of every selectable path (null or empty where unavailable).
#pragma once

#include "kernels/coarse_kernels.h"
#include "kernels/fine_kernels.h"
#include "partial_estimator.h"

namespace analyser {

struct CpuFeatures {
  bool avx2 = false;
  bool fma = false;
  bool avx512f = false;
  bool avx512bw = false;
  bool avx512dq = false;
  bool avx512vl = false;
  bool avx512vnni = false;
};

// The running processor's features (all false off x86).
const CpuFeatures& cpuFeatures();

// The kernel of a fast coarse path, or null when the processor or build lacks it (and for the
// reference path, which has no kernel).
kernels::CoarseKernelFn coarseKernel(CoarsePath path);
// The pruning kernels that go with a coarse path; empty where the path has none (then every
// candidate's sums are computed exactly).
kernels::PruningKernels pruningKernels(CoarsePath path);
// The kernels of a fast fine path; empty when unavailable (and for the reference path).
kernels::FineKernels fineKernels(FinePath path);

}  // namespace analyser
