// The fast synthesis against the literal one: the residual it leaves must be the same sample
// for sample, since every later estimate reads it.
#include "fast_synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace analyser {
namespace {

// Residuals of subtractPartial (the literal synthesis, accumulated angle, library sine) and of
// subtractPartialRange over the whole buffer, for one stored partial in frame 1.
int differingSamples(const AnalysisSettings& settings, int32_t level, int32_t frequency,
                     int32_t phase, int slot) {
  // Three frames of the longest length; frame 1's windows lie well inside them.
  const int32_t samples = 3 * 2940;
  static std::vector<int32_t> signal(static_cast<size_t>(samples) + 2 * kMarginSamples, 0);
  static std::vector<int32_t> literal(signal.size());
  static std::vector<int32_t> fast(signal.size());
  std::fill(literal.begin(), literal.end(), 12345);
  std::fill(fast.begin(), fast.end(), 12345);
  WaveSignal wave;
  wave.sampleCount = samples;
  wave.signal = signal.data();

  static AnalyserTables tables;  // all zero but for the one partial set here
  tables.level(1, slot) = level;
  tables.frequency(1, slot) = frequency;
  tables.phase(1, slot) = phase;

  wave.residual = literal.data();
  subtractPartial(wave, settings, tables, 1, slot);
  wave.residual = fast.data();
  subtractPartialRange(wave, settings, tables, 1, slot, 0, wave.bufferLength());

  tables.level(1, slot) = 0;

  int differing = 0;
  for (size_t i = 0; i < literal.size(); ++i) differing += literal[i] != fast[i];
  return differing;
}

TEST(FastSynthesisExactnessTest, ResidualEqualsTheLiteralSynthesisSampleForSample) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int32_t> level(1, 8000000);
  std::uniform_int_distribution<int32_t> frequency(550, 80000);
  std::uniform_int_distribution<int32_t> phase(0, 65535);
  int differing = 0;
  int windows = 0;
  for (int32_t units : {15, 20, 30, 60}) {
    const AnalysisSettings settings{units, frameLengthFor(units), 1, 1};
    for (int k = 0; k < 600; ++k) {
      differing += differingSamples(settings, level(rng), frequency(rng), phase(rng), k % 6);
      ++windows;
    }
    // The extremes: the largest level, the highest frequency, the last phase unit.
    differing += differingSamples(settings, 2147483647, 80000, 65535, 0);
    differing += differingSamples(settings, 2147483647, 550, 1, 3);
    windows += 2;
  }
  EXPECT_EQ(differing, 0) << "over " << windows << " windows";
}

}  // namespace
}  // namespace analyser
