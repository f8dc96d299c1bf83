// The fast batched estimator: coarse sums of a batch of windows by a vector kernel over the
// per-length tables, the winner choice from those sums, and the fine search by recurrence
// kernels, re-deciding with the literal sums wherever rounding could change a stored value.
#include "partial_estimator.h"

#include <algorithm>
#include <cmath>

#include "coarse_plan.h"
#include "estimator_detail.h"
#include "estimator_dispatch.h"
#include "kernels/coarse_kernels.h"
#include "kernels/fine_kernels.h"

namespace analyser {

using namespace detail;

namespace {

bool allZero(const int32_t* window, int n) {
  for (int i = 0; i < n; ++i) {
    if (window[i] != 0) return false;
  }
  return true;
}
// modular since C++20

}  // namespace

void coarseWinnersFromSums(const CoarseSums* sums, int count, int candidates, int n, int* winners) {
  // |A|, |B| <= 2944 * 16384 < 2^26, so A^2 + B^2 < 2^53: exact in double, and the coarse
  // level is a non-decreasing function of it. The winner is the first candidate whose level
  // equals that of the greatest energy. Candidates run in the outer loop so that the sums of
  // all windows are read in storage order.
  auto energy = [&](int j, int k) {
    const CoarseSums& c = sums[static_cast<size_t>(j) * static_cast<size_t>(count) + k];
    const double a = c.a;
    const double b = c.b;
    return a * a + b * b;
  };
  double maxEnergy[kCoarseBatchLimit];
  int strongest[kCoarseBatchLimit];
  for (int k = 0; k < count; ++k) {
    maxEnergy[k] = -1.0;
    strongest[k] = 0;
  }
  for (int j = 0; j < candidates; ++j) {
    for (int k = 0; k < count; ++k) {
      const double e = energy(j, k);
      if (e > maxEnergy[k]) {
        maxEnergy[k] = e;
        strongest[k] = j;
      }
    }
  }
  for (int k = 0; k < count; ++k) {
    const int64_t best = coarseLevel(sums[static_cast<size_t>(strongest[k]) * count + k], n);
    // Below this energy the level is certainly smaller (generous margin for rounding).
    const double root = static_cast<double>(best) * n / 2048.0;
    const double threshold = root * root * (1.0 - 1e-9) - 1.0;
    winners[k] = strongest[k];
    for (int j = 0; j < strongest[k]; ++j) {
      if (energy(j, k) >= threshold &&
          coarseLevel(sums[static_cast<size_t>(j) * count + k], n) == best) {
        winners[k] = j;
        break;
      }
    }
  }
}

PartialEstimator::PartialEstimator(const SineCosineTable& table)
    : PartialEstimator(table, std::make_unique<CoarsePlanCache>(table), nullptr) {}

PartialEstimator::PartialEstimator(const SineCosineTable& table, CoarsePlanCache& plans)
    : PartialEstimator(table, nullptr, &plans) {}

PartialEstimator::PartialEstimator(const SineCosineTable& table,
                                   std::unique_ptr<CoarsePlanCache> ownPlans,
                                   CoarsePlanCache* sharedPlans)
    : table_(table),
      ownPlans_(std::move(ownPlans)),
      plans_(sharedPlans != nullptr ? *sharedPlans : *ownPlans_),
      coarsePath_(bestCoarsePath()),
      finePath_(bestFinePath()),
      x_(kMaxFrameLength + 1),
      q_(static_cast<size_t>(kMaxBatch) * (kMaxFrameLength + CoarsePlan::kBlock)),
      sums_(static_cast<size_t>(kMaxBatch) * kCoarseCandidates) {}

PartialEstimator::~PartialEstimator() = default;

void PartialEstimator::setPaths(CoarsePath coarse, FinePath fine) {
  coarsePath_ = coarsePathAvailable(coarse) ? coarse : CoarsePath::Portable;
  finePath_ = finePathAvailable(fine) ? fine : FinePath::Portable;
}

void PartialEstimator::overrideFineKernels(const kernels::FineKernels& fine, double relativeBound) {
  fineOverride_ = fine;
  fineSumRelativeBound_ = relativeBound;
}

PartialEstimate PartialEstimator::estimate(const int32_t* window, int n) {
  PartialEstimate result;
  estimateBatch(&window, 1, n, &result);
  return result;
}

void PartialEstimator::quantiseBatch(const int32_t* const* windows, int count, int n, int padded,
                                     const int16_t** q) {
  for (int w = 0; w < count; ++w) {
    int16_t* out = q_.data() + static_cast<size_t>(w) * static_cast<size_t>(padded);
    const int n2 = quantiseWindow(windows[w], n, out);
    std::fill(out + n2, out + padded, int16_t{0});
    q[w] = out;
  }
}

kernels::PlanView PartialEstimator::planView(int n) {
  if (!plan_ || plan_->frameLength() != n) {
    plan_.reset();
    plan_ = plans_.plan(n);
  }
  return {plan_->row(0), plan_->blockCount(), plan_->candidateCount()};
}

void PartialEstimator::coarseSums(const int32_t* const* windows, int count, int n,
                                  CoarseSums* sums) {
  if (coarsePath_ == CoarsePath::Reference) {
    const int n2 = n + (n % 2);
    for (int w = 0; w < count; ++w) {
      quantiseWindow(windows[w], n, q_.data());
      for (int j = 0; j < kCoarseCandidates; ++j) {
        sums[j * count + w] = coarseSumsReference(table_, q_.data(), n2, coarsePhaseStep(j));
      }
    }
    return;
  }
  const kernels::PlanView view = planView(n);
  const int16_t* q[kMaxBatch];
  quantiseBatch(windows, count, n, plan_->paddedLength(), q);
  coarseKernel(coarsePath_)(view, q, count, sums);
}

void PartialEstimator::estimateBatch(const int32_t* const* windows, int count, int n,
                                     PartialEstimate* results) {
  // Silent windows are answered at once; the others are searched together.
  const int32_t* active[kMaxBatch];
  int activeIndex[kMaxBatch];
  int activeCount = 0;
  for (int w = 0; w < count; ++w) {
    if (allZero(windows[w], n)) {
      results[w] = kSilence;
    } else {
      active[activeCount] = windows[w];
      activeIndex[activeCount++] = w;
    }
  }
  if (activeCount == 0) return;
  int winners[kMaxBatch];
  coarseWinners(active, activeCount, n, winners);
  for (int k = 0; k < activeCount; ++k) {
    results[activeIndex[k]] = fineSearch(active[k], n, winners[k]);
  }
}

void PartialEstimator::coarseWinners(const int32_t* const* windows, int count, int n,
                                     int* winners) {
  coarseSums(windows, count, n, sums_.data());
  coarseWinnersFromSums(sums_.data(), count, kCoarseCandidates, n, winners);
}

namespace {

double fineLevelValue(double xc, double xs, int n) {
  return 2 * std::sqrt(xc * xc + xs * xs) / n;
}

// The lane of the first candidate with the greatest truncated level.
int decideFineLevel(const double* xc, const double* xs, int lanes, int n) {
  int64_t best = -1;
  int winner = 0;
  for (int l = 0; l < lanes; ++l) {
    const int64_t level = fineLevel(xc[l], xs[l], n);
    if (level > best) {
      best = level;
      winner = l;
    }
  }
  return winner;
}

}  // namespace

PartialEstimate PartialEstimator::fineSearch(const int32_t* window, int n, int coarseWinner) {
  double* x = x_.data();
  for (int i = 0; i < n; ++i) x[i] = window[i];
  const kernels::FineKernels fine =
      fineOverride_.rotation != nullptr ? fineOverride_ : fineKernels(finePath_);
  if (fine.rotation == nullptr) return fineSearchReference(x_.data(), n, coarseWinner);

  // Exact in 64 bits (at most 2940 * 2^31); summed in four strands, which vectorises.
  int64_t magnitudes[4] = {};
  for (int i = 0; i + 3 < n; i += 4) {
    for (int k = 0; k < 4; ++k) magnitudes[k] += std::abs(int64_t{window[i + k]});
  }
  for (int i = n - n % 4; i < n; ++i) magnitudes[0] += std::abs(int64_t{window[i]});
  const auto sumOfMagnitudes =
      static_cast<double>(magnitudes[0] + magnitudes[1] + magnitudes[2] + magnitudes[3]);
  // A sum error e moves 2 |X| / n by at most 2 sqrt(2) e / n; the slack covers the rounding of
  // the level's own square root and division.
  const double sumBound = fineSumRelativeBound_ * sumOfMagnitudes + 1e-6;
  const double levelBound = 3.0 * sumBound / n + 1e-6;

  int64_t b = coarseWinner;
  double xcWin = 0.0;
  double xsWin = 0.0;
  int64_t levelWin = 0;
  PartialEstimate result;
  for (int steps : kFineStepsPer128) {
    double frequency[kernels::kFineLanes] = {};
    double delta[kernels::kFineLanes] = {};
    int64_t index[kernels::kFineLanes] = {};
    int lanes = 0;
    for (int64_t j = 4 * b - 4; j <= 4 * b + 4; ++j) {
      if (j < 0) continue;
      const double f = gridFrequency(steps, j);
      if (f > kHighestFrequency) continue;
      frequency[lanes] = f;
      delta[lanes] = kFullTurn * f / kSampleRate;
      index[lanes++] = j;
    }
    double xc[kernels::kFineLanes];
    double xs[kernels::kFineLanes];
    // The candidates of a level lie within a few cents of each other: one kernel serves all.
    const kernels::FineKernelFn kernel =
        delta[0] >= kernels::kGoertzelMinDelta ? fine.goertzel : fine.rotation;
    kernel(x_.data(), n, delta, xc, xs);
    ++fineLevelsSearched_;
    // The fast sums may differ from the literal ones by up to sumBound each, so each lane's
    // truncated level is only known to lie in [floor(v - bound), floor(v + bound)]. Lanes whose
    // highest possible level is below the best certain lowest level cannot win; every other
    // lane whose level is uncertain is summed again literally, after which the decision (first
    // lane with the greatest truncated level) is the literal one. Usually no lane, or only one,
    // needs it.
    int64_t low[kernels::kFineLanes];
    int64_t high[kernels::kFineLanes];
    int64_t bestLow = -1;
    for (int l = 0; l < lanes; ++l) {
      const double value = fineLevelValue(xc[l], xs[l], n);
      low[l] = static_cast<int64_t>(std::max(0.0, std::floor(value - levelBound)));
      high[l] = static_cast<int64_t>(std::floor(value + levelBound));
      bestLow = std::max(bestLow, low[l]);
    }
    bool literal[kernels::kFineLanes] = {};
    bool resummed = false;
    auto sumLiterally = [&](int l) {
      const FineSums exact = fineSumsReference(x_.data(), n, frequency[l]);
      xc[l] = exact.xc;
      xs[l] = exact.xs;
      literal[l] = true;
      resummed = true;
      ++fineLanesResummed_;
    };
    // A silent window sums to exact zeros on every path.
    if (sumOfMagnitudes > 0.0) {
      for (int l = 0; l < lanes; ++l) {
        if (high[l] >= bestLow && low[l] != high[l]) sumLiterally(l);
      }
    }
    int winnerLane = decideFineLevel(xc, xs, lanes, n);
    const bool last = steps == kFineStepsPer128[kFineLevels - 1];
    if (last && !literal[winnerLane] && sumOfMagnitudes > 0.0) {
      // The stored phase must not sit within its bound of a truncation step, nor xc near zero
      // (where the quadrant flips). The angle moves by at most about |error| / |X| radians
      // (65536 / 2 pi phase units).
      const double magnitude = fineLevelValue(xc[winnerLane], xs[winnerLane], n) * n / 2;
      const bool robust = std::abs(xc[winnerLane]) > 2 * sumBound && magnitude > 4 * sumBound &&
                          !nearIntegerStep(unroundedPhase(xc[winnerLane], xs[winnerLane]),
                                           2.0 * sumBound / magnitude * 65536 / kFullTurn + 1e-6);
      if (!robust) sumLiterally(winnerLane);
    }
    if (resummed) ++fineLevelsRedecided_;
    b = index[winnerLane];
    result.frequency = frequency[winnerLane];
    xcWin = xc[winnerLane];
    xsWin = xs[winnerLane];
    levelWin = fineLevel(xcWin, xsWin, n);
  }
  result.level = saturatedLevel(levelWin);
  result.phase = fineLevelPhase(xcWin, xsWin);
  return result;
}

PartialEstimate PartialEstimator::estimateReference(const int32_t* window, int n) {
  for (int i = 0; i < n; ++i) x_[static_cast<size_t>(i)] = window[i];
  quantiseWindow(window, n, q_.data());
  const int coarseWinner = coarseSearchReference(table_, q_.data(), n);
  return fineSearchReference(x_.data(), n, coarseWinner);
}

}  // namespace analyser
