#include "parallel_extraction.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "coarse_plan.h"
#include "fast_synthesis.h"

namespace analyser {

namespace {

// Frames per batch: the estimator's batch, so one pass over the per-length tables serves them.
constexpr int32_t kBatchFrames = kCoarseBatchLimit;
constexpr int kMaxThreads = 64;
// Batches the calling thread waits for at once before it stores their frames.
constexpr int32_t kBatchesPerWait = 16;

using Clock = std::chrono::steady_clock;

// How often the calling thread lets the hook see to the window while the residual is rebuilt.
constexpr auto kWaitingInterval = std::chrono::milliseconds(20);

// Runs work(begin, end, stop) over `threads` disjoint ranges of buffer positions that together
// cover the whole residual, one thread each. Meanwhile the calling thread calls hook.waiting()
// at once and then every kWaitingInterval, so that a long recording does not leave the window
// unanswered for a whole sweep. Returns false when the hook asked to cancel; `stop` is then set
// and the threads end after their current frame.
template <typename RangeWork>
bool sweepResidualParallel(int64_t length, int threads, ProgressHook& hook, RangeWork work) {
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable rangeFinished;
  int finished = 0;  // under `mutex`
  auto sweepRange = [&](int t) {
    work(length * t / threads, length * (t + 1) / threads, stop);
    {
      std::lock_guard lock(mutex);
      ++finished;
    }
    rangeFinished.notify_all();
  };

  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(threads));
  int started = 0;
  try {
    for (; started < threads; ++started) workers.emplace_back(sweepRange, started);
  } catch (const std::system_error&) {
  }
  bool cancelled = hook.waiting() == FrameAnswer::Cancel;
  if (cancelled) stop = true;
  // Ranges without a thread are swept here (not answering the hook meanwhile).
  for (int t = started; t < threads; ++t) sweepRange(t);
  {
    std::unique_lock lock(mutex);
    while (!rangeFinished.wait_for(lock, kWaitingInterval, [&] { return finished == threads; })) {
      if (cancelled) continue;
      lock.unlock();
      cancelled = hook.waiting() == FrameAnswer::Cancel;
      if (cancelled) stop = true;
      lock.lock();
    }
  }
  for (std::thread& worker : workers) worker.join();
  return !cancelled;
}

// The frames whose windows may reach buffer positions [begin, end): windows start between
// 2205 samples before their frame and the frame itself.
std::pair<int32_t, int32_t> framesReaching(int64_t begin, int64_t end, int32_t n,
                                           int32_t frameCount) {
  const int64_t firstFrame = (begin - kMarginSamples - n) / n;
  const int64_t lastFrame = (end - kMarginSamples + kMaxWindowLead) / n + 1;
  return {static_cast<int32_t>(std::max<int64_t>(firstFrame, 0)),
          static_cast<int32_t>(std::min<int64_t>(lastFrame, frameCount))};
}

// The residual of a slot pass from scratch: a copy of the signal minus every other slot's
// partial in every frame.
bool rebuildResidualParallel(const WaveSignal& wave, const AnalysisSettings& settings,
                             const AnalyserTables& tables, int32_t frameCount, int slot,
                             int threads, ProgressHook& hook) {
  const int32_t n = settings.frameLength;
  return sweepResidualParallel(
      wave.bufferLength(), threads, hook,
      [&](int64_t begin, int64_t end, const std::atomic<bool>& stop) {
        std::copy(wave.signal + begin, wave.signal + end, wave.residual + begin);
        const auto [g0, g1] = framesReaching(begin, end, n, frameCount);
        for (int32_t g = g0; g < g1 && !stop.load(std::memory_order_relaxed); ++g) {
          for (int d = 0; d < kAnalysedSlots; ++d) {
            if (d != slot) subtractPartialRange(wave, settings, tables, g, d, begin, end);
          }
        }
      });
}

// From the residual of one slot pass to that of the next: the residual of `done` is the signal
// minus every other slot's partial, and only slot `done` has changed since. Subtracting its new
// partial and adding back that of `next` (unchanged since it was subtracted) gives the signal
// minus every slot but `next`, exactly as a rebuild would, since every subtraction wraps modulo
// 2^32 and so the order of the terms does not matter. Two syntheses per frame instead of five,
// and no copy.
bool advanceResidualParallel(const WaveSignal& wave, const AnalysisSettings& settings,
                             const AnalyserTables& tables, int32_t frameCount, int done, int next,
                             int threads, ProgressHook& hook) {
  const int32_t n = settings.frameLength;
  return sweepResidualParallel(
      wave.bufferLength(), threads, hook,
      [&](int64_t begin, int64_t end, const std::atomic<bool>& stop) {
        const auto [g0, g1] = framesReaching(begin, end, n, frameCount);
        for (int32_t g = g0; g < g1 && !stop.load(std::memory_order_relaxed); ++g) {
          subtractPartialRange(wave, settings, tables, g, done, begin, end);
          subtractPartialRange(wave, settings, tables, g, next, begin, end, true);
        }
      });
}

}  // namespace

int resolveThreadCount(int threads) {
  if (threads > 0) return threads;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(hardware);
}

