// The pruned coarse search against the literal one where pruning is hardest: two partials of
// nearly or exactly equal strength, at full scale and beyond (quantised samples that wrap).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "estimator_dispatch.h"
#include "kernels/coarse_kernels.h"
#include "partial_estimator.h"

namespace analyser {
namespace {

TEST(CoarsePruningTest, NearTiesKeepTheLiteralWinner) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  for (int n : {2940, 2205, 1470, 735}) {
    std::vector<std::vector<int32_t>> windows;
    std::vector<int16_t> q(static_cast<size_t>(n) + 1);
    // Two tones on coarse grid frequencies 300 and 620; the second one's amplitude is bisected
    // until their literal coarse levels meet, and the windows on both sides of that point (and
    // at it) are kept. 8.4e6 is 16-bit full scale in working form; at 2.4e7 the quantised
    // samples wrap.
    for (double peak : {8.388e6, 2.4e7}) {
      for (double phase = 0.0; phase < 6; phase += 0.5) {
        const double w1 = kFullTurn * gridFrequency(1024, 300) / kSampleRate;
        const double w2 = kFullTurn * gridFrequency(1024, 620) / kSampleRate;
        auto window = [&](double ratio) {
          std::vector<int32_t> x(static_cast<size_t>(n));
          for (int i = 0; i < n; ++i) {
            x[static_cast<size_t>(i)] = static_cast<int32_t>(
                peak / 2 * std::sin(w1 * i + 0.3) + peak / 2 * ratio * std::sin(w2 * i + phase));
          }
          return x;
        };
        auto levelDifference = [&](double ratio) {
          const auto x = window(ratio);
          quantiseWindow(x.data(), n, q.data());
          const int n2 = n + n % 2;
          return coarseLevel(coarseSumsReference(table, q.data(), n2, coarsePhaseStep(620)), n) -
                 coarseLevel(coarseSumsReference(table, q.data(), n2, coarsePhaseStep(300)), n);
        };
        double low = 0.5;
        double high = 2.0;
        for (int step = 0; step < 40; ++step) {
          const double mid = (low + high) / 2;
          (levelDifference(mid) < 0 ? low : high) = mid;
        }
        for (double ratio : {low, (low + high) / 2, high, high * (1 + 1e-6)}) {
          windows.push_back(window(ratio));
        }
      }
    }
    std::vector<const int32_t*> pointers;
    std::vector<int> expected;
    for (const auto& w : windows) {
      pointers.push_back(w.data());
      quantiseWindow(w.data(), n, q.data());
      expected.push_back(coarseSearchReference(table, q.data(), n));
    }
    for (CoarsePath path : {CoarsePath::Portable, CoarsePath::Avx512Vnni, CoarsePath::WasmSimd}) {
      if (!coarsePathAvailable(path)) continue;
      estimator.setPaths(path, FinePath::Reference);
      const int64_t keptBefore = estimator.coarseCandidatesKept();
      const int64_t prunedBefore = estimator.coarseWindowsPruned();
      std::vector<int> winners(windows.size(), -1);
      for (size_t k = 0; k < windows.size(); k += kCoarseBatchLimit) {
        const int count = static_cast<int>(std::min<size_t>(kCoarseBatchLimit, windows.size() - k));
        estimator.coarseWinners(pointers.data() + k, count, n, winners.data() + k);
      }
      EXPECT_EQ(winners, expected) << pathName(path) << " n=" << n;
      // Pruning ran on every window, left both tones to the exact sums, and cut the rest.
      const int64_t windowsPruned = estimator.coarseWindowsPruned() - prunedBefore;
      const int64_t kept = estimator.coarseCandidatesKept() - keptBefore;
      EXPECT_EQ(windowsPruned, static_cast<int64_t>(windows.size()));
      EXPECT_GE(kept, 2 * windowsPruned);
      EXPECT_LT(kept, windowsPruned * kCoarseCandidates / 4);
    }
  }
}

// Every candidate's literal sums lie inside both intervals the pruned search derives, for
// windows that push the terms of the bound: full-scale and wrapping noise, extreme values, and
// square waves in step with one candidate's table entries, whose remainders after rounding to
// 8 bits are all the largest possible and of one sign with the entries.
TEST(CoarsePruningTest, LiteralSumsLieInsideTheBounds) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator estimator(table);
  for (int n : {735, 2205}) {
    std::mt19937 rng(static_cast<uint32_t>(n));
    std::uniform_int_distribution<int32_t> fullScale(-8388608, 8388607);
    std::uniform_int_distribution<int32_t> wrapping(-40000 * 512, 40000 * 512);
    std::vector<std::vector<int32_t>> windows(6, std::vector<int32_t>(static_cast<size_t>(n)));
    for (int i = 0; i < n; ++i) {
      const uint32_t k = static_cast<uint32_t>(i) * coarsePhaseStep(500) >> 16;
      const int e = table.cosine(k);
      const int residual = e - 257 * static_cast<int>(std::lround(e / 257.0));
      windows[0][static_cast<size_t>(i)] = fullScale(rng);
      windows[1][static_cast<size_t>(i)] = wrapping(rng);
      windows[2][static_cast<size_t>(i)] = i % 2 == 0 ? INT32_MAX : INT32_MIN;
      // One sample of 32000 sets the shift to 8; the others leave remainders of +-127.
      windows[3][static_cast<size_t>(i)] = (i == 0 ? 32000 : (e >= 0 ? 1 : -1) * 10367) * 512;
      windows[4][static_cast<size_t>(i)] = (residual >= 0 ? 32767 : -32767) * 512;
      // Full scale only where the entry and its remainder are both positive: the rounded
      // samples are taken down from 128 to 127, and their remainders exceed 8 bits.
      windows[5][static_cast<size_t>(i)] = e > 0 && residual > 0 ? 32767 * 512 : 0;
    }
    std::vector<int16_t> q(static_cast<size_t>(n) + 1);
    double largest[2] = {};
    for (const auto& w : windows) {
      quantiseWindow(w.data(), n, q.data());
      for (int j = 0; j < kCoarseCandidates; ++j) {
        const CoarseSums exact =
            coarseSumsReference(table, q.data(), n + n % 2, coarsePhaseStep(j));
        PartialEstimator::CoarseSumInterval bounds[2];
        estimator.coarseSumIntervals(w.data(), n, j, &bounds[0], &bounds[1]);
        for (int k = 0; k < 2; ++k) {
          const double off = std::max(std::abs(exact.a - bounds[k].centreA),
                                      std::abs(exact.b - bounds[k].centreB));
          ASSERT_LE(off, bounds[k].radius) << "n=" << n << " j=" << j << " bound " << k;
          largest[k] = std::max(largest[k], off / bounds[k].radius);
        }
      }
    }
    std::printf("n=%d: sums reach %.2f of the first bound's radius, %.2f of the refined one\n", n,
                largest[0], largest[1]);
  }
}

