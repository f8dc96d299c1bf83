#include "partial_estimator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace analyser {
namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<int32_t> sineWindow(int n, double hertz, double amplitude, double startTurns) {
  std::vector<int32_t> w(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double v = amplitude * std::sin(kTwoPi * (hertz * i / 44100.0 + startTurns));
    w[static_cast<size_t>(i)] = static_cast<int32_t>(std::lround(v));
  }
  return w;
}

int phaseDistance(int a, int b) {
  const int d = std::abs(a - b) % 65536;
  return d > 32768 ? 65536 - d : d;
}

class PartialEstimatorTest : public ::testing::Test {
 protected:
  void SetUp() override { buildSineCosineTable(table); }
  SineCosineTable table;
};

TEST_F(PartialEstimatorTest, TableRoundsToNearestWithHalvesAwayFromZero) {
  ASSERT_EQ(table.packed.size(), 65536u);
  // Expected values from an independent high-precision evaluation of sin/cos(k*2pi'/65536)*32767.
  EXPECT_EQ(table.sine(0), 0);
  EXPECT_EQ(table.cosine(0), 32767);
  EXPECT_EQ(table.sine(1), 3);             // 3.14
  EXPECT_EQ(table.sine(65535), -3);        // -3.14
  EXPECT_EQ(table.cosine(100), 32765);     // 32765.494
  EXPECT_EQ(table.cosine(30000), -31620);  // -31619.934
  EXPECT_EQ(table.sine(50000), -32659);    // -32658.767
  EXPECT_EQ(table.cosine(59994), 28249);   // 28249.4999926
  EXPECT_EQ(table.sine(43610), -28249);    // -28249.4999926
  EXPECT_EQ(table.sine(16384), 32767);
  EXPECT_EQ(table.sine(49152), -32767);
  // Sine in the upper half, cosine in the lower half of one word.
  EXPECT_EQ(table.packed[50000] >> 16, static_cast<uint16_t>(int16_t{-32659}));
  EXPECT_EQ(table.packed[30000] & 0xFFFF, static_cast<uint16_t>(int16_t{-31620}));
}

TEST_F(PartialEstimatorTest, QuantisationRoundsHalvesAwayFromZeroAndWraps) {
  EXPECT_EQ(quantiseSample(0), 0);
  EXPECT_EQ(quantiseSample(255), 0);
  EXPECT_EQ(quantiseSample(256), 1);
  EXPECT_EQ(quantiseSample(-255), 0);
  EXPECT_EQ(quantiseSample(-256), -1);
  EXPECT_EQ(quantiseSample(-767), -1);
  EXPECT_EQ(quantiseSample(-768), -2);
  EXPECT_EQ(quantiseSample(8388607), 16384);
  EXPECT_EQ(quantiseSample(32767 * 512), 32767);
  EXPECT_EQ(quantiseSample(32768 * 512), -32768);  // wraps
  EXPECT_EQ(quantiseSample(-32769 * 512), 32767);  // wraps
  EXPECT_EQ(quantiseSample(2147483647), 0);        // 4194304 wraps to 0
  EXPECT_EQ(quantiseSample(-2147483647 - 1), 0);

  int32_t odd[3] = {512, -512, 700};
  int16_t q[4] = {9, 9, 9, 9};
  EXPECT_EQ(quantiseWindow(odd, 3, q), 4);
  EXPECT_EQ(q[0], 1);
  EXPECT_EQ(q[1], -1);
  EXPECT_EQ(q[2], 1);
  EXPECT_EQ(q[3], 0);  // the appended zero

  // The window form is computed without branches: it must agree with the single-sample form
  // around every rounding and wrapping edge, and at the extremes.
  std::vector<int32_t> edges = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 255, 0, -1, 1};
  for (int64_t k = -4; k <= 4; ++k) {
    for (int64_t base :
         {int64_t{0}, int64_t{32768} * 512, int64_t{65536} * 512, int64_t{4194304} * 512}) {
      for (int64_t v : {base + k * 512 + 255, base + k * 512 + 256, -(base + k * 512 + 256),
                        -(base + k * 512 + 255)}) {
        if (v >= INT32_MIN && v <= INT32_MAX) edges.push_back(static_cast<int32_t>(v));
      }
    }
  }
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) edges.push_back(static_cast<int32_t>(rng()));
  std::vector<int16_t> window(edges.size() + 1);
  quantiseWindow(edges.data(), static_cast<int>(edges.size()), window.data());
  for (size_t i = 0; i < edges.size(); ++i) {
    ASSERT_EQ(window[i], quantiseSample(edges[i])) << edges[i];
  }
}

TEST_F(PartialEstimatorTest, CoarseGridCoversFiftyFiveToEightThousandHertz) {
  EXPECT_EQ(gridFrequency(1024, 0), 55.0);
  EXPECT_LE(gridFrequency(1024, kCoarseCandidates - 1), 8000.0);
  EXPECT_GT(gridFrequency(1024, kCoarseCandidates), 8000.0);
  // Index j and index 4j of the next level name (nearly) the same frequency.
  EXPECT_NEAR(gridFrequency(4096, 4 * 700), gridFrequency(1024, 700), 1e-9);
  // 55 Hz advances 55/44100 of a turn per sample.
  EXPECT_EQ(coarsePhaseStep(0), static_cast<uint32_t>(55.0 * 65536 / 44100 * 65536 + 0.5));
}

