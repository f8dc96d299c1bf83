#include "parallel_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "alloc_registry.h"
#include "fake_environment.h"
#include "fast_synthesis.h"
#include "owned_wave.h"
#include "progress_window.h"
#include "speech_like_signal.h"

namespace analyser {
namespace {

AnalysisSettings settingsFor(int32_t units, int32_t shift, int32_t passes) {
  return {units, frameLengthFor(units), shift, passes};
}

using wavetest::OwnedWave;

struct OrderHook : ProgressHook {
  std::vector<std::tuple<int, int, int32_t>> calls;
  int begins = 0;
  int effective = 0;  // frames that were given an effective duration
  bool openFrame = false;
  bool misordered = false;
  int64_t cancelAfter = -1;
  int waits = 0;
  int cancelAtWait = -1;
  FrameAnswer waiting() override {
    misordered = misordered || openFrame;
    ++waits;
    return waits == cancelAtWait ? FrameAnswer::Cancel : FrameAnswer::Continue;
  }
  void beginFrame() override {
    misordered = misordered || openFrame;
    openFrame = true;
    ++begins;
  }
  void effectiveFrameMicros(double micros) override {
    if (openFrame && micros >= 0.0) ++effective;
  }
  FrameAnswer endFrame(int p, int s, int32_t g) override {
    misordered = misordered || !openFrame;
    openFrame = false;
    calls.emplace_back(p, s, g);
    return static_cast<int64_t>(calls.size()) == cancelAfter ? FrameAnswer::Cancel
                                                             : FrameAnswer::Continue;
  }
};

// Levels, frequencies and phases of every frame and slot.
std::vector<int32_t> snapshot(const AnalyserTables& tables, int32_t frames) {
  std::vector<int32_t> out;
  for (int32_t g = 0; g < frames; ++g) {
    for (int s = 0; s < kAnalysedSlots; ++s) {
      out.insert(out.end(), {tables.level(g, s), tables.frequency(g, s), tables.phase(g, s)});
    }
  }
  return out;
}

// Stored values compared between two snapshots: how many differ, and the largest difference.
struct Agreement {
  int values = 0;
  int differing = 0;
  int64_t largest = 0;
  void add(const std::vector<int32_t>& want, const std::vector<int32_t>& got) {
    for (size_t k = 0; k < want.size(); ++k) {
      int64_t d = std::llabs(int64_t{want[k]} - got[k]);
      if (k % 3 == 2) d = std::min<int64_t>(d, 65536 - d);  // phases wrap
      ++values;
      differing += d != 0;
      largest = std::max(largest, d);
    }
  }
  void print(const char* what) const {
    std::printf("%s: %d of %d stored values differ (largest difference %lld)\n", what, differing,
                values, static_cast<long long>(largest));
  }
};

TEST(FastSynthesisTest, PartsOfAWindowGiveTheSamplesOfTheWhole) {
  const int n = 2940;
  std::vector<int32_t> whole(n, 1000);
  subtractSine(whole.data(), 0, n, 3.7e6, 1.234, 0.0731);
  std::vector<int32_t> parts(n, 1000);
  for (int cut : {0, 1, 255, 256, 700, 1801, 2939, 2940}) {
    std::fill(parts.begin(), parts.end(), 1000);
    subtractSine(parts.data(), cut, n, 3.7e6, 1.234, 0.0731);
    subtractSine(parts.data(), 0, cut, 3.7e6, 1.234, 0.0731);
    EXPECT_EQ(parts, whole) << cut;
  }
  // And the samples are those of the literal synthesis, but for a rare last-unit difference.
  int differing = 0;
  for (int i = 0; i < n; ++i) {
    const auto literal =
        static_cast<int32_t>(1000 - static_cast<int64_t>(3.7e6 * std::sin(1.234 + i * 0.0731)));
    EXPECT_LE(std::abs(whole[static_cast<size_t>(i)] - literal), 1) << i;
    differing += whole[static_cast<size_t>(i)] != literal;
  }
  EXPECT_LE(differing, 3);
}

TEST(ParallelExtractionTest, TablesAreTheSameWhateverTheNumberOfThreads) {
  SineCosineTable table;
  buildSineCosineTable(table);
  const auto samples = speechlike::workingForm(speechlike::generate(30000, 5));
  // 1/15 s with the onset shift: windows of different slots overlap and cross the ranges
  // that the threads rebuild; 1/60 s with four passes. Threads 0 stands for one thread that
  // rebuilds every slot pass's residual from the signal by the literal synthesis, against
  // which the residual carried from one slot pass to the next must come out the same.
  for (const AnalysisSettings settings : {settingsFor(15, 1, 2), settingsFor(60, 0, 4)}) {
    std::vector<int32_t> first;
    for (int threads : {0, 1, 2, 3}) {
      OwnedWave wave(samples);
      AnalyserTables tables;
      prepareAnalysis(tables);
      OrderHook hook;
      ExtractionOptions options;
      options.threads = std::max(threads, 1);
      options.fastSynthesis = threads != 0;
      ASSERT_EQ(extractPartialsParallel(wave.wave, settings, tables, hook, options),
                ExtractionResult::Completed);
      const int32_t frames = frameCountFor(wave.wave.sampleCount, settings.frameLength);
      const auto tablesNow = snapshot(tables, frames);
      if (first.empty()) {
        first = tablesNow;
      } else {
        EXPECT_EQ(tablesNow, first) << settings.unitsPerSecond << " threads " << threads;
      }
    }
  }
}

TEST(ParallelExtractionTest, HookSeesEveryFrameInOrderAndCancelStopsAtOnce) {
  const auto samples = speechlike::workingForm(speechlike::generate(20000, 8));
  OwnedWave wave(samples);
  AnalyserTables tables;
  prepareAnalysis(tables);
  const AnalysisSettings settings = settingsFor(60, 0, 4);
  const int32_t frames = frameCountFor(wave.wave.sampleCount, settings.frameLength);
  OrderHook hook;
  ExtractionOptions options;
  options.threads = 2;
  ASSERT_EQ(extractPartialsParallel(wave.wave, settings, tables, hook, options),
            ExtractionResult::Completed);
  ASSERT_EQ(hook.calls.size(), static_cast<size_t>(4 * 6 * frames));
  size_t k = 0;
  for (int p = 0; p < 4; ++p) {
    for (int s = 0; s < 6; ++s) {
      for (int32_t g = 0; g < frames; ++g) EXPECT_EQ(hook.calls[k++], std::make_tuple(p, s, g));
    }
  }
  EXPECT_FALSE(hook.misordered);
  EXPECT_EQ(hook.begins, 4 * 6 * frames);
  EXPECT_EQ(hook.effective, 4 * 6 * frames);
  // Every slot pass answers the hook while it rebuilds the residual, between two frames.
  EXPECT_GE(hook.waits, 4 * 6);

  // A cancel in the middle of the second slot pass: nothing after it reaches the hook.
  OrderHook cancelling;
  cancelling.cancelAfter = frames + 5;
  prepareAnalysis(tables);
  EXPECT_EQ(extractPartialsParallel(wave.wave, settings, tables, cancelling, options),
            ExtractionResult::Cancelled);
  EXPECT_EQ(cancelling.calls.size(), static_cast<size_t>(frames + 5));
  EXPECT_EQ(cancelling.calls.back(), std::make_tuple(0, 1, 4));

  // A cancel while the second slot pass is being prepared: no frame of it is estimated.
  OrderHook cancelWaiting;
  cancelWaiting.cancelAtWait = 2;
  prepareAnalysis(tables);
  EXPECT_EQ(extractPartialsParallel(wave.wave, settings, tables, cancelWaiting, options),
            ExtractionResult::Cancelled);
  ASSERT_EQ(cancelWaiting.calls.size(), static_cast<size_t>(frames));
  EXPECT_EQ(cancelWaiting.calls.back(), std::make_tuple(0, 0, frames - 1));
  EXPECT_FALSE(cancelWaiting.misordered);
}

// How often the fast paths (recurrence fine search and synthesis) change a stored value of a
// whole extraction, against the literal fine search and synthesis. (The fast coarse search
// serves both: its sums are identical, tested elsewhere, and it keeps this test quick.)
TEST(ParallelExtractionTest, FastPathsChangeAtMostOneStoredValueInAThousand) {
  SineCosineTable table;
  buildSineCosineTable(table);
  const auto samples = speechlike::workingForm(speechlike::generate(30000, 17));
  Agreement agreement;
  for (const AnalysisSettings settings : {settingsFor(60, 0, 2), settingsFor(30, 1, 1)}) {
    const int32_t frames =
        frameCountFor(static_cast<int32_t>(samples.size()), settings.frameLength);
    OwnedWave literalWave(samples);
    AnalyserTables literal;
    prepareAnalysis(literal);
    PartialEstimator estimator(literal.sineCosine);
    estimator.setPaths(bestCoarsePath(), FinePath::Reference);
    OrderHook hook;
    ASSERT_EQ(extractPartials(literalWave.wave, settings, literal, hook,
                              [&](const int32_t* w, int n) { return estimator.estimate(w, n); }),
              ExtractionResult::Completed);

    OwnedWave fastWave(samples);
    AnalyserTables fast;
    prepareAnalysis(fast);
    ASSERT_EQ(extractPartialsParallel(fastWave.wave, settings, fast, hook, {}),
              ExtractionResult::Completed);

    agreement.add(snapshot(literal, frames), snapshot(fast, frames));
  }
  agreement.print("whole extraction");
  EXPECT_LE(agreement.differing * 1000, agreement.values);
  EXPECT_LE(agreement.largest, 1);
}

// The same measurement on the bundled speech recordings (mono and stereo), as the convert
// command reads them.
TEST(ParallelExtractionTest, FastPathsAgreeWithTheLiteralExtractionOnTheBundledRecordings) {
  Agreement agreement;
  for (const char* name : {"english.wav", "japanese.wav"}) {
    common::AllocationRegistry registry;
    const LoadResult loaded = loadWave(registry, std::string(SAMPLES_DIR) + "/" + name);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded) << name << ": " << loaded.message;
    const AnalysisSettings settings = settingsFor(60, 0, 2);
    const int32_t frames = frameCountFor(loaded.wave.sampleCount, settings.frameLength);
    OrderHook hook;
    AnalyserTables literal;
    prepareAnalysis(literal);
    ExtractionOptions literalOptions;
    literalOptions.finePath = FinePath::Reference;
    literalOptions.fastSynthesis = false;
    ASSERT_EQ(extractPartialsParallel(loaded.wave, settings, literal, hook, literalOptions),
              ExtractionResult::Completed);
    AnalyserTables fast;
    prepareAnalysis(fast);
    ASSERT_EQ(extractPartialsParallel(loaded.wave, settings, fast, hook, {}),
              ExtractionResult::Completed);
    agreement.add(snapshot(literal, frames), snapshot(fast, frames));
  }
  agreement.print("bundled recordings");
  EXPECT_GT(agreement.values, 6000);
  EXPECT_LE(agreement.differing * 1000, agreement.values);
  EXPECT_LE(agreement.largest, 1);
}

TEST(ParallelExtractionTest, SilenceAndTheFrameLimitBehaveAsInTheLiteralExtraction) {
  const std::vector<int32_t> nothing;
  OwnedWave wave(nothing);
  AnalyserTables tables;
  prepareAnalysis(tables);
  OrderHook hook;
  ASSERT_EQ(extractPartialsParallel(wave.wave, settingsFor(60, 0, 1), tables, hook, {}),
            ExtractionResult::Completed);
  for (int s = 0; s < kAnalysedSlots; ++s) {
    EXPECT_EQ(tables.level(0, s), 0);
    EXPECT_EQ(tables.frequency(0, s), 550);
    EXPECT_EQ(tables.phase(0, s), 32768);
  }
  WaveSignal tooLong;
  tooLong.sampleCount = 26460000 + 2 * 735;  // more frames than the tables hold
  EXPECT_EQ(extractPartialsParallel(tooLong, settingsFor(60, 0, 1), tables, hook, {}),
            ExtractionResult::TooManyFrames);
}

}  // namespace
}  // namespace analyser

