// The tracking analysis on two steady sines, whose frequencies and levels are known, and its
// place in the method registry.
#include "tracked_method.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis.h"
#include "messages.h"
#include "owned_wave.h"
#include "partial_extraction.h"

namespace {

constexpr double kLoud = 0.5 * 8388608.0;  // working-form amplitudes
constexpr double kSoft = 0.25 * 8388608.0;
constexpr double kTwoPi = 6.283185307179586;

std::vector<int32_t> twoSines(int32_t count) {
  std::vector<int32_t> s(static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const double t = i / 44100.0;
    s[static_cast<std::size_t>(i)] = static_cast<int32_t>(
        std::lround(kLoud * std::sin(kTwoPi * 440.0 * t) + kSoft * std::sin(kTwoPi * 1250.0 * t)));
  }
  return s;
}

// A clock that moves 60 ms a reading, so that every other frame is a report.
struct StepSink final : analyser::ProgressSink {
  int64_t counterTicksPerSecond() override { return 1000; }
  int64_t counterNow() override { return clock; }
  int32_t clockMillis() override { return clock += 60; }
  void progress(double fraction, double) override { last = fraction, ++reports; }
  bool cancelRequested() override { return cancel; }
  int32_t clock = 0;
  int reports = 0;
  double last = 0.0;
  bool cancel = false;
};

TEST(TrackedMethod, TwoSteadySinesKeepTheirVoicesFrequenciesAndLevels) {
  wavetest::OwnedWave wave(twoSines(44100));
  for (const int32_t fps : {60, 240}) {
    common::NoteFrames frames;
    ASSERT_TRUE(media::trackPartials(wave.wave, fps, 4, {}, nullptr, frames));
    // As many frames as the seed makes at 60, one more than the samples need at any rate.
    EXPECT_EQ(frames.frameCount(), (44100 * fps + 2 * 44100 - 1) / 44100);
    if (fps == 60) {
      EXPECT_EQ(frames.frameCount(), analyser::frameCountFor(44100, 735));
    }
    // Away from the edges: the loud sine at the loudest level, the soft one at that level
    // times 0.5^1.2 (the expansion), each on one voice throughout; the frequencies within the
    // bias of a parabola on the Hann window's log magnitude (0.02 bin); the other voices
    // below the builder's floor.
    const int32_t first = fps / 10, last = frames.frameCount() - fps / 10;
    int loudVoice = -1, softVoice = -1;
    for (int32_t v = 0; v < 4; ++v) {
      const int32_t f = frames.at(first, v).frequency;
      if (std::abs(f - 4400) < 20) loudVoice = v;
      if (std::abs(f - 12500) < 20) softVoice = v;
    }
    ASSERT_GE(loudVoice, 0);
    ASSERT_GE(softVoice, 0);
    for (int32_t g = first; g < last; ++g) {
      SCOPED_TRACE(g);
      EXPECT_NEAR(frames.at(g, loudVoice).frequency, 4400, 9);
      EXPECT_NEAR(frames.at(g, softVoice).frequency, 12500, 9);
      EXPECT_NEAR(frames.at(g, loudVoice).level, kLoud, kLoud * 0.01);
      EXPECT_NEAR(frames.at(g, softVoice).level, kLoud * std::pow(0.5, 1.2), kLoud * 0.01);
      for (int32_t v = 0; v < 4; ++v) {
        if (v != loudVoice && v != softVoice) {
          EXPECT_LT(frames.at(g, v).level, kLoud / 256);
        }
      }
    }
  }
}

TEST(TrackedMethod, RunsThroughTheSeamReportsProgressHonoursCancelAndIsDeterministic) {
  wavetest::OwnedWave wave(twoSines(44100));
  auto method = media::makeTrackedMethod();
  analyser::AnalysisOptions options;
  options.method = "tracked";
  options.voices = 15;
  options.settings.unitsPerSecond = 120;
  StepSink sink;
  const analyser::AnalysisOutcome a = method->run(wave.wave, options, sink);
  ASSERT_EQ(a.status, analyser::AnalysisStatus::Written);
  EXPECT_EQ(a.frames.voices, 15);
  EXPECT_EQ(a.frames.framesPerSecond, 120);
  EXPECT_EQ(a.frames.method, "tracked");
  EXPECT_GT(sink.reports, 10);
  EXPECT_GT(sink.last, 0.99);
  const analyser::AnalysisOutcome b = method->run(wave.wave, options, sink);
  EXPECT_TRUE(std::equal(a.frames.slots.begin(), a.frames.slots.end(), b.frames.slots.begin(),
                         b.frames.slots.end(), [](const auto& x, const auto& y) {
                           return x.level == y.level && x.frequency == y.frequency;
                         }));

  sink.cancel = true;
  const analyser::AnalysisOutcome c = method->run(wave.wave, options, sink);
  EXPECT_EQ(c.status, analyser::AnalysisStatus::Cancelled);
  EXPECT_EQ(c.message, msg::kCancelled);
  EXPECT_TRUE(c.frames.slots.empty());
}

TEST(TrackedMethod, TheRegistryOffersItOnlyOnceRegistered) {
  wavetest::OwnedWave wave(twoSines(4410));
  analyser::AnalysisOptions options;
  options.method = "tracked";
  StepSink sink;
  analyser::AnalysisState before;
  EXPECT_EQ(analyser::analyse(before, wave.wave, options, sink).message, msg::kUnknownMethod);

  media::registerMediaMethods();
  media::registerMediaMethods();  // a second call adds nothing
  ASSERT_EQ(analyser::analysisMethods().size(), 2u);
  EXPECT_EQ(analyser::analysisMethods()[1].name, "tracked");
  analyser::AnalysisState after;
  EXPECT_EQ(analyser::analyse(after, wave.wave, options, sink).status,
            analyser::AnalysisStatus::Written);
}

}  // namespace
