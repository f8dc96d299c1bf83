// The fast batched estimator: coarse sums of a batch of windows by a vector kernel over the
// per-length tables, the winner choice from those sums, and the fine search by recurrence
// kernels, re-deciding with the literal sums wherever rounding could change a stored value.
#include "partial_estimator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

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
      sums_(static_cast<size_t>(kMaxBatch) * kCoarseCandidates),
      scratch_(std::max<size_t>(
          static_cast<size_t>(kernels::kFineBatchWindows) * kMaxFrameLength,
          (static_cast<size_t>(kMaxBatch) * 4 * (kMaxFrameLength + CoarsePlan::kBlock) + 7) / 8)),
      dots_(static_cast<size_t>(2 * kMaxBatch) * (2 * kCoarseCandidates + 1)),
      upper_(kCoarseCandidates),
      kept_(static_cast<size_t>(kMaxBatch) * (kCoarseCandidates + 1)),
      keptMask_(kCoarseCandidates) {}

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

const CoarsePlan& PartialEstimator::planFor(int n) {
  if (!plan_ || plan_->frameLength() != n) {
    plan_.reset();
    plan_ = plans_.plan(n);
  }
  return *plan_;
}

kernels::PlanView PartialEstimator::planView(int n) {
  const CoarsePlan& plan = planFor(n);
  return {plan.allRows(), plan.blockCount(), plan.candidateCount()};
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
  const kernels::FineKernels fine = activeFineKernels();
  if (fine.batchReinsch != nullptr && fine.batchGoertzel != nullptr && activeCount > 1) {
    PartialEstimate found[kMaxBatch];
    fineSearchBatch(active, activeCount, n, winners, found);
    for (int k = 0; k < activeCount; ++k) results[activeIndex[k]] = found[k];
    return;
  }
  for (int k = 0; k < activeCount; ++k) {
    results[activeIndex[k]] = fineSearch(active[k], n, winners[k]);
  }
}

void PartialEstimator::coarseWinners(const int32_t* const* windows, int count, int n,
                                     int* winners) {
  if (pruning_ && coarsePath_ != CoarsePath::Reference &&
      pruningKernels(coarsePath_).dots != nullptr) {
    prunedWinners(windows, count, n, winners);
    return;
  }
  coarseSums(windows, count, n, sums_.data());
  coarseWinnersFromSums(sums_.data(), count, kCoarseCandidates, n, winners);
}

namespace {

// One window's samples in 8 bits for the bound kernels: h_i = round(q_i / 2^shift), taken down
// to 127 where it would be 128, in [-128, 127] and stored as u_i = h_i + 128 in the kernels'
// layout, with the sums that bound what the rounding leaves out; and for shifts up to 8 the
// remainders l_i = q_i - 2^shift h_i, stored as l'_i + 128 with l'_i = min(l_i, 127) (l_i is
// at least -128; only samples whose h_i was taken down can have more than 127).
struct BoundWindow {
  int shift = 0;
  int64_t lowSum = 0;        // L = sum |q_i - 2^shift h_i|
  int64_t magnitudeSum = 0;  // M = sum |q_i|
  int64_t excessSum = 0;     // E = sum (l_i - l'_i)
  int nonZero = 0;           // samples with q_i != 0 (the others' products are exactly 0)
};

// The smallest shift that brings every rounded sample into [-128, 128] (8 always does:
// (32767 + 128) >> 8 = 128); -1 when every sample is 0. A rounded 128 is stored as 127:
// full-scale samples then need no larger shift, which would double every remainder.
int boundShift(const int16_t* q, int padded) {
  int lowest = 0;
  int highest = 0;
  for (int i = 0; i < padded; ++i) {
    lowest = std::min<int>(lowest, q[i]);
    highest = std::max<int>(highest, q[i]);
  }
  if (lowest == 0 && highest == 0) return -1;
  int shift = 0;
  auto rounded = [&](int v) { return shift == 0 ? v : (v + (1 << (shift - 1))) >> shift; };
  while (rounded(highest) > 128 || rounded(lowest) < -128) ++shift;
  return shift;
}

// u receives block b at u + b * blockStride; low8 its blocks one after the other.
BoundWindow prepareBoundWindow(const kernels::PruningKernels& pruning, const int16_t* q, int padded,
                               int shift, uint8_t* u, int blockStride, uint8_t* low8) {
  BoundWindow b;
  b.shift = shift;
  const kernels::BoundBytesSums sums = pruning.boundBytes(q, padded, shift, u, blockStride, low8);
  b.lowSum = sums.low;
  b.magnitudeSum = sums.magnitude;
  b.excessSum = sums.excess;
  b.nonZero = sums.nonZero;
  return b;
}

// The scales and radii of the two bounds of a window (see prunedWinners).
struct BoundTerms {
  double scale = 0.0;   // P = (dot - 128 sum t) * scale - centre
  double centre = 0.0;  // Z / 2
  double radius = 0.0;  // r
  bool refinable = false;
  double fineRadius = 0.0;  // r'
};

BoundTerms boundTerms(const BoundWindow& b) {
  BoundTerms t;
  t.scale = std::ldexp(static_cast<double>(CoarsePlan::kBoundScale), b.shift) / 65536;
  t.centre = b.nonZero / 2.0;
  t.radius =
      (static_cast<double>(CoarsePlan::kBoundScale) * 127 * static_cast<double>(b.lowSum) +
       static_cast<double>(CoarsePlan::kBoundResidual) * static_cast<double>(b.magnitudeSum)) /
          65536 +
      t.centre;
  t.refinable = b.shift >= 1 && b.shift <= 8;
  t.fineRadius =
      (static_cast<double>(CoarsePlan::kBoundScale) * 127 * static_cast<double>(b.excessSum) +
       static_cast<double>(CoarsePlan::kBoundResidual) * static_cast<double>(b.magnitudeSum)) /
          65536 +
      t.centre;
  return t;
}

// P' from the dots of the rounded samples and of their remainders with one row's entries.
double refinedCentre(int32_t dot, int32_t lowDot, int32_t columnSum, int shift, double centre) {
  return ((dot - 128.0 * columnSum) * (1 << shift) + (lowDot - 128.0 * columnSum)) *
             (CoarsePlan::kBoundScale / 65536.0) -
         centre;
}

}  // namespace

