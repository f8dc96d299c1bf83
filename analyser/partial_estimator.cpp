#include "partial_estimator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "coarse_plan.h"
#include "kernels/coarse_kernels.h"
#include "kernels/fine_kernels.h"

namespace analyser {

namespace {

// The analyser's own turn constants (14 digits), not the exact ones of the maths library.
constexpr double kFullTurn = 6.2831853071796;
constexpr double kHalfTurn = 3.1415926535898;
constexpr double kLowestFrequency = 55.0;
constexpr double kHighestFrequency = 8000.0;
constexpr int kCoarseIndexLimit = 2048;  // indices above 1050 all lie beyond 8000 Hz

// Steps per 128-fold range of the fine levels 1..6.
constexpr std::array<int, kFineLevels> kFineStepsPer128 = {4096,   16384,   65536,
                                                           262144, 1048576, 4194304};

// r = 128^(1/steps), evaluated once per level and then raised to integer powers. The ratios of
// the fine levels are kept, since the search needs them for every candidate.
double gridRatio(int stepsPer128) {
  static const std::array<double, kFineLevels> fineRatios = [] {
    std::array<double, kFineLevels> r{};
    for (int l = 0; l < kFineLevels; ++l) r[l] = std::pow(128.0, 1.0 / kFineStepsPer128[l]);
    return r;
  }();
  for (int l = 0; l < kFineLevels; ++l) {
    if (kFineStepsPer128[l] == stepsPer128) return fineRatios[l];
  }
  return std::pow(128.0, 1.0 / stepsPer128);
}

struct CoarseGrid {
  int count = 0;
  std::array<uint32_t, kCoarseIndexLimit> steps{};
};

const CoarseGrid& coarseGrid() {
  static const CoarseGrid grid = [] {
    CoarseGrid g;
    const double r = gridRatio(kCoarseStepsPer128);
    for (int j = 0; j < kCoarseIndexLimit; ++j) {
      const double f = kLowestFrequency * std::pow(r, j);
      if (f > kHighestFrequency) continue;
      // f <= 8000 keeps the value below 2^35, so the conversion is in range; only the low
      // 32 bits matter because the accumulator is read modulo 2^32.
      const auto step = static_cast<uint64_t>(f * 65536 / kSampleRate * 65536 + 0.5);
      g.steps[static_cast<size_t>(j)] = static_cast<uint32_t>(step);
      g.count = j + 1;
    }
    return g;
  }();
  return grid;
}

int32_t wrapToInt32(uint32_t v) {
  return static_cast<int32_t>(v);
}
// Levels only exceed 32 bits for windows far beyond any 24-bit recording (a runaway
// residual); they saturate rather than wrap.
int32_t saturatedLevel(int64_t level) {
  return level > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(level);
}

bool x86Supports(const char* feature) {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  if (feature[0] == '2') return __builtin_cpu_supports("avx2");
  if (feature[0] == 'f') return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (feature[0] == 'v') {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("fma");
  }
  if (feature[0] == 'b') return avx512;
  return avx512 && __builtin_cpu_supports("avx512vnni");
#else
  (void)feature;
  return false;
#endif
}

kernels::CoarseKernelFn coarseKernel(CoarsePath path) {
  switch (path) {
    case CoarsePath::Portable:
      return &kernels::coarseSumsPortable;
    case CoarsePath::Avx2:
      return x86Supports("2") ? kernels::coarseSumsAvx2Kernel() : nullptr;
    case CoarsePath::Avx512:
      return x86Supports("bw") ? kernels::coarseSumsAvx512Kernel() : nullptr;
    case CoarsePath::Avx512Vnni:
      return x86Supports("vnni") ? kernels::coarseSumsAvx512VnniKernel() : nullptr;
    case CoarsePath::Reference:
      break;
  }
  return nullptr;
}

kernels::FineKernels fineKernels(FinePath path) {
  switch (path) {
    case FinePath::Portable:
      return kernels::fineKernelsPortable();
    case FinePath::Avx2:
      return x86Supports("fma") ? kernels::fineKernelsAvx2() : kernels::FineKernels{};
    case FinePath::Avx512:
      return x86Supports("vl") ? kernels::fineKernelsAvx512() : kernels::FineKernels{};
    case FinePath::Reference:
      break;
  }
  return {};
}

constexpr PartialEstimate kSilence{0, kLowestFrequency, 32768};

bool allZero(const int32_t* window, int n) {
  for (int i = 0; i < n; ++i) {
    if (window[i] != 0) return false;
  }
  return true;
}
// modular since C++20

}  // namespace

void buildSineCosineTable(SineCosineTable& table) {
  table.packed.resize(65536);
  for (uint32_t k = 0; k < 65536; ++k) {
    const double angle = k * kFullTurn / 65536;
    // std::round rounds halves away from zero; |value| <= 32767 fits 16 bits.
    const auto s = static_cast<int16_t>(std::round(std::sin(angle) * 32767));
    const auto c = static_cast<int16_t>(std::round(std::cos(angle) * 32767));
    table.packed[k] =
        (static_cast<uint32_t>(static_cast<uint16_t>(s)) << 16) | static_cast<uint16_t>(c);
  }
}

int32_t frequencyTenths(double hertz) {
  if (!(hertz > 0.0)) return 0;
  const double tenths = hertz * 10 + 0.5;
  if (tenths >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(tenths);
}

double gridFrequency(int stepsPer128, int64_t j) {
  return kLowestFrequency * std::pow(gridRatio(stepsPer128), static_cast<double>(j));
}

uint32_t coarsePhaseStep(int j) {
  return coarseGrid().steps[static_cast<size_t>(j)];
}

int16_t quantiseSample(int32_t v) {
  // In 64 bits so that v + 256 and 256 - v cannot overflow.
  const int64_t w = v;
  const int64_t q = w >= 0 ? (w + 256) / 512 : -((256 - w) / 512);
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(q) & 0xFFFF));
}

