// The partial estimator on arbitrary windows: every coarse path this processor supports must
// give exactly the reference kernel's sums for every candidate (the fast kernels promise
// identical sums), the pruned searches the literal winner, and the estimate must stay within
// its ranges and be the literal estimate.
//
// Input: byte 0 picks the frame length (bits 0-1), mono or stereo working form (bit 2) and one
// or two windows per batch (bit 3); the rest are 16-bit little-endian samples, repeated to
// fill the windows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "coarse_plan.h"
#include "partial_estimator.h"

using namespace analyser;

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "estimator_fuzz: %s\n", what.c_str());
  std::abort();
}

constexpr int kLengths[4] = {2940, 2205, 1470, 735};

// One estimator per frame length, each with its own plan cache: a cache keeps the tables of
// one length only, and rebuilding them on every change of length would dominate the run.
struct Setup {
  SineCosineTable table;
  std::vector<std::unique_ptr<CoarsePlanCache>> plans;
  std::vector<std::unique_ptr<PartialEstimator>> estimators;
  Setup() {
    buildSineCosineTable(table);
    for (int i = 0; i < 4; ++i) {
      plans.push_back(std::make_unique<CoarsePlanCache>(table));
      estimators.push_back(std::make_unique<PartialEstimator>(table, *plans.back()));
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static Setup setup;
  PartialEstimator& estimator = *setup.estimators[data[0] & 3];
  constexpr int kWindowGap = 97;
  const int n = kLengths[data[0] & 3];
  const bool stereo = (data[0] & 4) != 0;
  const int count = 1 + ((data[0] >> 3) & 1);

  const std::size_t pairs = (size - 1) / 2;
  std::vector<int32_t> samples(static_cast<std::size_t>(n + kWindowGap * (count - 1)), 0);
  if (pairs > 0) {
    const auto sampleAt = [&](std::size_t i) {
      const uint8_t* p = data + 1 + 2 * (i % pairs);
      return static_cast<int32_t>(static_cast<int16_t>(p[0] | (p[1] << 8)));
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = stereo ? (sampleAt(2 * i) + sampleAt(2 * i + 1)) * 128 : sampleAt(i) * 256;
    }
  }
  const int32_t* windows[2] = {samples.data(), samples.data() + kWindowGap};

  std::vector<CoarseSums> want(static_cast<std::size_t>(kCoarseCandidates * count));
  std::vector<CoarseSums> got(want.size());
  estimator.setPaths(CoarsePath::Reference, FinePath::Reference);
  estimator.coarseSums(windows, count, n, want.data());
  for (const CoarsePath path :
       {CoarsePath::Portable, CoarsePath::Avx2, CoarsePath::Avx512, CoarsePath::Avx512Vnni}) {
    if (!coarsePathAvailable(path)) continue;
    estimator.setPaths(path, bestFinePath());
    estimator.coarseSums(windows, count, n, got.data());
    for (std::size_t j = 0; j < want.size(); ++j) {
      if (!(got[j] == want[j])) {
        fail(std::string(pathName(path)) + " sums differ at " + std::to_string(j) + ": " +
             std::to_string(got[j].a) + "," + std::to_string(got[j].b) + " instead of " +
             std::to_string(want[j].a) + "," + std::to_string(want[j].b));
      }
    }
  }

  // The pruned searches (bounds, then exact sums of the candidates that could win) must find
  // the literal winner: the first candidate of the greatest level, from the literal sums.
  for (int w = 0; w < count; ++w) {
    int64_t best = -1;
    int literal = 0;
    for (int j = 0; j < kCoarseCandidates; ++j) {
      const int64_t level = coarseLevel(want[static_cast<std::size_t>(j * count + w)], n);
      if (level > best) {
        best = level;
        literal = j;
      }
    }
    for (const CoarsePath path : {CoarsePath::Portable, CoarsePath::Avx512Vnni}) {
      if (!coarsePathAvailable(path)) continue;
      estimator.setPaths(path, bestFinePath());
      int winners[2] = {-1, -1};
      estimator.coarseWinners(windows, count, n, winners);
      if (winners[w] != literal) {
        fail(std::string(pathName(path)) + " pruned winner " + std::to_string(winners[w]) +
             " instead of " + std::to_string(literal));
      }
    }
  }

  estimator.setPaths(bestCoarsePath(), bestFinePath());
  PartialEstimate results[2];
  estimator.estimateBatch(windows, count, n, results);
  for (int w = 0; w < count; ++w) {
    const PartialEstimate& e = results[w];
    if (e.level < 0 || e.phase < 0 || e.phase > 65535 || !(e.frequency >= 55.0) ||
        !(e.frequency <= 8000.0)) {
      fail("estimate out of range: level " + std::to_string(e.level) + ", " +
           std::to_string(e.frequency) + " Hz, phase " + std::to_string(e.phase));
    }
    // And it is the literal estimate, value for value.
    const PartialEstimate literal = estimator.estimateReference(windows[w], n);
    if (e.level != literal.level || e.frequency != literal.frequency ||
        e.phase != literal.phase) {
      fail("estimate " + std::to_string(e.level) + ", " + std::to_string(e.frequency) +
           " Hz, phase " + std::to_string(e.phase) + " instead of the literal " +
           std::to_string(literal.level) + ", " + std::to_string(literal.frequency) +
           " Hz, phase " + std::to_string(literal.phase));
    }
  }
  return 0;
}