void PartialEstimator::coarseSumIntervals(const int32_t* window, int n, int j,
                                          CoarseSumInterval* first, CoarseSumInterval* refined) {
  planFor(n);
  const int padded = plan_->paddedLength();
  const int16_t* q[1];
  quantiseBatch(&window, 1, n, padded, q);
  const kernels::PruningKernels portable = kernels::pruningKernelsPortable();
  const BoundWindow b =
      prepareBoundWindow(portable, q[0], padded, std::max(boundShift(q[0], padded), 0), bytes(), 64,
                         bytes() + 2 * padded);
  const BoundTerms t = boundTerms(b);
  const kernels::BoundPlanView boundView{plan_->boundRow(0), plan_->boundColumnSums(),
                                         plan_->blockCount(), plan_->candidateCount()};
  int32_t dot[2];
  int32_t lowDot[2];
  const uint8_t* high = bytes();
  const uint8_t* low = bytes() + 2 * padded;
  portable.windowDots(boundView, j, &high, 1, &dot[0], &dot[1]);
  portable.windowDots(boundView, j, &low, 1, &lowDot[0], &lowDot[1]);
  const int32_t* columns = plan_->boundColumnSums() + 2 * j;
  *first = {(dot[0] - 128.0 * columns[0]) * t.scale - t.centre,
            (dot[1] - 128.0 * columns[1]) * t.scale - t.centre, t.radius};
  *refined = *first;
  if (t.refinable) {
    *refined = {refinedCentre(dot[0], lowDot[0], columns[0], b.shift, t.centre),
                refinedCentre(dot[1], lowDot[1], columns[1], b.shift, t.centre), t.fineRadius};
  }
}