int quantiseWindow(const int32_t* window, int n, int16_t* q) {
  // quantiseSample in 32-bit unsigned arithmetic, without branches, so that it vectorises:
  // sign * ((|v| + 256) >> 9), where |v| <= 2^31 and the sum cannot overflow 32 bits.
  for (int i = 0; i < n; ++i) {
    const auto u = static_cast<uint32_t>(window[i]);
    const uint32_t negative = 0u - (u >> 31);  // all ones for a negative sample
    const uint32_t magnitude = ((u ^ negative) - negative + 256u) >> 9;
    q[i] =
        static_cast<int16_t>(static_cast<uint16_t>(((magnitude ^ negative) - negative) & 0xFFFF));
  }
  if (n % 2 != 0) {
    q[n] = 0;
    return n + 1;
  }
  return n;
}

CoarseSums coarseSumsReference(const SineCosineTable& table, const int16_t* q, int n2,
                               uint32_t step) {
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t accumulator = 0;
  for (int i = 0; i < n2; ++i) {
    const uint32_t k = accumulator >> 16;
    // A 16 x 16 bit product always fits 32 bits; >> 16 of a negative value is an arithmetic
    // shift (floor division by 65536).
    const int32_t cosineProduct = (int32_t{q[i]} * table.cosine(k)) >> 16;
    const int32_t sineProduct = (int32_t{q[i]} * table.sine(k)) >> 16;
    a += static_cast<uint32_t>(cosineProduct);
    b += static_cast<uint32_t>(sineProduct);
    accumulator += step;
  }
  return {wrapToInt32(a), wrapToInt32(b)};
}

int64_t coarseLevel(CoarseSums sums, int n) {
  const double a = sums.a;
  const double b = sums.b;
  // At most 2048 * 2^31.5 / 735, far inside 64 bits.
  return static_cast<int64_t>(2048 * std::sqrt(a * a + b * b) / n);
}

int coarseSearchReference(const SineCosineTable& table, const int16_t* q, int n) {
  const int n2 = n + (n % 2);
  const CoarseGrid& grid = coarseGrid();
  int64_t best = -1;
  int winner = 0;
  for (int j = 0; j < grid.count; ++j) {
    const int64_t level = coarseLevel(coarseSumsReference(table, q, n2, grid.steps[j]), n);
    if (level > best) {
      best = level;
      winner = j;
    }
  }
  return winner;
}

