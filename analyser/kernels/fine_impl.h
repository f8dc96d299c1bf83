// Body of the fine kernel, compiled once per instruction set (fine_portable.cpp,
// fine_avx2.cpp). Lanes are GCC/Clang vector extensions of four doubles, which every target
// lowers to its own vector width.
#pragma once

#include <cmath>

#include "fine_kernels.h"

namespace analyser::kernels::FINE_NAMESPACE {

typedef double Lanes4 __attribute__((vector_size(32)));
inline constexpr int kVectors = kFineLanes / 4;

// (c, s) rotated by (rc, rs), which may be c and s themselves. Vectors are passed by reference:
// by value they would change the calling convention between files built with and without AVX.
// V is a vector of doubles of any width (four here, eight in fine_batch_impl.h).
template <typename V>
inline void rotate(V& c, V& s, const V& rc, const V& rs) {
  const V nc = c * rc - s * rs;
  const V ns = s * rc + c * rs;
  c = nc;
  s = ns;
}

// The rotation by delta raised to the power `count` (binary exponentiation: a few dozen
// multiplications, accurate to a few units in the last place).
template <typename V>
inline void rotationPower(const V& deltaC, const V& deltaS, int count, V& c, V& s) {
  V cd = deltaC;
  V sd = deltaS;
  c = V{} + 1.0;
  s = V{} + 0.0;
  for (; count > 0; count >>= 1) {
    if (count & 1) rotate(c, s, cd, sd);
    rotate(cd, sd, cd, sd);
  }
}

// The window is summed as two halves side by side: each sample's rotation depends on the
// previous one, so two independent chains keep the vector units busy while one waits.
inline void fineSums(const double* x, int n, const double* delta, double* xc, double* xs) {
  const int half = n / 2;
  Lanes4 cd[kVectors];
  Lanes4 sd[kVectors];
  Lanes4 c0[kVectors];
  Lanes4 s0[kVectors];
  Lanes4 c1[kVectors];
  Lanes4 s1[kVectors];
  Lanes4 sumC[kVectors];
  Lanes4 sumS[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    for (int k = 0; k < 4; ++k) {
      const double d = delta[4 * v + k];
      cd[v][k] = d == 0.0 ? 1.0 : std::cos(d);
      sd[v][k] = d == 0.0 ? 0.0 : std::sin(d);
    }
    c0[v] = Lanes4{} + 1.0;
    s0[v] = Lanes4{} + 0.0;
    rotationPower(cd[v], sd[v], half, c1[v], s1[v]);
    sumC[v] = sumS[v] = Lanes4{} + 0.0;
  }
  Lanes4 sumC1[kVectors];
  Lanes4 sumS1[kVectors];
  for (int v = 0; v < kVectors; ++v) sumC1[v] = sumS1[v] = Lanes4{} + 0.0;
  for (int i = 0; i < half; ++i) {
    const double first = x[i];
    const double second = x[half + i];
#pragma GCC unroll 4
    for (int v = 0; v < kVectors; ++v) {
      sumC[v] += first * c0[v];
      sumS[v] -= first * s0[v];
      sumC1[v] += second * c1[v];
      sumS1[v] -= second * s1[v];
      rotate(c0[v], s0[v], cd[v], sd[v]);
      rotate(c1[v], s1[v], cd[v], sd[v]);
    }
  }
  if (n % 2 != 0) {  // the second half has one sample more
    const double last = x[n - 1];
    for (int v = 0; v < kVectors; ++v) {
      sumC1[v] += last * c1[v];
      sumS1[v] -= last * s1[v];
    }
  }
  for (int v = 0; v < kVectors; ++v) {
    const Lanes4 totalC = sumC[v] + sumC1[v];
    const Lanes4 totalS = sumS[v] + sumS1[v];
    for (int k = 0; k < 4; ++k) {
      xc[4 * v + k] = totalC[k];
      xs[4 * v + k] = totalS[k];
    }
  }
}

// The same sums by the Goertzel recurrence s_i = x_i + 2 cos(delta) s_(i-1) - s_(i-2): one
// multiply-add per lane and sample instead of six. Its rounding errors grow like 1 / sin(delta),
// so the caller uses it only for delta >= kGoertzelMinDelta. Two halves again run side by side;
// the sum of samples p .. p+m-1 is e^(-i delta (p+m-1)) (s_last - e^(-i delta) s_before_last).
inline void goertzelSums(const double* x, int n, const double* delta, double* xc, double* xs) {
  const int half = n / 2;
  Lanes4 cd[kVectors];
  Lanes4 sd[kVectors];
  Lanes4 twoCos[kVectors];
  Lanes4 a1[kVectors];
  Lanes4 a2[kVectors];
  Lanes4 b1[kVectors];
  Lanes4 b2[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    for (int k = 0; k < 4; ++k) {
      const double d = delta[4 * v + k];
      cd[v][k] = d == 0.0 ? 1.0 : std::cos(d);
      sd[v][k] = d == 0.0 ? 0.0 : std::sin(d);
    }
    twoCos[v] = 2.0 * cd[v];
    a1[v] = a2[v] = b1[v] = b2[v] = Lanes4{} + 0.0;
  }
  for (int i = 0; i < half; ++i) {
    const double first = x[i];
    const double second = x[half + i];
#pragma GCC unroll 4
    for (int v = 0; v < kVectors; ++v) {
      const Lanes4 a0 = twoCos[v] * a1[v] + (first - a2[v]);
      a2[v] = a1[v];
      a1[v] = a0;
      const Lanes4 b0 = twoCos[v] * b1[v] + (second - b2[v]);
      b2[v] = b1[v];
      b1[v] = b0;
    }
  }
  if (n % 2 != 0) {  // the second half has one sample more
    for (int v = 0; v < kVectors; ++v) {
      const Lanes4 b0 = twoCos[v] * b1[v] + (x[n - 1] - b2[v]);
      b2[v] = b1[v];
      b1[v] = b0;
    }
  }
  for (int v = 0; v < kVectors; ++v) {
    Lanes4 ca;
    Lanes4 sa;
    Lanes4 cb;
    Lanes4 sb;
    rotationPower(cd[v], sd[v], half - 1, ca, sa);  // last sample of the first half
    rotationPower(cd[v], sd[v], n - 1, cb, sb);     // last sample of the window
    const Lanes4 yaRe = a1[v] - cd[v] * a2[v];
    const Lanes4 yaIm = sd[v] * a2[v];
    const Lanes4 ybRe = b1[v] - cd[v] * b2[v];
    const Lanes4 ybIm = sd[v] * b2[v];
    const Lanes4 totalC = (ca * yaRe + sa * yaIm) + (cb * ybRe + sb * ybIm);
    const Lanes4 totalS = (ca * yaIm - sa * yaRe) + (cb * ybIm - sb * ybRe);
    for (int k = 0; k < 4; ++k) {
      xc[4 * v + k] = totalC[k];
      xs[4 * v + k] = totalS[k];
    }
  }
}

}  // namespace analyser::kernels::FINE_NAMESPACE
