// Fine-search kernel: the Fourier sums of up to kFineLanes candidate frequencies over one
// window, with sines and cosines from a rotation recurrence instead of library calls.
#pragma once

namespace analyser::kernels {

inline constexpr int kFineLanes = 12;  // nine candidates, padded for 4-wide vectors

// For every lane l: xc[l] = sum x[i] cos(theta_i), xs[l] = -sum x[i] sin(theta_i), where
// theta_0 = 0 and theta_(i+1) = theta_i + delta[l] accumulated in double exactly as the literal
// search does. The recurrence is re-anchored with library sine and cosine of the accumulated
// angle every kAnchorInterval samples, so its rounding drift stays near 1e-14.
inline constexpr int kAnchorInterval = 256;
using FineKernelFn = void (*)(const double* x, int n, const double* delta, double* xc, double* xs);

void fineSumsPortable(const double* x, int n, const double* delta, double* xc, double* xs);
// nullptr when this build has no such kernel.
FineKernelFn fineSumsAvx2Kernel();

}  // namespace analyser::kernels
