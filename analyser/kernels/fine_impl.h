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
  Lanes4 c[kVectors];
  Lanes4 s[kVectors];
  Lanes4 cd[kVectors];
  Lanes4 sd[kVectors];
  Lanes4 sumC[kVectors];
  Lanes4 sumS[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    for (int k = 0; k < 4; ++k) {
      const double d = delta[4 * v + k];
      cd[v][k] = d == 0.0 ? 1.0 : std::cos(d);
      sd[v][k] = d == 0.0 ? 0.0 : std::sin(d);
    }
    c[v] = Lanes4{} + 1.0;
    s[v] = Lanes4{} + 0.0;
    sumC[v] = sumS[v] = Lanes4{} + 0.0;
  }
  for (int i = 0; i < n; ++i) {
    const double value = x[i];
#pragma GCC unroll 4
    for (int v = 0; v < kVectors; ++v) {
      sumC[v] += value * c[v];
      sumS[v] -= value * s[v];
      const Lanes4 nc = c[v] * cd[v] - s[v] * sd[v];
      const Lanes4 ns = s[v] * cd[v] + c[v] * sd[v];
      c[v] = nc;
      s[v] = ns;
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