ExtractionResult extractPartialsParallel(const WaveSignal& wave, const AnalysisSettings& settings,
                                         AnalyserTables& tables, ProgressHook& hook,
                                         const ExtractionOptions& options) {
  const int32_t frameCount = frameCountFor(wave.sampleCount, settings.frameLength);
  if (frameCount > AnalyserTables::kFrames) return ExtractionResult::TooManyFrames;
  const int32_t n = settings.frameLength;
  const int32_t batchCount = (frameCount + kBatchFrames - 1) / kBatchFrames;
  // Each worker holds about 250 KB of estimator scratch: no more of them than there are
  // batches to share, nor than kMaxThreads.
  const int threads = std::min({resolveThreadCount(options.threads), kMaxThreads,
                                static_cast<int>(std::max(batchCount, 1))});

  CoarsePlanCache plans(tables.sineCosine);
  std::vector<std::unique_ptr<PartialEstimator>> estimators;
  for (int t = 0; t < threads; ++t) {
    estimators.push_back(std::make_unique<PartialEstimator>(tables.sineCosine, plans));
    estimators.back()->setPaths(options.coarsePath, options.finePath);
    estimators.back()->setCoarsePruning(options.coarsePruning);
  }
  std::vector<PartialEstimate> results(static_cast<size_t>(frameCount));
  std::vector<uint8_t> batchDone(static_cast<size_t>(batchCount));

  for (int pass = 0; pass < settings.passCount; ++pass) {
    for (int slot = 0; slot < kAnalysedSlots; ++slot) {
      const Clock::time_point passStart = Clock::now();
      if (options.fastSynthesis) {
        const bool first = pass == 0 && slot == 0;
        const int previous = slot == 0 ? kAnalysedSlots - 1 : slot - 1;
        if (!(first
                  ? rebuildResidualParallel(wave, settings, tables, frameCount, slot, threads, hook)
                  : advanceResidualParallel(wave, settings, tables, frameCount, previous, slot,
                                            threads, hook))) {
          return ExtractionResult::Cancelled;
        }
      } else {
        rebuildResidual(wave, settings, tables, frameCount, slot);
      }

      std::mutex mutex;
      std::condition_variable batchFinished;
      std::fill(batchDone.begin(), batchDone.end(), uint8_t{0});
      std::atomic<int32_t> finishedFrames{0};
      // Batches 0 .. donePrefix - 1 are all done; the calling thread sleeps until donePrefix
      // reaches wakeAt, and the workers wake it only then (both under `mutex`). Waiting for a
      // few batches at a time, not for each, saves most of the thread hand-offs.
      int32_t donePrefix = 0;
      int32_t wakeAt = -1;
      std::atomic<int32_t> nextBatch{0};
      std::atomic<bool> stop{false};

      auto estimate = [&](PartialEstimator& estimator, int32_t b) {
        const int32_t first = b * kBatchFrames;
        const int32_t count = std::min(kBatchFrames, frameCount - first);
        const int32_t* windows[kBatchFrames];
        for (int32_t k = 0; k < count; ++k) {
          windows[k] = analysisWindow(wave, settings, first + k, slot);
        }
        estimator.estimateBatch(windows, count, n, results.data() + first);
        finishedFrames.fetch_add(count, std::memory_order_relaxed);
        bool wake = false;
        {
          std::lock_guard lock(mutex);
          batchDone[static_cast<size_t>(b)] = 1;
          while (donePrefix < batchCount && batchDone[static_cast<size_t>(donePrefix)] != 0) {
            ++donePrefix;
          }
          wake = wakeAt >= 0 && donePrefix >= wakeAt;
          if (wake) wakeAt = -1;
        }
        if (wake) batchFinished.notify_one();
      };
      auto worker = [&](int t) {
        PartialEstimator& estimator = *estimators[static_cast<size_t>(t)];
        for (;;) {
          const int32_t b = nextBatch.fetch_add(1);
          if (b >= batchCount || stop.load()) return;
          estimate(estimator, b);
        }
      };
      std::vector<std::thread> workers;
      try {
        for (int t = 0; t < threads; ++t) workers.emplace_back(worker, t);
      } catch (const std::system_error&) {
      }
      // Where no thread could be started (a browser without shared memory), the calling thread
      // estimates each group of batches just before it stores them, so that the reports and
      // the cancel checks keep coming while the work goes on.
      const bool estimateHere = workers.empty();

      bool cancelled = false;
      int32_t readyBatches = 0;  // batches known to be done
      for (int32_t g = 0; g < frameCount; ++g) {
        hook.beginFrame();
        if (g / kBatchFrames >= readyBatches) {
          const int32_t target = std::min(g / kBatchFrames + kBatchesPerWait, batchCount);
          while (estimateHere && nextBatch.load() < target) {
            estimate(*estimators.front(), nextBatch.fetch_add(1));
          }
          std::unique_lock lock(mutex);
          if (donePrefix < target) {
            wakeAt = target;
            batchFinished.wait(lock, [&] { return donePrefix >= target; });
          }
          readyBatches = donePrefix;
        }
        // The estimates were made ahead on the workers: what one frame effectively costs is
        // the pass's time so far (residual included) shared among the estimates finished.
        const std::chrono::duration<double, std::micro> elapsed = Clock::now() - passStart;
        hook.effectiveFrameMicros(elapsed.count() /
                                  std::max(finishedFrames.load(std::memory_order_relaxed), 1));
        storeEstimate(tables, g, slot, results[static_cast<size_t>(g)]);
        if (hook.endFrame(pass, slot, g) == FrameAnswer::Cancel) {
          cancelled = true;
          break;
        }
      }
      stop = true;
      for (std::thread& w : workers) w.join();
      if (cancelled) return ExtractionResult::Cancelled;
    }
  }
  return ExtractionResult::Completed;
}

}  // namespace analyser
