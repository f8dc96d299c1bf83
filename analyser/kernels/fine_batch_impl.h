// Body of the batched fine kernels, compiled once per instruction set (fine_portable.cpp,
// fine_avx512.cpp): the nine candidates of one fine level for each of eight windows at once.
// A vector holds one candidate of all eight windows, so every lane does useful work and the
// nine candidates give as many independent chains. Each window is summed as two halves side
// by side, as in the one-window kernels of fine_impl.h: by the Goertzel recurrence where
// delta >= kGoertzelMinDelta, and below it by the Reinsch form of it, which stays as accurate
// as the rotation recurrence at a third of its cost (both about 1e-14 of the sum of
// magnitudes against sums in long double, from 55 Hz up).
#pragma once

#include <cmath>
#include <cstring>

#include "fine_impl.h"
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

// The cosines and sines of the deltas of G candidates of eight windows (delta[8 g + k]; a
// delta of 0, an unused lane, gives the identity): the library's for the first candidate of
// each window, and for the others that rotated by the small difference e of their deltas
// (within a few cents, so e is exact and below 0.006 radians): with sin e and cos e - 1 from
// their series (to e^5 and e^6, far below the last bit), each value lies within about one
// unit in the last place more than the library's.
template <int G>
inline void laneSines(const double* delta, Lanes8* c, Lanes8* s) {
  for (int k = 0; k < kFineBatchWindows; ++k) {
    const double base = delta[k];
    const double c0 = base == 0.0 ? 1.0 : std::cos(base);
    const double s0 = base == 0.0 ? 0.0 : std::sin(base);
    for (int g = 0; g < G; ++g) {
      const double d = delta[kFineBatchWindows * g + k];
      if (g == 0 || d == 0.0 || base == 0.0) {
        c[g][k] = d == 0.0 ? 1.0 : g == 0 ? c0 : std::cos(d);
        s[g][k] = d == 0.0 ? 0.0 : g == 0 ? s0 : std::sin(d);
        continue;
      }
      const double e = d - base;
      const double e2 = e * e;
      const double sinE = e * (1 - e2 / 6 * (1 - e2 / 20));
      const double cosE1 = -e2 / 2 * (1 - e2 / 12 * (1 - e2 / 30));
      c[g][k] = c0 + (c0 * cosE1 - s0 * sinE);
      s[g][k] = s0 + (s0 * cosE1 + c0 * sinE);
    }
  }
}

// A window's sums from the end states of its two halves (samples 0 .. n/2 - 1 and n/2 .. n-1):
// for each half y = s_last - e^(-i delta) s_before, given as (re, im), and the half's sum is y
// rotated back by the angle of its last sample.
inline void storeHalves(const Lanes8& cd, const Lanes8& sd, int n, const Lanes8& yaRe,
                        const Lanes8& yaIm, const Lanes8& ybRe, const Lanes8& ybIm, double* xc,
                        double* xs) {
  Lanes8 ca;
  Lanes8 sa;
  Lanes8 cb;
  Lanes8 sb;
  rotationPower(cd, sd, n / 2 - 1, ca, sa);
  rotationPower(cd, sd, n - 1, cb, sb);
  storeLanes(xc, (ca * yaRe + sa * yaIm) + (cb * ybRe + sb * ybIm));
  storeLanes(xs, (ca * yaIm - sa * yaRe) + (cb * ybIm - sb * ybRe));
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
  laneSines<G>(delta, cd, sd);
  for (int g = 0; g < G; ++g) {
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
    storeHalves(cd[g], sd[g], n, a1[g] - cd[g] * a2[g], sd[g] * a2[g], b1[g] - cd[g] * b2[g],
                sd[g] * b2[g], xc + kFineBatchWindows * g, xs + kFineBatchWindows * g);
  }
}

