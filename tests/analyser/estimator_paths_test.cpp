// The fast estimator paths against the literal reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "partial_estimator.h"
#include "speech_like_signal.h"

namespace analyser {
namespace {

constexpr int kLengths[] = {2940, 2205, 1470, 735};

const CoarsePath kFastCoarsePaths[] = {CoarsePath::Portable, CoarsePath::Avx2, CoarsePath::Avx512,
                                       CoarsePath::Avx512Vnni, CoarsePath::WasmSimd};

// Windows that stress the coarse sums: full-scale noise, values whose quantised form wraps
// beyond 16 bits, extreme 32-bit values, a loud tone, sparse clicks and near-silence.
std::vector<std::vector<int32_t>> stressWindows(int n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int32_t>> windows;
  auto make = [&](auto generator) {
    std::vector<int32_t> w(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) w[static_cast<size_t>(i)] = generator(i);
    windows.push_back(std::move(w));
  };
  std::uniform_int_distribution<int32_t> fullScale(-8388608, 8388607);
  std::uniform_int_distribution<int32_t> anyValue(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> wrapping(-40000 * 512, 40000 * 512);
  make([&](int) { return fullScale(rng); });
  make([&](int) { return anyValue(rng); });
  make([&](int) { return wrapping(rng); });
  make([&](int i) { return (i % 2 == 0) ? INT32_MAX : INT32_MIN; });
  make([&](int) { return -32768 * 512; });
  make([&](int i) {
    return static_cast<int32_t>(8388607 * std::sin(0.05 * i) + 3000000 * std::sin(0.71 * i));
  });
  make([&](int i) { return i % 97 == 0 ? 5000000 : 0; });
  make([&](int) { return static_cast<int32_t>(rng() % 513) - 256; });
  return windows;
}

TEST(EstimatorPathsTest, FastCoarseSumsEqualTheLiteralSumsForEveryLengthAndBatchSize) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  for (int n : kLengths) {
    const auto windows = stressWindows(n, static_cast<uint32_t>(n));
    std::vector<const int32_t*> pointers;
    // Repeat the windows to fill a whole batch (and a ragged tail of it).
    for (int k = 0; k < PartialEstimator::kMaxBatch; ++k) {
      pointers.push_back(windows[static_cast<size_t>(k) % windows.size()].data());
    }
    const int count = static_cast<int>(windows.size());
    std::vector<CoarseSums> expected(static_cast<size_t>(kCoarseCandidates) * count);
    estimator.setPaths(CoarsePath::Reference, FinePath::Reference);
    estimator.coarseSums(pointers.data(), count, n, expected.data());

    for (CoarsePath path : kFastCoarsePaths) {
      if (!coarsePathAvailable(path)) continue;
      estimator.setPaths(path, FinePath::Reference);
      for (int batch : {1, 3, count, PartialEstimator::kMaxBatch}) {
        std::vector<CoarseSums> sums(static_cast<size_t>(kCoarseCandidates) * batch);
        estimator.coarseSums(pointers.data(), batch, n, sums.data());
        int mismatches = 0;
        for (int j = 0; j < kCoarseCandidates; ++j) {
          for (int w = 0; w < batch; ++w) {
            const CoarseSums want = expected[static_cast<size_t>(j * count + w % count)];
            if (!(sums[static_cast<size_t>(j * batch + w)] == want)) ++mismatches;
          }
        }
        EXPECT_EQ(mismatches, 0) << pathName(path) << " n=" << n << " batch=" << batch;
      }
    }
  }
}

TEST(EstimatorPathsTest, FastPathsFindTheLiteralCoarseWinner) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  const auto speech = speechlike::workingForm(speechlike::generate(44100, 21));
  for (int n : kLengths) {
    auto windows = stressWindows(n, 3u * static_cast<uint32_t>(n));
    // Speech-like windows and a pure tone.
    for (size_t start = 1000; windows.size() < 14; start += 3001) {
      windows.emplace_back(speech.begin() + static_cast<long>(start),
                           speech.begin() + static_cast<long>(start) + n);
    }
    windows.emplace_back(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
      windows.back()[static_cast<size_t>(i)] = static_cast<int32_t>(4e6 * std::sin(0.1 * i));
    }
    std::vector<const int32_t*> pointers;
    std::vector<int> expected;
    std::vector<int16_t> q(static_cast<size_t>(n) + 1);
    for (const auto& w : windows) {
      pointers.push_back(w.data());
      quantiseWindow(w.data(), n, q.data());
      expected.push_back(coarseSearchReference(table, q.data(), n));
    }
    for (CoarsePath path : kFastCoarsePaths) {
      if (!coarsePathAvailable(path)) continue;
      estimator.setPaths(path, FinePath::Reference);
      for (int batch : {1, 8, static_cast<int>(windows.size())}) {
        std::vector<int> winners(windows.size(), -1);
        for (size_t k = 0; k < windows.size(); k += static_cast<size_t>(batch)) {
          const int count = std::min(batch, static_cast<int>(windows.size() - k));
          estimator.coarseWinners(pointers.data() + k, count, n, winners.data() + k);
        }
        EXPECT_EQ(winners, expected) << pathName(path) << " n=" << n << " batch=" << batch;
      }
    }
  }
}

TEST(EstimatorPathsTest, WinnerFromSumsMatchesTheLiteralComparison) {
  SineCosineTable table;
  buildSineCosineTable(table);
  // Random sums, and sums with many equal or nearly equal levels where ties decide; the
  // windows of a batch interleave their sums.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = kLengths[trial % 4];
    const int count = trial % 3 == 0 ? 1 : kCoarseBatchLimit - trial % 7;
    std::vector<CoarseSums> sums(static_cast<size_t>(kCoarseCandidates * count));
    std::vector<int> expected(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
      const bool small = (trial + k) % 2 != 0;
      std::uniform_int_distribution<int32_t> value(small ? -3 : -48000000, small ? 3 : 48000000);
      auto at = [&](int j) -> CoarseSums& { return sums[static_cast<size_t>(j * count + k)]; };
      for (int j = 0; j < kCoarseCandidates; ++j) at(j) = {value(rng), value(rng)};
      if ((trial + k) % 5 == 0) at(500) = at(900) = {value(rng), value(rng)};
      int64_t best = -1;
      for (int j = 0; j < kCoarseCandidates; ++j) {
        const int64_t level = coarseLevel(at(j), n);
        if (level > best) {
          best = level;
          expected[static_cast<size_t>(k)] = j;
        }
      }
    }
    std::vector<int> winners(static_cast<size_t>(count), -1);
    coarseWinnersFromSums(sums.data(), count, kCoarseCandidates, n, winners.data());
    EXPECT_EQ(winners, expected) << trial;
  }
}

