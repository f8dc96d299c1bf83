// Fine-search kernel: the Fourier sums of up to kFineLanes candidate frequencies over one
// window, with sines and cosines from a rotation recurrence instead of library calls.
#pragma once

namespace analyser::kernels {

inline constexpr int kFineLanes = 12;  // nine candidates, padded for 4-wide vectors

// For every lane l: xc[l] = sum x[i] cos(i delta[l]), xs[l] = -sum x[i] sin(i delta[l]), with
// the sines and cosines from rotating (1, 0) by delta[l] once per sample. The literal search
// takes library sines of an angle accumulated by repeated addition; the two differ by at most
// about 1e-12 relative over 2940 samples, far below what changes a stored value except in rare
// near-ties (measured by the agreement tests). Unused lanes have delta 0.
using FineKernelFn = void (*)(const double* x, int n, const double* delta, double* xc, double* xs);

void fineSumsPortable(const double* x, int n, const double* delta, double* xc, double* xs);
// nullptr when this build has no such kernel.
FineKernelFn fineSumsAvx2Kernel();

}  // namespace analyser::kernels
