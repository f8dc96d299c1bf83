// Finds the single strongest sinusoid in one analysis window: a fixed-point coarse search over
// a logarithmic grid from 55 Hz to 8000 Hz, then six finer levels in double precision.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "aligned_storage.h"
#include "analysis_constants.h"
#include "estimator_types.h"
#include "kernels/fine_kernels.h"

namespace analyser {

// Fills the table with its 65536 packed entries.
void buildSineCosineTable(SineCosineTable& table);

// Stored form of a frequency: tenths of a hertz, rounded to nearest.
int32_t frequencyTenths(double hertz);

// ---- Building blocks of the literal (scalar reference) estimator ----------------------------

// Frequency of grid index j at a level with `stepsPer128` steps per 7 octaves.
double gridFrequency(int stepsPer128, int64_t j);
// Phase increment per sample of coarse candidate j, in 2^-32 turn (taken modulo 2^32).
uint32_t coarsePhaseStep(int j);
// Sample v/512 rounded half away from zero, wrapped to 16-bit two's complement.
int16_t quantiseSample(int32_t v);
// Quantises n samples into q[0 .. n2-1], n2 = n rounded up to even (q[n] = 0 when n is odd).
// Returns n2.
int quantiseWindow(const int32_t* window, int n, int16_t* q);

// The two coarse sums of one candidate by the literal loop.
CoarseSums coarseSumsReference(const SineCosineTable& table, const int16_t* q, int n2,
                               uint32_t step);
// trunc(2048 * sqrt(a^2 + b^2) / n); may exceed 32 bits, so 64-bit.
int64_t coarseLevel(CoarseSums sums, int n);
// Winning coarse index (strictly greater from -1: ties go to the lower frequency).
int coarseSearchReference(const SineCosineTable& table, const int16_t* q, int n);

// Level and phase of one fine candidate over exactly n samples, with directly computed sines.
FineCandidate evaluateFineReference(const double* x, int n, double frequency);
// The two Fourier sums behind evaluateFineReference.
FineSums fineSumsReference(const double* x, int n, double frequency);
// Largest difference the fast fine kernels may show against fineSumsReference in either sum,
// as a fraction of the sum of the samples' magnitudes (measured differences stay some hundred
// times below it); the fast search re-decides with the literal sums wherever a difference this
// large could change a stored value.
inline constexpr double kFineSumRelativeBound = 1e-10;
// Level and phase from the two Fourier sums of a window of n samples.
int64_t fineLevel(double xc, double xs, int n);
int32_t fineLevelPhase(double xc, double xs);
// Six fine levels starting from the coarse winner; returns the fine-6 winner.
PartialEstimate fineSearchReference(const double* x, int n, int coarseWinner);

// ---- Selectable paths ---------------------------------------------------------------------

// Coarse search: the literal loop, or precomputed per-length tables summed by a portable loop
// or by x86 vector kernels. All give identical sums.
enum class CoarsePath { Reference, Portable, Avx2, Avx512, Avx512Vnni, WasmSimd };
// Fine search: library sine/cosine per sample, or a rotation recurrence (portable or AVX2).
enum class FinePath { Reference, Portable, Avx2, Avx512 };
bool coarsePathAvailable(CoarsePath path);
bool finePathAvailable(FinePath path);
// The fastest path this processor and build support.
CoarsePath bestCoarsePath();
FinePath bestFinePath();
const char* pathName(CoarsePath path);
const char* pathName(FinePath path);

class CoarsePlan;
class CoarsePlanCache;
namespace kernels {
struct PlanView;
}
namespace detail {
struct FineLevel;
}

// Winning coarse index of each of `count` windows (1 to kCoarseBatchLimit) from the sums of all
// candidates (sums[j * count + k] for window k); the same choice as comparing every coarse
// level strictly greater from -1.
void coarseWinnersFromSums(const CoarseSums* sums, int count, int candidates, int n, int* winners);

// One estimator per thread: it owns its scratch storage (allocated once). Estimators of
// several threads share the per-length tables through one CoarsePlanCache.
class PartialEstimator {
 public:
  // Windows estimated together by estimateBatch.
  static constexpr int kMaxBatch = kCoarseBatchLimit;

  explicit PartialEstimator(const SineCosineTable& table);
  PartialEstimator(const SineCosineTable& table, CoarsePlanCache& plans);
  ~PartialEstimator();
  PartialEstimator(const PartialEstimator&) = delete;
  PartialEstimator& operator=(const PartialEstimator&) = delete;

  // Defaults to the best paths available.
  void setPaths(CoarsePath coarse, FinePath fine);
  CoarsePath coarsePath() const { return coarsePath_; }
  // With pruning on (the default), a coarse path that has pruning kernels (portable, AVX-512
  // VNNI) bounds every candidate cheaply and sums exactly only those that could win; the winner
  // is the literal one either way. Off, every candidate is summed exactly.
  void setCoarsePruning(bool on) { pruning_ = on; }
  bool coarsePruning() const { return pruning_; }
  // Candidates summed exactly by pruned searches, and the windows those searches covered.
  int64_t coarseCandidatesKept() const { return coarseCandidatesKept_; }
  int64_t coarseWindowsPruned() const { return coarseWindowsPruned_; }
  FinePath finePath() const { return finePath_; }
  // Replaces the fast fine kernels of the selected path (both set) or restores them (both
  // null), with the error bound, relative to the sum of magnitudes, that the search allows
  // their sums; lets tests feed the search sums with errors of a chosen size.
  void overrideFineKernels(const kernels::FineKernels& fine,
                           double relativeBound = kFineSumRelativeBound);

