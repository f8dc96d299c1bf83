// Body of the recurrence synthesis (fast_synthesis.cpp), compiled once for every processor and
// once with AVX-512 (kernels/synthesis_avx512.cpp), which applies eight samples at a time
// wherever none of them needs the literal sine. SYNTHESIS_NAMESPACE names the copy;
// applyEight(window, base, values, margin, addBack) applies trunc(values[k]) to window[base + k]
// for k < 8 and returns true, or changes nothing and returns false when some value lies within
// `margin` of a truncation step (the caller then takes the samples one by one).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fast_synthesis.h"

namespace analyser::SYNTHESIS_NAMESPACE {

inline constexpr int kLanes = 8;  // samples advanced together; the recurrence steps by 8 delta

typedef double Lanes4 __attribute__((vector_size(32)));

inline void subtractSine(int32_t* window, int from, int to, double a, double theta0, double delta,
                         bool addBack) {
  if (from >= to) return;
  // Rotations by l * delta for l = 0 .. 8 (lane offsets, then the step), by successive
  // multiplication: accurate to a few units in the last place, with two library calls.
  double offsetCos[kLanes + 1];
  double offsetSin[kLanes + 1];
  const double cosDelta = std::cos(delta);
  const double sinDelta = std::sin(delta);
  offsetCos[0] = 1.0;
  offsetSin[0] = 0.0;
  for (int l = 1; l <= kLanes; ++l) {
    offsetCos[l] = offsetCos[l - 1] * cosDelta - offsetSin[l - 1] * sinDelta;
    offsetSin[l] = offsetSin[l - 1] * cosDelta + offsetCos[l - 1] * sinDelta;
  }
  const double stepCos = offsetCos[kLanes];
  const double stepSin = offsetSin[kLanes];
  const Lanes4 oc[2] = {{offsetCos[0], offsetCos[1], offsetCos[2], offsetCos[3]},
                        {offsetCos[4], offsetCos[5], offsetCos[6], offsetCos[7]}};
  const Lanes4 os[2] = {{offsetSin[0], offsetSin[1], offsetSin[2], offsetSin[3]},
                        {offsetSin[4], offsetSin[5], offsetSin[6], offsetSin[7]}};

  // The literal synthesis takes the sine of an angle accumulated by repeated addition from
  // theta0, which drifts from theta0 + i * delta by at most half an ulp per addition (2^-53 of
  // the largest angle); the anchors here are off by two such roundings, and the recurrence adds
  // far less than 1e-12 of its own. Where a * sine lies within that bound (times a, plus the
  // rounding of the product) of a step of the truncation, the literal value is computed from
  // the accumulated angle, which is built up only as far as such a sample needs it.
  const double largestAngle = std::fabs(theta0) + std::fabs(delta) * to + 1.0;
  double accumulated = theta0;  // theta0 with delta added `accumulatedSteps` times
  int accumulatedSteps = 0;

  for (int block = from / kSynthesisBlock * kSynthesisBlock; block < to; block += kSynthesisBlock) {
    const double anchor = theta0 + block * delta;
    const double ac = std::cos(anchor);
    const double as = std::sin(anchor);
    // sin and cos of anchor + l * delta for the 8 lanes.
    Lanes4 s[2];
    Lanes4 c[2];
    for (int h = 0; h < 2; ++h) {
      s[h] = as * oc[h] + ac * os[h];
      c[h] = ac * oc[h] - as * os[h];
    }
    const int end = std::min(to, block + kSynthesisBlock);
    const double margin = std::fabs(a) * ((end + 2) * largestAngle * 0x1p-53 + 1e-12) + 1e-6;
    for (int base = block; base < end; base += kLanes) {
      double values[kLanes];
      for (int h = 0; h < 2; ++h) {
        const Lanes4 v = a * s[h];
        for (int k = 0; k < 4; ++k) values[4 * h + k] = v[k];
        const Lanes4 ns = s[h] * stepCos + c[h] * stepSin;
        const Lanes4 nc = c[h] * stepCos - s[h] * stepSin;
        s[h] = ns;
        c[h] = nc;
      }
      const int first = std::max(from, base);
      const int last = std::min(end, base + kLanes);
      if (first == base && last == base + kLanes &&
          applyEight(window, base, values, margin, addBack)) {
        continue;
      }
      for (int i = first; i < last; ++i) {
        // |a * sin| is below 2^32, so the truncation fits 64 bits; the difference wraps to
        // 32 bits like a two's-complement subtraction.
        double value = values[i - base];
        if (static_cast<int64_t>(value - margin) != static_cast<int64_t>(value + margin)) {
          for (; accumulatedSteps < i; ++accumulatedSteps) accumulated += delta;
          value = a * std::sin(accumulated);
        }
        const auto partial = static_cast<uint32_t>(static_cast<int64_t>(value));
        const auto sample = static_cast<uint32_t>(window[i]);
        window[i] = static_cast<int32_t>(addBack ? sample + partial : sample - partial);
      }
    }
  }
}

}  // namespace analyser::SYNTHESIS_NAMESPACE