// The same sums by the Reinsch form of the Goertzel recurrence, for small deltas: with
// lambda = 4 sin^2(delta / 2), d_i = d_(i-1) - lambda u_(i-1) + x_i and u_i = u_(i-1) + d_i,
// where u is the Goertzel state s and d its last difference. Unlike s_i = x_i + 2 cos(delta)
// s_(i-1) - s_(i-2), it does not lose the small angle in 2 cos(delta) ~ 2, so its errors do not
// grow like 1 / sin(delta); it costs one multiply-add and two additions per lane and sample
// against six multiplications for the rotation. With s_last = u and s_before = u - d, the end
// of each half is that of goertzelSums: (1 - cos(delta)) u + cos(delta) d and sin(delta) (u - d).
template <int G>
inline void batchReinschPass(const double* xt, int n, const double* delta, double* xc, double* xs) {
  const int half = n / 2;
  Lanes8 cd[G];
  Lanes8 sd[G];
  Lanes8 lambda[G];
  Lanes8 ua[G];
  Lanes8 da[G];
  Lanes8 ub[G];
  Lanes8 db[G];
  // Of the half angles: lambda from sin(delta / 2) itself, where the small angle is not lost,
  // and cos(delta) = 1 - 2 sin^2(delta / 2), sin(delta) = 2 sin(delta / 2) cos(delta / 2).
  double halves[kFineBatchWindows * G];
  for (int i = 0; i < kFineBatchWindows * G; ++i) halves[i] = delta[i] / 2;
  Lanes8 ch[G];
  Lanes8 sh[G];
  laneSines<G>(halves, ch, sh);
  for (int g = 0; g < G; ++g) {
    lambda[g] = 4 * sh[g] * sh[g];
    cd[g] = 1 - 2 * sh[g] * sh[g];
    sd[g] = 2 * sh[g] * ch[g];
    ua[g] = da[g] = ub[g] = db[g] = Lanes8{} + 0.0;
  }
  for (int i = 0; i < half; ++i) {
    Lanes8 first;
    Lanes8 second;
    loadLanes(first, xt + kFineBatchWindows * i);
    loadLanes(second, xt + kFineBatchWindows * (half + i));
#pragma GCC unroll 5
    for (int g = 0; g < G; ++g) {
      da[g] = (da[g] + first) - lambda[g] * ua[g];
      ua[g] += da[g];
      db[g] = (db[g] + second) - lambda[g] * ub[g];
      ub[g] += db[g];
    }
  }
  if (n % 2 != 0) {
    Lanes8 last;
    loadLanes(last, xt + kFineBatchWindows * (n - 1));
    for (int g = 0; g < G; ++g) {
      db[g] = (db[g] + last) - lambda[g] * ub[g];
      ub[g] += db[g];
    }
  }
  for (int g = 0; g < G; ++g) {
    const Lanes8 halfLambda = 0.5 * lambda[g];
    storeHalves(cd[g], sd[g], n, halfLambda * ua[g] + cd[g] * da[g], sd[g] * (ua[g] - da[g]),
                halfLambda * ub[g] + cd[g] * db[g], sd[g] * (ub[g] - db[g]),
                xc + kFineBatchWindows * g, xs + kFineBatchWindows * g);
  }
}

inline void batchReinschSums(const double* xt, int n, const double* delta, double* xc, double* xs) {
  batchReinschPass<5>(xt, n, delta, xc, xs);
  const int at = kFineBatchWindows * 5;
  batchReinschPass<4>(xt, n, delta + at, xc + at, xs + at);
}

// Candidates in groups small enough for their running values to stay in registers.
inline void batchGoertzelSums(const double* xt, int n, const double* delta, double* xc,
                              double* xs) {
  batchGoertzelPass<5>(xt, n, delta, xc, xs);
  const int at = kFineBatchWindows * 5;
  batchGoertzelPass<4>(xt, n, delta + at, xc + at, xs + at);
}

}  // namespace analyser::kernels::FINE_NAMESPACE
