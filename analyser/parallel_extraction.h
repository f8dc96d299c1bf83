// The partial extraction on worker threads. The estimates of one slot pass depend only on the
// residual made at its start (rebuilt for the first slot pass, then brought from one slot pass
// to the next by the one slot that changed), so workers compute them in batches of consecutive
// frames while the calling thread stores them and calls the progress hook once per frame, in frame
// order, as the single-threaded extraction does. The tables come out the same whatever the
// number of threads.
#pragma once

#include <cstdint>

#include "partial_extraction.h"
#include "progress_hook.h"

namespace analyser {

struct ExtractionOptions {
  int threads = 0;  // worker threads; 0 = all hardware threads
  // Estimator paths (the best the processor has, unless a test asks for others).
  CoarsePath coarsePath = bestCoarsePath();
  FinePath finePath = bestFinePath();
  // Prune the coarse candidates by their bounds (same winners); false sums every one exactly.
  bool coarsePruning = true;
  // Make the residual with the recurrence synthesis, updating it between slot passes by the
  // slot that changed; false rebuilds it with subtractPartial itself for every slot pass.
  bool fastSynthesis = true;
};

// Worker threads that `threads` stands for (0 = all hardware threads, at least 1).
int resolveThreadCount(int threads);

// Same contract as extractPartials. Frames reach the hook only after their estimate is
// stored; a cancel stops the workers after their current batch.
ExtractionResult extractPartialsParallel(const WaveSignal& wave, const AnalysisSettings& settings,
                                         AnalyserTables& tables, ProgressHook& hook,
                                         const ExtractionOptions& options);

}  // namespace analyser