TEST(EstimatorPathsTest, FastCoarseWithLiteralFineSearchGivesTheReferenceEstimate) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  for (int n : kLengths) {
    const auto windows = stressWindows(n, 99u + static_cast<uint32_t>(n));
    for (size_t k = 0; k < windows.size(); k += 3) {
      estimator.setPaths(CoarsePath::Reference, FinePath::Reference);
      const PartialEstimate want = estimator.estimateReference(windows[k].data(), n);
      estimator.setPaths(bestCoarsePath(), FinePath::Reference);
      const PartialEstimate got = estimator.estimate(windows[k].data(), n);
      EXPECT_EQ(got.level, want.level) << n << " " << k;
      EXPECT_EQ(got.frequency, want.frequency) << n << " " << k;
      EXPECT_EQ(got.phase, want.phase) << n << " " << k;
    }
  }
}

TEST(EstimatorPathsTest, BatchedEstimatesEqualSingleOnesAndSilenceIsShortCut) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  const int n = 735;
  auto windows = stressWindows(n, 5);
  windows.push_back(std::vector<int32_t>(n, 0));
  std::swap(windows[2], windows.back());  // a silent window in the middle of the batch
  std::vector<const int32_t*> pointers;
  for (const auto& w : windows) pointers.push_back(w.data());
  std::vector<PartialEstimate> batch(windows.size());
  estimator.estimateBatch(pointers.data(), static_cast<int>(windows.size()), n, batch.data());
  for (size_t k = 0; k < windows.size(); ++k) {
    const PartialEstimate single = estimator.estimate(windows[k].data(), n);
    EXPECT_EQ(batch[k].level, single.level) << k;
    EXPECT_EQ(batch[k].frequency, single.frequency) << k;
    EXPECT_EQ(batch[k].phase, single.phase) << k;
  }
  EXPECT_EQ(batch[2].level, 0);
  EXPECT_EQ(batch[2].frequency, 55.0);
  EXPECT_EQ(batch[2].phase, 32768);
}

}  // namespace
}  // namespace analyser
