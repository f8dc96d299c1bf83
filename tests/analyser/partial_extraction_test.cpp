#include "partial_extraction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

namespace {

using analyser::AnalyserTables;
using analyser::AnalysisSettings;
using analyser::ExtractionResult;
using analyser::FrameAnswer;
using analyser::kMarginSamples;
using analyser::PartialEstimate;
using analyser::WaveSignal;

AnalysisSettings settings(int32_t units, int32_t shift = 0, int32_t passes = 1) {
  return {units, analyser::frameLengthFor(units), shift, passes};
}

// Signal and residual buffers for a given recording, owned by the test.
struct TestWave {
  explicit TestWave(const std::vector<int32_t>& samples)
      : signal(samples.size() + 2 * kMarginSamples, 0), residual(signal.size(), 0x5A5A5A5A) {
    std::copy(samples.begin(), samples.end(), signal.begin() + kMarginSamples);
    wave.sampleCount = static_cast<int32_t>(samples.size());
    wave.signal = signal.data();
    wave.residual = residual.data();
  }
  std::vector<int32_t> signal;
  std::vector<int32_t> residual;
  WaveSignal wave;
};

struct RecordingHook : analyser::ProgressHook {
  std::vector<std::tuple<int, int, int32_t>> calls;
  int begins = 0;
  std::tuple<int, int, int32_t> cancelAt{-1, -1, -1};
  void beginFrame() override { ++begins; }
  FrameAnswer endFrame(int p, int s, int32_t g) override {
    calls.emplace_back(p, s, g);
    return calls.back() == cancelAt ? FrameAnswer::Cancel : FrameAnswer::Continue;
  }
};

TEST(ExtractionGeometryTest, FrameCountAddsOneFrameBeyondTheSamples) {
  EXPECT_EQ(analyser::frameCountFor(0, 735), 1);
  EXPECT_EQ(analyser::frameCountFor(44100, 735), 61);
  EXPECT_EQ(analyser::frameCountFor(44100, 2940), 16);
  EXPECT_EQ(analyser::frameCountFor(26459265, 735), 36000);
  EXPECT_EQ(analyser::frameCountFor(26459266, 735), 36001);
  EXPECT_EQ(analyser::frameCountFor(26460000, 735), 36001);
  EXPECT_EQ(analyser::frameCountFor(26460000, 1470), 18001);
  EXPECT_EQ(analyser::frameCountFor(26460000, 2205), 12001);
  EXPECT_EQ(analyser::frameCountFor(26460000, 2940), 9001);
  EXPECT_LE(analyser::frameCountFor(26460000, 735), AnalyserTables::kFrames);
}

TEST(ExtractionGeometryTest, OnsetShiftStaggersWindowsByUnit) {
  const std::vector<std::pair<int32_t, std::vector<int32_t>>> expected = {
      {15, {-2205, -1470, -735, 0, -2205, -1470}},
      {20, {-1470, -735, 0, -1470, -735, 0}},
      {30, {-735, 0, -735, 0, -735, 0}},
      {60, {0, 0, 0, 0, 0, 0}}};
  for (const auto& [units, offsets] : expected) {
    for (int s = 0; s < 6; ++s) {
      EXPECT_EQ(analyser::windowOffset(settings(units, 1), s), offsets[s]) << units << " " << s;
      EXPECT_EQ(analyser::windowOffset(settings(units, 0), s), 0);
    }
  }
}

TEST(SubtractPartialTest, SubtractsTruncatedAccumulatedSynthesis) {
  TestWave t(std::vector<int32_t>(2000, 0));
  AnalyserTables tables;
  const AnalysisSettings st = settings(60);
  std::fill(t.residual.begin(), t.residual.end(), 0);
  // About 30 degrees: 1000 * sin is 499.97, and half a period later -499.97; both truncate
  // toward zero.
  tables.level(1, 2) = 1000;
  tables.frequency(1, 2) = 4410;  // 441 Hz: a hundredth of a turn per sample
  tables.phase(1, 2) = 5461;
  analyser::subtractPartial(t.wave, st, tables, 1, 2);
  const int32_t* w = t.residual.data() + kMarginSamples + 735;
  EXPECT_EQ(w[0], -499);
  EXPECT_EQ(w[50], 499);
  double theta = 5461 * 6.2831853071796 / 65536;
  for (int i = 0; i < 735; ++i) {
    ASSERT_EQ(w[i], -static_cast<int32_t>(1000 * std::sin(theta))) << i;
    theta += 6.2831853071796 * 441.0 / 44100;
  }
  // Only that frame's window is touched.
  EXPECT_EQ(w[-1], 0);
  EXPECT_EQ(w[735], 0);

  // A silent slot changes nothing.
  tables.level(1, 2) = 0;
  analyser::subtractPartial(t.wave, st, tables, 1, 2);
  EXPECT_EQ(w[0], -499);
}

TEST(SubtractPartialTest, ShiftedWindowsReachIntoTheLeadingMargin) {
  TestWave t({});
  std::fill(t.residual.begin(), t.residual.end(), 0);
  AnalyserTables tables;
  tables.level(0, 0) = 5000;
  tables.frequency(0, 0) = 550;
  tables.phase(0, 0) = 5461;
  analyser::subtractPartial(t.wave, settings(15, 1), tables, 0, 0);
  EXPECT_EQ(t.residual[kMarginSamples - 2205 - 1], 0);
  EXPECT_EQ(t.residual[kMarginSamples - 2205], -2499);
  EXPECT_NE(t.residual[kMarginSamples - 2205 + 2939], 0);
  EXPECT_EQ(t.residual[kMarginSamples - 2205 + 2940], 0);
}

TEST(SubtractPartialTest, ExtremeLevelsWrapInsteadOfOverflowing) {
  TestWave t({0});
  std::fill(t.residual.begin(), t.residual.end(), INT32_MIN);
  AnalyserTables tables;
  tables.level(0, 0) = INT32_MAX;
  tables.frequency(0, 0) = 10;
  tables.phase(0, 0) = 16384;
  analyser::subtractPartial(t.wave, settings(60), tables, 0, 0);
  const int32_t partial =
      static_cast<int32_t>(INT32_MAX * std::sin(16384 * 6.2831853071796 / 65536));
  EXPECT_EQ(t.residual[kMarginSamples], static_cast<int32_t>(int64_t{INT32_MIN} - partial));
}

// An estimator that reports every window it is given and answers with a fixed partial.
struct ScriptedEstimator {
  explicit ScriptedEstimator(const WaveSignal* w) : wave(w) {}
  const WaveSignal* wave;
  std::vector<int64_t> windowStarts;  // offset from the residual's first signal position
  std::vector<int32_t> firstValues;
  PartialEstimate answer{1000, 441.0, 5461};
  PartialEstimate operator()(const int32_t* window, int n) {
    EXPECT_EQ(n, frameLength);
    windowStarts.push_back(window - (wave->residual + kMarginSamples));
    firstValues.push_back(window[0]);
    return answer;
  }
  int frameLength = 735;
};

TEST(ExtractPartialsTest, EstimatesEverySlotPassInOrderOnTheOtherSlotsResidue) {
  // Silence, so that every window value comes from the other slots' synthesis alone.
  TestWave t(std::vector<int32_t>(735, 0));
  AnalyserTables tables;
  tables.clear();
  RecordingHook hook;
  ScriptedEstimator est{&t.wave};
  const AnalysisSettings st = settings(60, 0, 4);
  const auto result = analyser::extractPartials(t.wave, st, tables, hook, std::ref(est));
  ASSERT_EQ(result, ExtractionResult::Completed);

  // 2 frames x 6 slots x 4 passes, in pass, slot, frame order.
  ASSERT_EQ(hook.calls.size(), 48u);
  EXPECT_EQ(hook.begins, 48);
  size_t k = 0;
  for (int p = 0; p < 4; ++p) {
    for (int s = 0; s < 6; ++s) {
      for (int32_t g = 0; g < 2; ++g, ++k) {
        ASSERT_EQ(hook.calls[k], std::make_tuple(p, s, g));
        EXPECT_EQ(est.windowStarts[k], 735 * g);
        // Pass 0: only the slots already estimated are subtracted. Later passes: always the
        // five others, never the slot itself (each pass starts from a fresh copy).
        const int others = p == 0 ? s : 5;
        ASSERT_EQ(est.firstValues[k], -499 * others) << p << " " << s << " " << g;
      }
    }
  }
  EXPECT_EQ(tables.level(1, 5), 1000);
  EXPECT_EQ(tables.frequency(1, 5), 4410);
  EXPECT_EQ(tables.phase(1, 5), 5461);
  // The signal buffer itself is never changed.
  EXPECT_TRUE(std::all_of(t.signal.begin(), t.signal.end(), [](int32_t v) { return v == 0; }));
}

TEST(ExtractPartialsTest, ShiftedSlotsReadTheirOwnWindows) {
  TestWave t(std::vector<int32_t>(100, 0));
  AnalyserTables tables;
  tables.clear();
  RecordingHook hook;
  ScriptedEstimator est{&t.wave};
  est.frameLength = 2940;
  est.answer.level = 0;
  ASSERT_EQ(analyser::extractPartials(t.wave, settings(15, 1), tables, hook, std::ref(est)),
            ExtractionResult::Completed);
  // Two frames per slot; in frame 0 all but slot 3 start in the leading margin.
  EXPECT_EQ(est.windowStarts, (std::vector<int64_t>{-2205, 735, -1470, 1470, -735, 2205, 0, 2940,
                                                    -2205, 735, -1470, 1470}));
}

TEST(ExtractPartialsTest, CancelStopsBeforeTheNextEstimate) {
  TestWave t(std::vector<int32_t>(3000, 0));
  AnalyserTables tables;
  tables.clear();
  RecordingHook hook;
  hook.cancelAt = {0, 1, 2};
  ScriptedEstimator est{&t.wave};
  ASSERT_EQ(analyser::extractPartials(t.wave, settings(60), tables, hook, std::ref(est)),
            ExtractionResult::Cancelled);
  const size_t framesPerSlot = 6;  // (3000 + 1469) / 735
  EXPECT_EQ(est.windowStarts.size(), framesPerSlot + 3);
  EXPECT_EQ(hook.calls.back(), std::make_tuple(0, 1, 2));
  EXPECT_EQ(tables.level(3, 1), 0);
}

TEST(DatImageTest, FramesCarryFiveSlotsOfTablesAndTheSettingsEntryLast) {
  AnalyserTables tables;
  tables.clear();
  for (int32_t g = 0; g < 3; ++g) {
    for (int s = 0; s < 6; ++s) {
      tables.level(g, s) = 1000 * g + s + 1;
      tables.frequency(g, s) = 550 + 100 * g + s;
      tables.phase(g, s) = 777;
    }
  }
  const int32_t bytes = analyser::buildDatImage(tables, 3, settings(15, 1));
  ASSERT_EQ(bytes, 192);
  for (int32_t g = 0; g < 3; ++g) {
    const common::NoteFrame f = common::decodeNoteFrame(tables.datImage.data() + 64 * g);
    for (int s = 0; s < 6; ++s) {
      EXPECT_EQ(f.slots[s].level, 1000 * g + s + 1);
      EXPECT_EQ(f.slots[s].frequency, 550 + 100 * g + s);
    }
    EXPECT_EQ(f.slots[6].level, 0);
    EXPECT_EQ(f.slots[6].frequency, 0);
    EXPECT_EQ(f.slots[7].level, 0);  // 1 - onsetShift
    EXPECT_EQ(f.slots[7].frequency, g == 2 ? 15 : 0);
  }
  // Defaults: the last eight bytes are 01 00 00 00 3C 00 00 00.
  ASSERT_EQ(analyser::buildDatImage(tables, 2, settings(60)), 128);
  const std::vector<uint8_t> tail(tables.datImage.begin() + 120, tables.datImage.begin() + 128);
  EXPECT_EQ(tail, (std::vector<uint8_t>{1, 0, 0, 0, 0x3C, 0, 0, 0}));
  EXPECT_EQ(analyser::buildDatImage(tables, AnalyserTables::kFrames + 1, settings(60)), 0);
  EXPECT_EQ(analyser::buildDatImage(tables, AnalyserTables::kFrames, settings(60)),
            AnalyserTables::kFrames * 64);
}

}  // namespace
