#include "fast_synthesis.h"

#include <algorithm>
#include <cmath>

#include "estimator_dispatch.h"
#include "kernels/synthesis_kernels.h"

#define SYNTHESIS_NAMESPACE synthesis_portable

namespace analyser {

namespace synthesis_portable {

// Eight samples at a time are not worth it without wide vectors: every sample is taken alone.
inline bool applyEight(int32_t*, int, const double*, double, bool) {
  return false;
}

}  // namespace synthesis_portable
}  // namespace analyser

#include "kernels/synthesis_impl.h"

namespace analyser {

void subtractSine(int32_t* window, int from, int to, double a, double theta0, double delta,
                  bool addBack) {
  static const bool wide =
      cpuFeatures().avx512f && cpuFeatures().avx512dq && kernels::subtractSineAvx512Available();
  if (wide) {
    kernels::subtractSineAvx512(window, from, to, a, theta0, delta, addBack);
  } else {
    synthesis_portable::subtractSine(window, from, to, a, theta0, delta, addBack);
  }
}

void subtractPartialRange(const WaveSignal& wave, const AnalysisSettings& settings,
                          const AnalyserTables& tables, int32_t frame, int slot, int64_t begin,
                          int64_t end, bool addBack) {
  const int32_t level = tables.level(frame, slot);
  if (level == 0) return;
  const int64_t start = int64_t{kMarginSamples} + int64_t{frame} * settings.frameLength +
                        windowOffset(settings, slot);
  const int64_t from = std::max<int64_t>(begin - start, 0);
  const int64_t to = std::min<int64_t>(end - start, settings.frameLength);
  if (from >= to) return;
  const double f = tables.frequency(frame, slot) / 10.0;
  subtractSine(wave.residual + start, static_cast<int>(from), static_cast<int>(to), level,
               tables.phase(frame, slot) * kFullTurn / 65536, kFullTurn * f / kSampleRate, addBack);
}

}  // namespace analyser
