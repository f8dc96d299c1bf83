// Fine-search kernel: the Fourier sums of up to kFineLanes candidate frequencies over one
// window, with sines and cosines from a rotation recurrence instead of library calls.
#pragma once

namespace analyser::kernels {

inline constexpr int kFineLanes = 12;  // nine candidates, padded for 4-wide vectors

// For every lane l: xc[l] = sum x[i] cos(i delta[l]), xs[l] = -sum x[i] sin(i delta[l]), with
// the sines and cosines from rotating (1, 0) by delta[l] once per sample (the second half of
// the window starting from that rotation raised to the power n / 2). The literal search
// takes library sines of an angle accumulated by repeated addition; the two differ by at most
// about 1e-12 relative over 2940 samples; where that could still change a stored value (near
// ties and truncation steps) the estimator re-decides with the literal sums. Unused lanes have
// delta 0.
using FineKernelFn = void (*)(const double* x, int n, const double* delta, double* xc, double* xs);

// The same sums by the Goertzel recurrence, several times cheaper; its rounding errors grow
// like 1 / sin(delta), to about 6e-13 relative at this delta over 2940 samples (350 Hz).
inline constexpr double kGoertzelMinDelta = 0.05;

// Batched form: the nine candidates of one level for each of kFineBatchWindows windows of the
// same length. xt holds the windows' samples interleaved (sample i of window k at
// xt[kFineBatchWindows * i + k]); candidate l of window k has its delta, and receives its sums,
// at index kFineBatchWindows * l + k. Unused lanes have delta 0 (their sums are not used).
inline constexpr int kFineCandidates = 9;
inline constexpr int kFineBatchWindows = 8;
using FineBatchFn = void (*)(const double* xt, int n, const double* delta, double* xc, double* xs);

struct FineKernels {
  FineKernelFn rotation = nullptr;
  FineKernelFn goertzel = nullptr;
  // Absent (null) where eight-wide vectors would not pay. The Reinsch recurrence serves
  // every delta, the Goertzel one (cheaper) delta >= kGoertzelMinDelta.
  FineBatchFn batchReinsch = nullptr;
  FineBatchFn batchGoertzel = nullptr;
};

FineKernels fineKernelsPortable();
// Empty when this build has no such kernels.
FineKernels fineKernelsAvx2();
FineKernels fineKernelsAvx512();

}  // namespace analyser::kernels
