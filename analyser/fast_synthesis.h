// Synthesis of a stored partial without a library sine per sample: the subtraction that
// subtractPartial performs, with sines from a rotation recurrence re-anchored at fixed points of
// the window, so that any part of a window can be synthesised on its own and gives the same
// samples as the whole (which lets threads share out a residual by sample ranges).
#pragma once

#include <cstdint>

#include "partial_extraction.h"

namespace analyser {

// Samples per anchor block: the recurrence restarts from library sine and cosine here.
inline constexpr int kSynthesisBlock = 256;

// For i in [from, to): window[i] -= trunc(a * sin(theta_i)) as a wrapping 32-bit subtraction,
// theta_i being theta0 with delta added i times (accumulated, as the literal synthesis does).
// The samples are exactly those of the literal synthesis, so they do not depend on `from` or
// `to`. With `addBack` the same values are added instead, which undoes the subtraction
// exactly (both wrap modulo 2^32).
void subtractSine(int32_t* window, int from, int to, double a, double theta0, double delta,
                  bool addBack = false);

// subtractPartial(frame, slot) restricted to buffer positions [begin, end) of the residual;
// with `addBack` it adds the partial back instead.
void subtractPartialRange(const WaveSignal& wave, const AnalysisSettings& settings,
                          const AnalyserTables& tables, int32_t frame, int slot, int64_t begin,
                          int64_t end, bool addBack = false);

}  // namespace analyser