  // `window` points at `n` consecutive working-form samples, n in {2940, 2205, 1470, 735}.
  // An all-zero window gives level 0, 55 Hz, phase 32768 at once (what the search finds).
  PartialEstimate estimate(const int32_t* window, int n);
  // Estimates `count` (1 to kMaxBatch) windows of the same length; the fast coarse kernels
  // then pass over the per-length tables once for all of them.
  void estimateBatch(const int32_t* const* windows, int count, int n, PartialEstimate* results);
  // Coarse sums of every candidate for `count` windows by the selected coarse path:
  // sums[j * count + w], j < kCoarseCandidates.
  void coarseSums(const int32_t* const* windows, int count, int n, CoarseSums* sums);
  // The intervals the pruned search puts around candidate j's coarse sums (a, b) for one
  // window: the first bound, and the refined one (the first again where the window has none).
  struct CoarseSumInterval {
    double centreA = 0.0;
    double centreB = 0.0;
    double radius = 0.0;
  };
  void coarseSumIntervals(const int32_t* window, int n, int j, CoarseSumInterval* first,
                          CoarseSumInterval* refined);
  // The winning coarse index of each window by the selected coarse path.
  void coarseWinners(const int32_t* const* windows, int count, int n, int* winners);
  // The literal scalar kernel: the reference every faster path is checked against.
  PartialEstimate estimateReference(const int32_t* window, int n);
  // Fine levels searched by a fast path, and how many of them were re-decided with the literal
  // sums because rounding could have changed the outcome.
  int64_t fineLevelsSearched() const { return fineLevelsSearched_; }
  int64_t fineLevelsRedecided() const { return fineLevelsRedecided_; }
  // Candidates summed again literally in those levels.
  int64_t fineLanesResummed() const { return fineLanesResummed_; }
  // Lanes summed again by anchored rotation before (or instead of) the literal sums.
  int64_t fineLanesAnchored() const { return fineLanesAnchored_; }

 private:
  PartialEstimator(const SineCosineTable& table, std::unique_ptr<CoarsePlanCache> ownPlans,
                   CoarsePlanCache* sharedPlans);
  // Quantised, zero-padded copies of the windows in q_; q receives their addresses.
  void quantiseBatch(const int32_t* const* windows, int count, int n, int padded,
                     const int16_t** q);
  // The per-length tables for n, fetched from the cache when the length changes; the view of
  // all their 16-bit rows (built then, where not yet).
  const CoarsePlan& planFor(int n);
  kernels::PlanView planView(int n);
  PartialEstimate fineSearch(const int32_t* window, int n, int coarseWinner);
  // The fine search of several windows, eight at a time through the batched kernels.
  void fineSearchBatch(const int32_t* const* windows, int count, int n, const int* coarseWinners,
                       PartialEstimate* results);
  // The fast kernels in use (the override, where one is set), or none for the literal search.
  kernels::FineKernels activeFineKernels() const;
  // What the fast fine sums of one window may be off by, in either sum: the kernels' error,
  // plus driftPerDelta times the candidate's delta for the drift of the literal angle.
  // weightedDriftPerDelta is a tighter drift term, for the anchored sums, computed on demand
  // (negative until then).
  struct FineBounds {
    double sumOfMagnitudes = 0.0;
    double sum = 0.0;
    double driftPerDelta = 0.0;
    double weightedDriftPerDelta = -1.0;
  };
  FineBounds fineBounds(const int32_t* window, int n) const;
  static double weightedDriftPerDelta(const int32_t* window, int n);
  // Decides one fine level from fast sums, re-summing literally (from `window`, converted into
  // x_ unless `windowInX`) whatever rounding could change; returns the winning lane.
  int decideFine(detail::FineLevel& level, const int32_t* window, int n, FineBounds& bounds,
                 bool last, bool windowInX);
  // coarseWinners by bounds and exact sums of the candidates that could win.
  void prunedWinners(const int32_t* const* windows, int count, int n, int* winners);

  const SineCosineTable& table_;
  std::unique_ptr<CoarsePlanCache> ownPlans_;
  CoarsePlanCache& plans_;
  std::shared_ptr<const CoarsePlan> plan_;
  CoarsePath coarsePath_;
  FinePath finePath_;
  kernels::FineKernels fineOverride_;
  double fineSumRelativeBound_ = kFineSumRelativeBound;
  AlignedVector<double> x_;
  AlignedVector<int16_t> q_;
  AlignedVector<CoarseSums> sums_;
  bool pruning_ = true;
  // One scratch area for two jobs that never overlap: the 8-bit samples of a batch for the
  // coarse bound kernels, then eight windows' samples interleaved for the batched fine kernels.
  AlignedVector<double> scratch_;
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(scratch_.data()); }
  AlignedVector<int32_t> dots_;
  AlignedVector<double> upper_;
  AlignedVector<int> kept_;  // the candidates the bounds of a batch's windows keep
  std::vector<uint32_t> keptMask_;
  int64_t coarseCandidatesKept_ = 0;
  int64_t coarseWindowsPruned_ = 0;
  int64_t fineLevelsSearched_ = 0;
  int64_t fineLevelsRedecided_ = 0;
  int64_t fineLanesResummed_ = 0;
  int64_t fineLanesAnchored_ = 0;
};

}  // namespace analyser
