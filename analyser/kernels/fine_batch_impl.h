// Body of the batched fine kernels, compiled once per instruction set (fine_portable.cpp,
// fine_avx512.cpp): the nine candidates of one fine level for each of eight windows at once.
// A vector holds one candidate of all eight windows, so every lane does useful work and the
// nine candidates give as many independent chains. The arithmetic per lane is that of the
// one-window kernels in fine_impl.h (two halves side by side, the same recurrences), so the
// sums carry the same rounding errors.
#pragma once

#include <cmath>
#include <cstring>

#include "fine_kernels.h"

namespace analyser::kernels::FINE_NAMESPACE {

typedef double Lanes8 __attribute__((vector_size(64)));

// Vectors travel by reference only: by value they would change the calling convention
// between files built with and without AVX-512.
inline void loadLanes(Lanes8& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}

inline void storeLanes(double* p, const Lanes8& v) {
  std::memcpy(p, &v, sizeof v);
}

inline void rotate8(Lanes8& c, Lanes8& s, const Lanes8& rc, const Lanes8& rs) {
  const Lanes8 nc = c * rc - s * rs;
  const Lanes8 ns = s * rc + c * rs;
  c = nc;
  s = ns;
}

inline void rotationPower8(const Lanes8& deltaC, const Lanes8& deltaS, int count, Lanes8& c,
                           Lanes8& s) {
  Lanes8 cd = deltaC;
  Lanes8 sd = deltaS;
  c = Lanes8{} + 1.0;
  s = Lanes8{} + 0.0;
  for (; count > 0; count >>= 1) {
    if (count & 1) rotate8(c, s, cd, sd);
    rotate8(cd, sd, cd, sd);
  }
}

// The rotation by each lane's delta (delta 0, an unused lane, gives the identity).
inline void unitRotation8(const double* delta, Lanes8& c, Lanes8& s) {
  for (int k = 0; k < kFineBatchWindows; ++k) {
    c[k] = delta[k] == 0.0 ? 1.0 : std::cos(delta[k]);
    s[k] = delta[k] == 0.0 ? 0.0 : std::sin(delta[k]);
  }
}

// Rotation recurrence for candidates [first, first + G).
template <int G>
inline void batchRotationPass(const double* xt, int n, const double* delta, double* xc,
                              double* xs) {
  const int half = n / 2;
  Lanes8 cd[G];
  Lanes8 sd[G];
  Lanes8 c0[G];
  Lanes8 s0[G];
  Lanes8 c1[G];
  Lanes8 s1[G];
  Lanes8 sumC0[G];
  Lanes8 sumS0[G];
  Lanes8 sumC1[G];
  Lanes8 sumS1[G];
  for (int g = 0; g < G; ++g) {
    unitRotation8(delta + kFineBatchWindows * g, cd[g], sd[g]);
    c0[g] = Lanes8{} + 1.0;
    s0[g] = Lanes8{} + 0.0;
    rotationPower8(cd[g], sd[g], half, c1[g], s1[g]);
    sumC0[g] = sumS0[g] = sumC1[g] = sumS1[g] = Lanes8{} + 0.0;
  }
  for (int i = 0; i < half; ++i) {
    Lanes8 first;
    Lanes8 second;
    loadLanes(first, xt + kFineBatchWindows * i);
    loadLanes(second, xt + kFineBatchWindows * (half + i));
#pragma GCC unroll 4
    for (int g = 0; g < G; ++g) {
      sumC0[g] += first * c0[g];
      sumS0[g] -= first * s0[g];
      sumC1[g] += second * c1[g];
      sumS1[g] -= second * s1[g];
      rotate8(c0[g], s0[g], cd[g], sd[g]);
      rotate8(c1[g], s1[g], cd[g], sd[g]);
    }
  }
  if (n % 2 != 0) {  // the second half has one sample more
    Lanes8 last;
    loadLanes(last, xt + kFineBatchWindows * (n - 1));
    for (int g = 0; g < G; ++g) {
      sumC1[g] += last * c1[g];
      sumS1[g] -= last * s1[g];
    }
  }
  for (int g = 0; g < G; ++g) {
    storeLanes(xc + kFineBatchWindows * g, sumC0[g] + sumC1[g]);
    storeLanes(xs + kFineBatchWindows * g, sumS0[g] + sumS1[g]);
  }
}

// Goertzel recurrence for candidates [first, first + G), as goertzelSums.
template <int G>
inline void batchGoertzelPass(const double* xt, int n, const double* delta, double* xc,
                              double* xs) {
  const int half = n / 2;
  Lanes8 cd[G];
  Lanes8 sd[G];
  Lanes8 twoCos[G];
  Lanes8 a1[G];
  Lanes8 a2[G];
  Lanes8 b1[G];
  Lanes8 b2[G];
  for (int g = 0; g < G; ++g) {
    unitRotation8(delta + kFineBatchWindows * g, cd[g], sd[g]);
    twoCos[g] = 2.0 * cd[g];
    a1[g] = a2[g] = b1[g] = b2[g] = Lanes8{} + 0.0;
  }
  for (int i = 0; i < half; ++i) {
    Lanes8 first;
    Lanes8 second;
    loadLanes(first, xt + kFineBatchWindows * i);
    loadLanes(second, xt + kFineBatchWindows * (half + i));
#pragma GCC unroll 5
    for (int g = 0; g < G; ++g) {
      const Lanes8 a0 = twoCos[g] * a1[g] + (first - a2[g]);
      a2[g] = a1[g];
      a1[g] = a0;
      const Lanes8 b0 = twoCos[g] * b1[g] + (second - b2[g]);
      b2[g] = b1[g];
      b1[g] = b0;
    }
  }
  if (n % 2 != 0) {
    Lanes8 last;
    loadLanes(last, xt + kFineBatchWindows * (n - 1));
    for (int g = 0; g < G; ++g) {
      const Lanes8 b0 = twoCos[g] * b1[g] + (last - b2[g]);
      b2[g] = b1[g];
      b1[g] = b0;
    }
  }
  for (int g = 0; g < G; ++g) {
    Lanes8 ca;
    Lanes8 sa;
    Lanes8 cb;
    Lanes8 sb;
    rotationPower8(cd[g], sd[g], half - 1, ca, sa);
    rotationPower8(cd[g], sd[g], n - 1, cb, sb);
    const Lanes8 yaRe = a1[g] - cd[g] * a2[g];
    const Lanes8 yaIm = sd[g] * a2[g];
    const Lanes8 ybRe = b1[g] - cd[g] * b2[g];
    const Lanes8 ybIm = sd[g] * b2[g];
    storeLanes(xc + kFineBatchWindows * g, (ca * yaRe + sa * yaIm) + (cb * ybRe + sb * ybIm));
    storeLanes(xs + kFineBatchWindows * g, (ca * yaIm - sa * yaRe) + (cb * ybIm - sb * ybRe));
  }
}

// Candidates in groups small enough for their running values to stay in registers.
inline void batchRotationSums(const double* xt, int n, const double* delta, double* xc,
                              double* xs) {
  for (int l = 0; l < kFineCandidates; l += 3) {
    const int at = kFineBatchWindows * l;
    batchRotationPass<3>(xt, n, delta + at, xc + at, xs + at);
  }
}

inline void batchGoertzelSums(const double* xt, int n, const double* delta, double* xc,
                              double* xs) {
  batchGoertzelPass<5>(xt, n, delta, xc, xs);
  const int at = kFineBatchWindows * 5;
  batchGoertzelPass<4>(xt, n, delta + at, xc + at, xs + at);
}

}  // namespace analyser::kernels::FINE_NAMESPACE
