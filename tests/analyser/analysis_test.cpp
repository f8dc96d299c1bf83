#include "analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "analyser_window.h"
#include "fake_environment.h"
#include "messages.h"
#include "wave_test_support.h"

namespace {

using analyser::AnalysisStatus;

// Clocks that advance at every reading, the 1 MHz counter by 10 ticks and the clock by more
// than the report interval, so that every estimate is followed by a report.
struct ScriptedSink final : analyser::ProgressSink {
  int64_t counterTicksPerSecond() override { return 1000000; }
  int64_t counterNow() override { return ++readings, counter += 10; }
  int32_t clockMillis() override { return ++readings, clock += 101; }
  void started() override { ++starts; }
  void progress(double fraction, double seconds) override {
    reports.emplace_back(fraction, seconds);
  }
  bool cancelRequested() override { return cancel; }

  int64_t counter = 0;
  int32_t clock = 0;
  int readings = 0;
  int starts = 0;
  bool cancel = false;
  std::vector<std::pair<double, double>> reports;
};

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<int16_t> samples(3000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<int16_t>(6000 * std::sin(i * 0.05) + 2000 * std::sin(i * 0.31));
    }
    wavetest::writeFile(path, wavetest::canonical(samples));
    loaded = analyser::loadWave(registry, path);
    ASSERT_EQ(loaded.status, analyser::LoadStatus::Loaded);
    // 1/30 s with the onset shift and four passes: four frames of 1470 samples.
    options.settings = {.unitsPerSecond = 30, .frameLength = 1470, .onsetShift = 1, .passCount = 4};
  }
  void TearDown() override { registry.freeAll(); }

  wavetest::ScratchDir dir{"analysis"};
  std::string path = dir.file("take.wav");
  common::AllocationRegistry registry;
  analyser::LoadResult loaded;
  analyser::AnalysisOptions options;
  analyser::AnalysisState state;
  ScriptedSink sink;
};

TEST_F(AnalysisTest, FramesInMemoryAreTheDatFileAndEveryEstimateIsReported) {
  options.threads = 1;
  const analyser::AnalysisOutcome outcome = analyse(state, loaded.wave, options, sink);
  ASSERT_EQ(outcome.status, AnalysisStatus::Written);
  EXPECT_EQ(outcome.message, msg::kFinished);
  EXPECT_EQ(outcome.frames.voices, 8);
  EXPECT_EQ(outcome.frames.framesPerSecond, 30);
  EXPECT_EQ(outcome.frames.frameCount(), 4);  // (3000 + 2 * 1470 - 1) / 1470

  // Estimate k of the 4 passes x 6 slots x 4 frames reports k / 96 done, and a time left
  // rounded up to whole seconds (so at least the 999,999 microseconds added).
  EXPECT_EQ(sink.starts, 1);
  ASSERT_EQ(sink.reports.size(), 96u);
  for (int k = 1; k <= 96; ++k) {
    EXPECT_EQ(sink.reports[k - 1].first, k / 96.0) << k;
    EXPECT_GE(sink.reports[k - 1].second, 0.999999) << k;
  }

  fakeenv::FakeEnvironment env;
  env.checked = {analyser::kUnit30, analyser::kShiftOn, analyser::kOptimiseOn};
  env.texts[analyser::kWaveFileField] = path;
  analyser::AnalyserCommand command(env);
  command.convert();  // on all hardware threads
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0].text, msg::kFinished);
  EXPECT_EQ(common::encodeDat(outcome.frames), wavetest::readFile(dir.file("take.dat")));
}

TEST_F(AnalysisTest, CancelAndUnknownMethodsGiveNoFrames) {
  sink.cancel = true;
  auto outcome = analyse(state, loaded.wave, options, sink);
  EXPECT_EQ(outcome.status, AnalysisStatus::Cancelled);
  EXPECT_EQ(outcome.message, msg::kCancelled);
  EXPECT_EQ(outcome.frames.frameCount(), 0);
  EXPECT_TRUE(sink.reports.empty());  // stopped at the first report

  sink = ScriptedSink();
  for (const char* name : {"", "Seed", "seed "}) {
    options.method = name;
    outcome = analyse(state, loaded.wave, options, sink);
    EXPECT_EQ(outcome.status, AnalysisStatus::Refused) << name;
    EXPECT_EQ(outcome.message, msg::kUnknownMethod);
    EXPECT_EQ(outcome.frames.frameCount(), 0);
  }
  EXPECT_EQ(sink.readings + sink.starts, 0);  // refused before the sink hears of it
}

}  // namespace