FineSums fineSumsReference(const double* x, int n, double frequency) {
  const double delta = kFullTurn * frequency / kSampleRate;
  double theta = 0.0;
  double xc = 0.0;
  double xs = 0.0;
  for (int i = 0; i < n; ++i) {
    xc += x[i] * std::cos(theta);
    xs -= x[i] * std::sin(theta);
    theta += delta;
  }
  return {xc, xs};
}

FineCandidate evaluateFineReference(const double* x, int n, double frequency) {
  const FineSums s = fineSumsReference(x, n, frequency);
  return {fineLevel(s.xc, s.xs, n), fineLevelPhase(s.xc, s.xs)};
}

int64_t fineLevel(double xc, double xs, int n) {
  // Samples are 32-bit, so the level is below 2^33: 64 bits hold it.
  return static_cast<int64_t>(2 * std::sqrt(xc * xc + xs * xs) / n);
}

namespace {

// The phase before truncation: atan lies within +-pi/2, so the value lies in (0, 131072).
double unroundedPhase(double xc, double xs) {
  const double t = xc == 0.0 ? 4294967295.0 : xs / xc;
  const double quadrant = xc < 0.0 ? 16384.0 : 49152.0;
  return std::atan(t) / kHalfTurn / 2 * 65536 + 65536.5 - quadrant;
}

// True when some value within `tolerance` of v truncates differently from v.
bool nearIntegerStep(double v, double tolerance) {
  const double below = v - std::floor(v);
  return below <= tolerance || 1.0 - below <= tolerance;
}

}  // namespace

int32_t fineLevelPhase(double xc, double xs) {
  return static_cast<int32_t>(static_cast<int64_t>(unroundedPhase(xc, xs)) % 65536);
}

PartialEstimate fineSearchReference(const double* x, int n, int coarseWinner) {
  int64_t b = coarseWinner;
  PartialEstimate result;
  int64_t resultLevel = 0;
  for (int steps : kFineStepsPer128) {
    int64_t best = -1;
    int64_t winner = 0;
    for (int64_t j = 4 * b - 4; j <= 4 * b + 4; ++j) {
      if (j < 0) continue;
      const double f = gridFrequency(steps, j);
      if (f > kHighestFrequency) continue;
      const FineCandidate c = evaluateFineReference(x, n, f);
      if (c.level > best) {
        best = c.level;
        winner = j;
        result.frequency = f;
        result.phase = c.phase;
        resultLevel = c.level;
      }
    }
    b = winner;
  }
  result.level = saturatedLevel(resultLevel);
  return result;
}

bool coarsePathAvailable(CoarsePath path) {
  return path == CoarsePath::Reference || coarseKernel(path) != nullptr;
}

bool finePathAvailable(FinePath path) {
  return path == FinePath::Reference || fineKernels(path).rotation != nullptr;
}

CoarsePath bestCoarsePath() {
  for (CoarsePath p : {CoarsePath::Avx512Vnni, CoarsePath::Avx512, CoarsePath::Avx2}) {
    if (coarsePathAvailable(p)) return p;
  }
  return CoarsePath::Portable;
}

FinePath bestFinePath() {
  for (FinePath p : {FinePath::Avx512, FinePath::Avx2}) {
    if (finePathAvailable(p)) return p;
  }
  return FinePath::Portable;
}

const char* pathName(CoarsePath path) {
  switch (path) {
    case CoarsePath::Reference:
      return "reference";
    case CoarsePath::Portable:
      return "portable";
    case CoarsePath::Avx2:
      return "avx2";
    case CoarsePath::Avx512:
      return "avx512bw";
    case CoarsePath::Avx512Vnni:
      return "avx512vnni";
  }
  return "?";
}

const char* pathName(FinePath path) {
  switch (path) {
    case FinePath::Reference:
      return "reference";
    case FinePath::Portable:
      return "recurrence";
    case FinePath::Avx2:
      return "recurrence-avx2-fma";
    case FinePath::Avx512:
      return "recurrence-avx512vl";
  }
  return "?";
}

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