TEST_F(PartialEstimatorTest, DigitalSilenceGivesFiftyFiveHertzAndHalfTurn) {
  PartialEstimator estimator(table);
  for (int n : {2940, 2205, 1470, 735}) {
    const std::vector<int32_t> zeros(static_cast<size_t>(n), 0);
    // The literal search, and the short-cut that answers silence without searching.
    for (const PartialEstimate& e :
         {estimator.estimateReference(zeros.data(), n), estimator.estimate(zeros.data(), n)}) {
      EXPECT_EQ(e.level, 0) << n;
      // 55.0 exactly: no negative index was evaluated, or it would have won the tie at 0.
      EXPECT_EQ(e.frequency, 55.0) << n;
      EXPECT_EQ(frequencyTenths(e.frequency), 550) << n;
      EXPECT_EQ(e.phase, 32768) << n;
    }
  }
}

TEST_F(PartialEstimatorTest, FindsA440HzSineInTheLongestWindow) {
  PartialEstimator estimator(table);
  const auto w = sineWindow(2940, 440.0, 1e6, 0.0);
  const PartialEstimate e = estimator.estimate(w.data(), 2940);
  EXPECT_NEAR(e.level, 1e6, 5000);
  EXPECT_NEAR(frequencyTenths(e.frequency), 4400, 1);
  EXPECT_LE(phaseDistance(e.phase, 0), 200);
}

TEST_F(PartialEstimatorTest, FindsA440HzSineInTheShortestWindowAtAnyStartPhase) {
  PartialEstimator estimator(table);
  for (int k = 0; k < 8; ++k) {
    const auto w = sineWindow(735, 440.0, 1e6, k / 8.0);
    const PartialEstimate e = estimator.estimate(w.data(), 735);
    EXPECT_NEAR(e.level, 1e6, 20000) << k;
    EXPECT_NEAR(e.frequency, 440.0, 0.65) << k;
  }
}

TEST_F(PartialEstimatorTest, NeverReturnsAFrequencyAboveEightThousandHertz) {
  PartialEstimator estimator(table);
  for (int n : {2940, 735}) {
    for (double hz : {7999.0, 8000.5, 9000.0}) {
      const auto w = sineWindow(n, hz, 4e6, 0.1);
      const PartialEstimate e = estimator.estimate(w.data(), n);
      EXPECT_LE(e.frequency, 8000.0) << n << " " << hz;
      EXPECT_LE(frequencyTenths(e.frequency), 80000) << n << " " << hz;
    }
  }
}

TEST_F(PartialEstimatorTest, LowestCoarseWinnerKeepsFineSearchAtNonNegativeIndices) {
  // A 45 Hz tone wins at coarse index 0; each fine level then looks at indices 0..4 only,
  // so the result stays between 55 Hz and the frequency of fine index 5460 (4+16+...+4096).
  PartialEstimator estimator(table);
  const auto w = sineWindow(2940, 45.0, 1e6, 0.0);
  std::vector<int16_t> q(2940);
  quantiseWindow(w.data(), 2940, q.data());
  ASSERT_EQ(coarseSearchReference(table, q.data(), 2940), 0);
  const PartialEstimate e = estimator.estimate(w.data(), 2940);
  EXPECT_GE(e.frequency, 55.0);
  EXPECT_LE(e.frequency, gridFrequency(4194304, 5460));
}

TEST_F(PartialEstimatorTest, OddLengthsUseExactlyNSamplesInTheFineSearch) {
  PartialEstimator estimator(table);
  for (int n : {735, 2205}) {
    auto w = sineWindow(n + 1, 1234.5, 2e6, 0.3);
    w[static_cast<size_t>(n)] = 0;
    const PartialEstimate clean = estimator.estimate(w.data(), n);
    w[static_cast<size_t>(n)] = 8000000;  // beyond the window: must not be read
    const PartialEstimate dirty = estimator.estimate(w.data(), n);
    EXPECT_EQ(clean.level, dirty.level) << n;
    EXPECT_EQ(clean.frequency, dirty.frequency) << n;
    EXPECT_EQ(clean.phase, dirty.phase) << n;
    EXPECT_NEAR(clean.frequency, 1234.5, 1.0) << n;
  }
}

TEST_F(PartialEstimatorTest, CoarseProductsRoundTowardMinusInfinity) {
  // With a zero phase step every sample meets entry 0 (sine 0, cosine 32767).
  std::vector<int16_t> minusOne(736, -1);
  const CoarseSums a = coarseSumsReference(table, minusOne.data(), 736, 0);
  EXPECT_EQ(a.a, -736);  // floor(-32767 / 65536) = -1, not 0
  EXPECT_EQ(a.b, 0);
  std::vector<int16_t> fullScale(2940, -32768);
  const CoarseSums b = coarseSumsReference(table, fullScale.data(), 2940, 0);
  EXPECT_EQ(b.a, 2940 * -16384);  // floor(-16383.5)
  EXPECT_EQ(coarseLevel(b, 2940), static_cast<int64_t>(2048.0 * 2940 * 16384 / 2940));
}

}  // namespace
}  // namespace analyser
