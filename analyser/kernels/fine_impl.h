// Body of the fine kernel, compiled once per instruction set (fine_portable.cpp,
// fine_avx2.cpp). Lanes are GCC/Clang vector extensions of four doubles, which every target
// lowers to its own vector width.
#pragma once

#include <cmath>

#include "fine_kernels.h"

namespace analyser::kernels::FINE_NAMESPACE {

typedef double Lanes4 __attribute__((vector_size(32)));
inline constexpr int kVectors = kFineLanes / 4;

inline void fineSums(const double* x, int n, const double* delta, double* xc, double* xs) {
  Lanes4 theta[kVectors];
  Lanes4 step[kVectors];
  Lanes4 c[kVectors];
  Lanes4 s[kVectors];
  Lanes4 cd[kVectors];
  Lanes4 sd[kVectors];
  Lanes4 sumC[kVectors];
  Lanes4 sumS[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    for (int k = 0; k < 4; ++k) {
      const double d = delta[4 * v + k];
      step[v][k] = d;
      cd[v][k] = std::cos(d);
      sd[v][k] = std::sin(d);
    }
    theta[v] = Lanes4{} + 0.0;
    c[v] = Lanes4{} + 1.0;
    s[v] = Lanes4{} + 0.0;
    sumC[v] = sumS[v] = Lanes4{} + 0.0;
  }
  for (int start = 0; start < n; start += kAnchorInterval) {
    if (start > 0) {
      for (int v = 0; v < kVectors; ++v) {
        for (int k = 0; k < 4; ++k) {
          c[v][k] = std::cos(theta[v][k]);
          s[v][k] = std::sin(theta[v][k]);
        }
      }
    }
    const int end = n - start < kAnchorInterval ? n : start + kAnchorInterval;
    for (int i = start; i < end; ++i) {
      const double value = x[i];
#pragma GCC unroll 4
      for (int v = 0; v < kVectors; ++v) {
        sumC[v] += value * c[v];
        sumS[v] -= value * s[v];
        const Lanes4 nc = c[v] * cd[v] - s[v] * sd[v];
        const Lanes4 ns = s[v] * cd[v] + c[v] * sd[v];
        c[v] = nc;
        s[v] = ns;
        theta[v] += step[v];
      }
    }
  }
  for (int v = 0; v < kVectors; ++v) {
    for (int k = 0; k < 4; ++k) {
      xc[4 * v + k] = sumC[v][k];
      xs[4 * v + k] = sumS[v][k];
    }
  }
}

}  // namespace analyser::kernels::FINE_NAMESPACE