namespace analyser {
namespace {

// The reporter takes a supplied effective duration instead of the time it measured itself (the
// wait for a frame computed ahead), for that frame only.
TEST(EffectiveFrameTimeTest, ReporterUsesTheSuppliedDurationForThatFrameOnly) {
  fakeenv::FakeEnvironment env;
  std::atomic<int> cancelFlag{0};
  ProgressWindowSink sink{env, cancelFlag};
  ProgressReporter reporter{sink};
  reporter.open(1000000, 1, 100);
  reporter.beginFrame();
  env.counter += 5;  // 5 microseconds of waiting
  reporter.effectiveFrameMicros(40000.0);
  env.clock = 101;
  reporter.endFrame(0, 5, 0);
  EXPECT_EQ(reporter.microsPerFrame(), 40000.0);
  ASSERT_EQ(env.refreshes.size(), 1u);
  EXPECT_EQ(env.refreshes[0].first, "残り時間約4秒");  // 100 frames x 40 ms

  reporter.beginFrame();
  env.counter += 7;
  reporter.endFrame(0, 5, 1);
  EXPECT_EQ(reporter.microsPerFrame(), 7.0);
}

// Between frames the reporter lets messages through at most every 100 ms, and reports a
// pending cancel then, but leaves the remaining time alone.
TEST(EffectiveFrameTimeTest, WaitingBetweenFramesPumpsAndCancelsOnTheRefreshInterval) {
  fakeenv::FakeEnvironment env;
  std::atomic<int> cancelFlag{0};
  ProgressWindowSink sink{env, cancelFlag};
  ProgressReporter reporter{sink};
  reporter.open(1000000, 1, 100);
  env.clock = 100;
  EXPECT_EQ(reporter.waiting(), FrameAnswer::Continue);
  EXPECT_EQ(env.pumps, 0);
  env.clock = 101;
  EXPECT_EQ(reporter.waiting(), FrameAnswer::Continue);
  EXPECT_EQ(env.pumps, 1);
  EXPECT_TRUE(env.refreshes.empty());
  cancelFlag = 1;
  env.clock = 150;
  EXPECT_EQ(reporter.waiting(), FrameAnswer::Continue);  // not yet time to look
  env.clock = 202;
  EXPECT_EQ(reporter.waiting(), FrameAnswer::Cancel);
  EXPECT_EQ(env.pumps, 1);
}

}  // namespace
}  // namespace analyser
