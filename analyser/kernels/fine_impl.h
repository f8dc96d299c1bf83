// Body of the fine kernel, compiled once per instruction set (fine_portable.cpp,
// fine_avx2.cpp). Plain loops over a fixed lane count, which the compiler vectorises.
#pragma once

#include <cmath>

#include "fine_kernels.h"

namespace analyser::kernels::FINE_NAMESPACE {

inline void fineSums(const double* x, int n, const double* delta, double* xc, double* xs) {
  constexpr int L = kFineLanes;
  double theta[L];
  double c[L];
  double s[L];
  double cd[L];
  double sd[L];
  double sumC[L];
  double sumS[L];
  for (int l = 0; l < L; ++l) {
    theta[l] = 0.0;
    c[l] = 1.0;
    s[l] = 0.0;
    cd[l] = std::cos(delta[l]);
    sd[l] = std::sin(delta[l]);
    sumC[l] = 0.0;
    sumS[l] = 0.0;
  }
  for (int start = 0; start < n; start += kAnchorInterval) {
    if (start > 0) {
      for (int l = 0; l < L; ++l) {
        c[l] = std::cos(theta[l]);
        s[l] = std::sin(theta[l]);
      }
    }
    const int end = n - start < kAnchorInterval ? n : start + kAnchorInterval;
    for (int i = start; i < end; ++i) {
      const double v = x[i];
      for (int l = 0; l < L; ++l) {
        sumC[l] += v * c[l];
        sumS[l] -= v * s[l];
        const double nc = c[l] * cd[l] - s[l] * sd[l];
        const double ns = s[l] * cd[l] + c[l] * sd[l];
        c[l] = nc;
        s[l] = ns;
        theta[l] += delta[l];
      }
    }
  }
  for (int l = 0; l < L; ++l) {
    xc[l] = sumC[l];
    xs[l] = sumS[l];
  }
}

}  // namespace analyser::kernels::FINE_NAMESPACE