// The vector split of samples into 8-bit parts against the portable one, byte for byte, at
// every shift and at the extremes of each (rounded values of 128 taken down, -32768).
TEST(CoarsePruningTest, VectorByteSplitMatchesThePortableOne) {
  const kernels::PruningKernels vector = kernels::pruningKernelsAvx512Vnni();
  if (vector.boundBytes == nullptr || !cpuFeatures().avx512vnni) {
    GTEST_SKIP() << "no AVX-512 VNNI";
  }
  const kernels::PruningKernels portable = kernels::pruningKernelsPortable();
  constexpr int kPadded = 96;
  std::mt19937 rng(7);
  for (int shift = 0; shift <= 8; ++shift) {
    const int limit = shift == 0 ? 128 : std::min(128 << shift, 32768);
    std::uniform_int_distribution<int> value(-limit, std::min(limit, 32767));
    std::vector<int16_t> q(kPadded);
    for (int i = 0; i < kPadded; ++i) {
      q[static_cast<size_t>(i)] =
          static_cast<int16_t>(i < 4 ? (i % 2 == 0 ? -limit : std::min(limit, 32767)) : value(rng));
    }
    std::vector<uint8_t> bytes[2] = {std::vector<uint8_t>(2 * 3 * 64 * 2),
                                     std::vector<uint8_t>(2 * 3 * 64 * 2)};
    kernels::BoundBytesSums sums[2];
    int k = 0;
    for (const kernels::PruningKernels* set : {&portable, &vector}) {
      uint8_t* out = bytes[k].data();
      sums[k] = set->boundBytes(q.data(), kPadded, shift, out, 128, out + 6 * 64);
      ++k;
    }
    EXPECT_EQ(bytes[0], bytes[1]) << "shift " << shift;
    EXPECT_EQ(sums[0].low, sums[1].low) << "shift " << shift;
    EXPECT_EQ(sums[0].magnitude, sums[1].magnitude) << "shift " << shift;
    EXPECT_EQ(sums[0].excess, sums[1].excess) << "shift " << shift;
    EXPECT_EQ(sums[0].nonZero, sums[1].nonZero) << "shift " << shift;
  }
}

}  // namespace
}  // namespace analyser