void PartialEstimator::prunedWinners(const int32_t* const* windows, int count, int n,
                                     int* winners) {
  const kernels::PruningKernels pruning = pruningKernels(coarsePath_);
  planFor(n);
  const int padded = plan_->paddedLength();
  const int candidates = plan_->candidateCount();
  const int16_t* q[kMaxBatch];
  quantiseBatch(windows, count, n, padded, q);
  // Silent windows (every q 0) are decided at once: all sums and levels are 0, the first
  // wins. Quiet ones, whose quantised samples all lie within +-128 (shift 0), go straight to
  // the exact kernel below: there the truncation of every product outweighs the signal, and
  // the bounds would leave nearly all candidates (see kMostKept).
  int fallback[kMaxBatch];
  int fallbackCount = 0;
  int active[kMaxBatch];  // the windows that are bounded, in batch order
  int shifts[kMaxBatch];
  int activeCount = 0;
  for (int w = 0; w < count; ++w) {
    const int shift = boundShift(q[w], padded);
    if (shift < 0) {
      winners[w] = 0;
      ++coarseWindowsPruned_;
    } else if (shift == 0) {
      fallback[fallbackCount++] = w;
    } else {
      shifts[activeCount] = shift;
      active[activeCount++] = w;
    }
  }
  BoundWindow bounds[kMaxBatch];
  // The bounded windows' rounded samples with their blocks interleaved, then each one's
  // remainders.
  uint8_t* u = bytes();
  const uint8_t* low8[kMaxBatch];
  for (int k = 0; k < activeCount; ++k) {
    uint8_t* low = bytes() + static_cast<size_t>(activeCount + k) * static_cast<size_t>(2 * padded);
    bounds[k] = prepareBoundWindow(pruning, q[active[k]], padded, shifts[k], u + 64 * k,
                                   64 * activeCount, low);
    low8[k] = low;
  }
  const kernels::BoundPlanView boundView{plan_->boundRow(0), plan_->boundColumnSums(),
                                         plan_->blockCount(), candidates};
  if (activeCount > 0) pruning.dots(boundView, u, activeCount, dots_.data());

  // Why a candidate left out cannot be the literal winner. For one window (B as A, with the
  // sines), write every table entry e = 257 t + d with t its 8-bit entry and |d| <= 128
  // (CoarsePlan), and every quantised sample q = 2^s h + l with h the rounded sample of
  // prepareBoundWindow (any split of q would do here). Each literal term is floor(q e / 65536) = q
  // e / 65536 - f with 0 <= f < 1, and f = 0 where q = 0, so with Z the number of non-zero samples
  //   A = (2^s 257 sum h t + 257 sum l t + sum q d) / 65536 - F,   0 <= F <= Z,
  // and |257 sum l t + sum q d| <= 257 * 127 * L + 128 * M (L = sum |l|, M = sum |q|). The
  // kernel's dot is exact, and sum h t = dot(u, t) - 128 sum t. So A lies within
  //   r = (257 * 127 * L + 128 * M) / 65536 + Z / 2   of   P = 2^s 257 sum h t / 65536 - Z / 2.
  // The literal sums never wrap: |floor(q e / 65536)| <= 16384 for 16-bit q and |e| <= 32767,
  // so |A| <= 2940 * 16384 < 2^31, and A is that true integer. Then sqrt(A^2 + B^2) lies in
  // [sqrt(lo_A^2 + lo_B^2), sqrt(hi_A^2 + hi_B^2)], hi = |P| + r, lo = max(|P| - r, 0). The
  // candidate of the greatest lower bound has a literal level of at least
  // LB = trunc(2048 sqrt(lower) / N) (taken a little low); a candidate whose upper bound gives
  // a level below LB has a literal level below LB and can neither win nor tie.
  // For shifts 1 to 8 the candidates left are bounded again with sum l' t computed exactly too
  // (l' + 128 fits 8 bits), where l' = l but where l > 127: with E = sum (l - l'),
  // |257 sum (l - l') t| <= 257 * 127 * E, so A lies within
  // r' = (257 * 127 * E + 128 * M) / 65536 + Z / 2 of P' = 257 (2^s sum h t + sum l' t) / 65536
  // - Z / 2 (E is 0 but for a few full-scale samples). LB and the test are repeated with this
  // interval (a larger LB only prunes more). Every remaining
  // candidate is summed exactly, and the first of the greatest exact level among them, in
  // index order, is the literal winner. The factors 1 -+ 1e-9 cover the rounding of these
  // double computations (some 1e-16 relative) many times over; P, r and the squares' inputs
  // are exact in double (below 2^53 with at most 17 fractional bits).
  // Windows whose bounds leave more candidates than this have all their candidates summed
  // exactly by the exact kernel over the 16-bit rows, together with the quiet windows: cheaper
  // there than one look-up per candidate.
  constexpr int kMostKept = 300;
  // First the bounds of every bounded window; then the remainders' dots of the candidates each
  // keeps, taken candidate by candidate for all the windows that keep it, so that each row is
  // read from memory once per batch and not once per window; then each window's refined
  // bounds, exact sums and winner. Bounded window k (batch window active[k]) has its dots at
  // position k; its kept candidates, and their remainders' dots, follow those of window k - 1
  // (so that only what is kept is ever written).
  BoundTerms terms[kMaxBatch];
  int keptCount[kMaxBatch];
  int keptAt[kMaxBatch];  // where window k's kept candidates start in kept_
  int64_t lowestWinningLevel[kMaxBatch];
  static_assert(kMaxBatch <= 32, "one bit per window of a batch");
  uint32_t* keptBy = keptMask_.data();  // per candidate: bit k for each window keeping it
  std::fill(keptBy, keptBy + candidates, uint32_t{0});
  bool refining = false;
  for (int k = 0; k < activeCount; ++k) {
    const BoundTerms& t = terms[k] = boundTerms(bounds[k]);
    const int32_t* dotA = dots_.data() + static_cast<size_t>(2 * k) * candidates;
    const int32_t* dotB = dotA + candidates;
    const double bestLower = pruning.bounds(dotA, dotB, plan_->boundColumnSums(), candidates,
                                            t.scale, t.centre, t.radius, upper_.data());
    lowestWinningLevel[k] = static_cast<int64_t>(2048 * std::sqrt(bestLower) * (1 - 1e-9) / n);
    const double root = static_cast<double>(lowestWinningLevel[k]) * n / 2048;
    const double threshold = root * root * (1 - 1e-9);
    keptAt[k] = k == 0 ? 0 : keptAt[k - 1] + keptCount[k - 1] + 1;  // keep may write one more
    int* kept = kept_.data() + keptAt[k];
    keptCount[k] = pruning.keep(upper_.data(), candidates, threshold, kept);
    if (t.refinable && keptCount[k] > 1) {
      for (int i = 0; i < keptCount[k]; ++i) keptBy[kept[i]] |= 1u << k;
      refining = true;
    }
  }
  // The remainders' dots, as (cosine, sine) pairs in the order of each window's kept list.
  int32_t* lowPairs = dots_.data() + static_cast<size_t>(2 * kMaxBatch) * kCoarseCandidates;
  if (refining) {
    int next[kMaxBatch] = {};  // per window, the kept entry the next candidate it keeps is
    for (int j = 0; j < candidates; ++j) {
      uint32_t mask = keptBy[j];
      if (mask == 0) continue;
      const uint8_t* windowBytes[kMaxBatch];
      int32_t a[kMaxBatch];
      int32_t b[kMaxBatch];
      int members[kMaxBatch];
      int memberCount = 0;
      for (; mask != 0; mask &= mask - 1) {
        const int k = std::countr_zero(mask);
        members[memberCount] = k;
        windowBytes[memberCount++] = low8[k];
      }
      pruning.windowDots(boundView, j, windowBytes, memberCount, a, b);
      for (int i = 0; i < memberCount; ++i) {
        const int k = members[i];
        int32_t* pair = lowPairs + 2 * static_cast<size_t>(keptAt[k] + next[k]++);
        pair[0] = a[i];
        pair[1] = b[i];
      }
    }
  }
  for (int k = 0; k < activeCount; ++k) {
    const int w = active[k];
    const BoundWindow& b = bounds[k];
    const BoundTerms& t = terms[k];
    int* kept = kept_.data() + keptAt[k];
    if (t.refinable && keptCount[k] > 1) {
      const int32_t* dotA = dots_.data() + static_cast<size_t>(2 * k) * candidates;
      const int32_t* dotB = dotA + candidates;
      const int32_t* low = lowPairs + 2 * static_cast<size_t>(keptAt[k]);
      const int32_t* columns = plan_->boundColumnSums();
      double refinedLower = 0.0;
      for (int i = 0; i < keptCount[k]; ++i) {
        const int j = kept[i];
        const double pa =
            std::abs(refinedCentre(dotA[j], low[2 * i], columns[2 * j], b.shift, t.centre));
        const double pb =
            std::abs(refinedCentre(dotB[j], low[2 * i + 1], columns[2 * j + 1], b.shift, t.centre));
        const double la = std::max(pa - t.fineRadius, 0.0);
        const double lb = std::max(pb - t.fineRadius, 0.0);
        refinedLower = std::max(refinedLower, la * la + lb * lb);
        upper_[static_cast<size_t>(i)] =
            (pa + t.fineRadius) * (pa + t.fineRadius) + (pb + t.fineRadius) * (pb + t.fineRadius);
      }
      const auto refinedLevel =
          std::max(lowestWinningLevel[k],
                   static_cast<int64_t>(2048 * std::sqrt(refinedLower) * (1 - 1e-9) / n));
      const double refinedRoot = static_cast<double>(refinedLevel) * n / 2048;
      const double refinedThreshold = refinedRoot * refinedRoot * (1 - 1e-9);
      int left = 0;
      for (int i = 0; i < keptCount[k]; ++i) {
        if (upper_[static_cast<size_t>(i)] >= refinedThreshold) kept[left++] = kept[i];
      }
      keptCount[k] = left;
    }
    if (keptCount[k] > kMostKept) {  // searched in full below, with the other such windows
      fallback[fallbackCount++] = w;
      continue;
    }
    CoarseSums* exact = sums_.data();
    for (int i = 0; i < keptCount[k]; ++i) plan_->row(kept[i]);
    pruning.planRows({plan_->row(0), plan_->blockCount(), candidates}, q[w], kept, keptCount[k],
                     exact);
    int64_t best = -1;
    winners[w] = 0;
    for (int i = 0; i < keptCount[k]; ++i) {
      const int64_t level = coarseLevel(exact[i], n);
      if (level > best) {
        best = level;
        winners[w] = kept[i];
      }
    }
    coarseCandidatesKept_ += keptCount[k];
    ++coarseWindowsPruned_;
  }
  if (fallbackCount > 0) {
    const int16_t* fallbackQ[kMaxBatch];
    for (int k = 0; k < fallbackCount; ++k) fallbackQ[k] = q[fallback[k]];
    coarseKernel(coarsePath_)(planView(n), fallbackQ, fallbackCount, sums_.data());
    int fallbackWinners[kMaxBatch];
    coarseWinnersFromSums(sums_.data(), fallbackCount, candidates, n, fallbackWinners);
    for (int k = 0; k < fallbackCount; ++k) winners[fallback[k]] = fallbackWinners[k];
    coarseCandidatesKept_ += static_cast<int64_t>(fallbackCount) * candidates;
    coarseWindowsPruned_ += fallbackCount;
  }
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

// The candidates of one fine level around the previous level's winner b: grid indices
// 4b - 4 .. 4b + 4 that are not negative and lie at or below 8000 Hz.
struct detail::FineLevel {
  double frequency[kernels::kFineLanes] = {};
  double delta[kernels::kFineLanes] = {};
  int64_t index[kernels::kFineLanes] = {};
  int lanes = 0;
  double xc[kernels::kFineLanes] = {};
  double xs[kernels::kFineLanes] = {};
};

namespace {

void fineCandidates(int steps, int64_t b, FineLevel& level) {
  level.lanes = 0;
  for (int64_t j = 4 * b - 4; j <= 4 * b + 4; ++j) {
    if (j < 0) continue;
    const double f = gridFrequency(steps, j);
    if (f > kHighestFrequency) continue;
    level.frequency[level.lanes] = f;
    level.delta[level.lanes] = kFullTurn * f / kSampleRate;
    level.index[level.lanes++] = j;
  }
}

}  // namespace

FineSums detail::anchoredFineSums(const double* x, int n, double delta) {
  constexpr int kSpan = 32;
  const double cd = std::cos(delta);
  const double sd = std::sin(delta);
  double xc = 0.0;
  double xs = 0.0;
  for (int a = 0; a < n; a += kSpan) {
    // The anchor's angle a delta is rounded; the fused multiply-add gives exactly what the
    // rounding left out (r, below 2^-53 a delta), and a first-order step adds it back
    // (r^2 / 2 is far below the last bit).
    const double t = a * delta;
    const double r = std::fma(static_cast<double>(a), delta, -t);
    const double ct = std::cos(t);
    const double st = std::sin(t);
    double c = ct - st * r;
    double s = st + ct * r;
    const int end = std::min(a + kSpan, n);
    for (int i = a; i < end; ++i) {
      xc += x[i] * c;
      xs -= x[i] * s;
      const double next = c * cd - s * sd;
      s = s * cd + c * sd;
      c = next;
    }
  }
  return {xc, xs};
}

double detail::anchoredSumBound(int n) {
  // In units of 2^-53 (u), with the library's sines and cosines taken within 4 u: an anchor is
  // within 4 u + 2 u (the correction's rounding) of the true cosine and sine; each rotation
  // adds at most 16 u (the rotation's own 8 u, and its two products and sum), 31 times, so
  // every value lies within 502 u. The n products and additions of each sum add at most
  // (n + 1) u of sum |x|.
  return std::ldexp(static_cast<double>(n) + 503.0, -53);
}

PartialEstimator::FineBounds PartialEstimator::fineBounds(const int32_t* window, int n) const {
  // Exact in 64 bits (at most 2940 * 2^31); summed in four strands, which vectorises.
  int64_t magnitudes[4] = {};
  for (int i = 0; i + 3 < n; i += 4) {
    for (int k = 0; k < 4; ++k) magnitudes[k] += std::abs(int64_t{window[i + k]});
  }
  for (int i = n - n % 4; i < n; ++i) magnitudes[0] += std::abs(int64_t{window[i]});
  // The literal search's angle is accumulated, theta_i = fl(theta_(i-1) + delta), while the
  // fast kernels turn by exactly i delta. Each addition is off by at most 2^-53 of its result,
  // at most m delta after m steps, so |theta_i - i delta| <= 2^-53 delta i (i + 1) / 2, and
  // each literal sum differs from the sum at i delta by at most 2^-53 delta times
  // sum |x_i| i (i + 1) / 2 <= sum |x_i| (n - 1) n / 2 (the rounding within a binade repeats,
  // so the drift grows steadily: at 2940 samples near 8 kHz it reaches 2e-10 radians).
  FineBounds bounds;
  bounds.sumOfMagnitudes =
      static_cast<double>(magnitudes[0] + magnitudes[1] + magnitudes[2] + magnitudes[3]);
  bounds.sum = fineSumRelativeBound_ * bounds.sumOfMagnitudes + 1e-6;
  // The factor over 2^-53 covers the rounding of this product.
  bounds.driftPerDelta =
      std::ldexp(1.0 + 1e-9, -53) * bounds.sumOfMagnitudes * (static_cast<double>(n - 1) * n / 2);
  return bounds;
}

double PartialEstimator::weightedDriftPerDelta(const int32_t* window, int n) {
  // 2^-53 sum |x_i| i (i + 1) / 2 (see fineBounds), in four strands; the factor covers the
  // rounding of the sum.
  double weighted[4] = {};
  for (int i = 0; i + 3 < n; i += 4) {
    for (int k = 0; k < 4; ++k) {
      const double at = i + k;
      weighted[k] += std::abs(static_cast<double>(window[i + k])) * (at * (at + 1) / 2);
    }
  }
  for (int i = n - n % 4; i < n; ++i) {
    const double at = i;
    weighted[0] += std::abs(static_cast<double>(window[i])) * (at * (at + 1) / 2);
  }
  return std::ldexp(1.0 + 1e-9, -53) * (weighted[0] + weighted[1] + weighted[2] + weighted[3]);
}

int PartialEstimator::decideFine(FineLevel& level, const int32_t* window, int n, FineBounds& bounds,
                                 bool last, bool windowInX) {
  ++fineLevelsSearched_;
  // The fast sums may differ from the literal ones by up to sumBound each, so each lane's
  // truncated level is only known to lie in [floor(v - bound), floor(v + bound)]. Lanes whose
  // highest possible level is below the best certain lowest level cannot win; every other
  // lane whose level is uncertain is summed again literally, after which the decision (first
  // lane with the greatest truncated level) is the literal one. Usually no lane, or only one,
  // needs it.
  const int lanes = level.lanes;
  double largestDelta = 0.0;
  for (int l = 0; l < lanes; ++l) largestDelta = std::max(largestDelta, level.delta[l]);
  // The kernels' own error and the literal angle's drift. A sum error e moves 2 |X| / n by at
  // most 2 sqrt(2) e / n; the slack covers the rounding of the level's own square root and
  // division.
  const double sumBound = bounds.sum + bounds.driftPerDelta * largestDelta;
  const double levelBound = 3.0 * sumBound / n + 1e-6;
  // The same for the anchored sums: their own bound, and the literal sums' distance to the
  // true ones (n + 6 u of sum |x| for their products, additions and library values) and
  // drift, here weighted sample by sample (the first time a window needs it).
  double anchoredBound = 0.0;
  double anchoredLevelBound = 0.0;
  auto prepareAnchoredBound = [&] {
    if (bounds.weightedDriftPerDelta < 0.0) {
      bounds.weightedDriftPerDelta = weightedDriftPerDelta(window, n);
    }
    anchoredBound =
        (anchoredSumBound(n) + std::ldexp(n + 6.0, -53)) * (1 + 1e-6) * bounds.sumOfMagnitudes +
        bounds.weightedDriftPerDelta * largestDelta + 1e-6;
    anchoredLevelBound = 3.0 * anchoredBound / n + 1e-6;
  };
  int64_t low[kernels::kFineLanes];
  int64_t high[kernels::kFineLanes];
  int64_t bestLow = -1;
  for (int l = 0; l < lanes; ++l) {
    const double value = fineLevelValue(level.xc[l], level.xs[l], n);
    low[l] = static_cast<int64_t>(std::max(0.0, std::floor(value - levelBound)));
    high[l] = static_cast<int64_t>(std::floor(value + levelBound));
    bestLow = std::max(bestLow, low[l]);
  }
  // How each lane's sums were made: fast, anchored or literal (each closer to the literal).
  enum class Made { Fast, Anchored, Literal };
  Made made[kernels::kFineLanes] = {};
  bool resummed = false;
  auto windowToX = [&] {
    if (!windowInX) {
      for (int i = 0; i < n; ++i) x_[static_cast<size_t>(i)] = window[i];
      windowInX = true;
    }
  };
  auto sumLiterally = [&](int l) {
    windowToX();
    const FineSums exact = fineSumsReference(x_.data(), n, level.frequency[l]);
    level.xc[l] = exact.xc;
    level.xs[l] = exact.xs;
    made[l] = Made::Literal;
    resummed = true;
    ++fineLanesResummed_;
  };
  // The anchored sums replace the fast ones where they settle the lane's truncated level.
  auto sumAnchored = [&](int l) {
    windowToX();
    if (anchoredBound == 0.0) prepareAnchoredBound();
    ++fineLanesAnchored_;
    const FineSums near = anchoredFineSums(x_.data(), n, level.delta[l]);
    const double value = fineLevelValue(near.xc, near.xs, n);
    if (std::floor(value - anchoredLevelBound) != std::floor(value + anchoredLevelBound)) {
      return false;
    }
    level.xc[l] = near.xc;
    level.xs[l] = near.xs;
    made[l] = Made::Anchored;
    resummed = true;
    return true;
  };
  // The stored phase must not sit within its bound of a truncation step, nor xc near zero
  // (where the quadrant flips). The angle moves by at most about |error| / |X| radians
  // (65536 / 2 pi phase units).
  auto phaseIsSettled = [&](int l, double bound) {
    const double xc = level.xc[l];
    const double xs = level.xs[l];
    const double magnitude = fineLevelValue(xc, xs, n) * n / 2;
    return std::abs(xc) > 2 * bound && magnitude > 4 * bound &&
           !nearIntegerStep(unroundedPhase(xc, xs),
                            2.0 * bound / magnitude * 65536 / kFullTurn + 1e-6);
  };
  // A silent window sums to exact zeros on every path.
  if (bounds.sumOfMagnitudes > 0.0) {
    for (int l = 0; l < lanes; ++l) {
      if (high[l] >= bestLow && low[l] != high[l] && !sumAnchored(l)) sumLiterally(l);
    }
  }
  const int winner = decideFineLevel(level.xc, level.xs, lanes, n);
  if (last && made[winner] != Made::Literal && bounds.sumOfMagnitudes > 0.0) {
    const bool settled = made[winner] == Made::Anchored
                             ? phaseIsSettled(winner, anchoredBound)
                             : phaseIsSettled(winner, sumBound) ||
                                   (sumAnchored(winner) && phaseIsSettled(winner, anchoredBound));
    if (!settled) sumLiterally(winner);
  }
  if (resummed) ++fineLevelsRedecided_;
  return winner;
}

PartialEstimate PartialEstimator::fineSearch(const int32_t* window, int n, int coarseWinner) {
  double* x = x_.data();
  for (int i = 0; i < n; ++i) x[i] = window[i];
  const kernels::FineKernels fine = activeFineKernels();
  if (fine.rotation == nullptr) return fineSearchReference(x_.data(), n, coarseWinner);
  FineBounds bounds = fineBounds(window, n);

  int64_t b = coarseWinner;
  FineLevel level;
  int winner = 0;
  for (int steps : kFineStepsPer128) {
    fineCandidates(steps, b, level);
    // The candidates of a level lie within a few cents of each other: one kernel serves all.
    const kernels::FineKernelFn kernel =
        level.delta[0] >= kernels::kGoertzelMinDelta ? fine.goertzel : fine.rotation;
    kernel(x_.data(), n, level.delta, level.xc, level.xs);
    winner = decideFine(level, window, n, bounds, steps == kFineStepsPer128[kFineLevels - 1], true);
    b = level.index[winner];
  }
  PartialEstimate result;
  result.frequency = level.frequency[winner];
  result.level = saturatedLevel(fineLevel(level.xc[winner], level.xs[winner], n));
  result.phase = fineLevelPhase(level.xc[winner], level.xs[winner]);
  return result;
}

kernels::FineKernels PartialEstimator::activeFineKernels() const {
  return fineOverride_.rotation != nullptr ? fineOverride_ : fineKernels(finePath_);
}

void PartialEstimator::fineSearchBatch(const int32_t* const* windows, int count, int n,
                                       const int* coarseWinners, PartialEstimate* results) {
  const kernels::FineKernels fine = activeFineKernels();
  constexpr int kWindows = kernels::kFineBatchWindows;
  // Groups of eight windows share the kernels' passes. Windows of similar frequency are put
  // together (by their coarse winners), so that a group mostly runs the cheaper recurrence.
  int order[kMaxBatch];
  for (int k = 0; k < count; ++k) order[k] = k;
  std::sort(order, order + count,
            [&](int p, int q) { return coarseWinners[p] > coarseWinners[q]; });
  double* xt = scratch_.data();
  for (int g0 = 0; g0 < count; g0 += kWindows) {
    const int members = std::min(kWindows, count - g0);
    const int32_t* w[kWindows];
    FineBounds bounds[kWindows];
    int64_t b[kWindows];
    for (int k = 0; k < members; ++k) {
      const int at = order[g0 + k];
      w[k] = windows[at];
      bounds[k] = fineBounds(w[k], n);
      b[k] = coarseWinners[at];
      for (int i = 0; i < n; ++i) xt[static_cast<size_t>(kWindows) * i + k] = w[k][i];
    }
    for (int k = members; k < kWindows; ++k) {
      for (int i = 0; i < n; ++i) xt[static_cast<size_t>(kWindows) * i + k] = 0.0;
    }
    FineLevel levels[kWindows];
    int winner[kWindows] = {};
    double delta[kernels::kFineCandidates * kWindows];
    double xc[kernels::kFineCandidates * kWindows];
    double xs[kernels::kFineCandidates * kWindows];
    for (int steps : kFineStepsPer128) {
      std::fill(std::begin(delta), std::end(delta), 0.0);
      double lowestDelta = kFullTurn;
      for (int k = 0; k < members; ++k) {
        fineCandidates(steps, b[k], levels[k]);
        for (int l = 0; l < levels[k].lanes; ++l) delta[kWindows * l + k] = levels[k].delta[l];
        lowestDelta = std::min(lowestDelta, levels[k].delta[0]);
      }
      (lowestDelta >= kernels::kGoertzelMinDelta ? fine.batchGoertzel : fine.batchReinsch)(
          xt, n, delta, xc, xs);
      const bool last = steps == kFineStepsPer128[kFineLevels - 1];
      for (int k = 0; k < members; ++k) {
        FineLevel& level = levels[k];
        for (int l = 0; l < level.lanes; ++l) {
          level.xc[l] = xc[kWindows * l + k];
          level.xs[l] = xs[kWindows * l + k];
        }
        winner[k] = decideFine(level, w[k], n, bounds[k], last, false);
        b[k] = level.index[winner[k]];
      }
    }
    for (int k = 0; k < members; ++k) {
      const FineLevel& level = levels[k];
      PartialEstimate& result = results[order[g0 + k]];
      result.frequency = level.frequency[winner[k]];
      result.level = saturatedLevel(fineLevel(level.xc[winner[k]], level.xs[winner[k]], n));
      result.phase = fineLevelPhase(level.xc[winner[k]], level.xs[winner[k]]);
    }
  }
}

PartialEstimate PartialEstimator::estimateReference(const int32_t* window, int n) {
  for (int i = 0; i < n; ++i) x_[static_cast<size_t>(i)] = window[i];
  quantiseWindow(window, n, q_.data());
  const int coarseWinner = coarseSearchReference(table_, q_.data(), n);
  return fineSearchReference(x_.data(), n, coarseWinner);
}

}  // namespace analyser
