// How often the fast fine search (rotation recurrence instead of library sine and cosine per
// sample) changes a stored value, measured on speech-like windows against the literal search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "estimator_detail.h"
#include "kernels/fine_kernels.h"
#include "partial_estimator.h"
#include "speech_like_signal.h"

namespace analyser {
namespace {

struct Agreement {
  int values = 0;
  int differing = 0;
  int64_t largestDifference = 0;
};

void compare(Agreement& a, int64_t want, int64_t got, int64_t modulo = 0) {
  ++a.values;
  int64_t d = std::llabs(want - got);
  if (modulo != 0) d = std::min(d, modulo - d);
  if (d != 0) ++a.differing;
  a.largestDifference = std::max(a.largestDifference, d);
}

TEST(FineAgreementTest, RecurrenceChangesAtMostOneStoredValueInAThousandByOneUnit) {
  SineCosineTable table;
  buildSineCosineTable(table);
  PartialEstimator literal(table);
  PartialEstimator fast(table);
  // The coarse sums are identical on every path (tested elsewhere), so the fast coarse search
  // keeps this measurement quick; only the fine search differs between the two estimators.
  literal.setPaths(bestCoarsePath(), FinePath::Reference);
  fast.setPaths(bestCoarsePath(), bestFinePath());

  const auto signal = speechlike::workingForm(speechlike::generate(44100 * 3, 11));
  Agreement agreement;
  for (int n : {735, 2940}) {
    const int stride = n == 735 ? 400 : 4000;  // windows at varied offsets
    for (size_t start = 0; start + static_cast<size_t>(n) <= signal.size(); start += stride) {
      const int32_t* window = signal.data() + start;
      const PartialEstimate want = literal.estimate(window, n);
      const PartialEstimate got = fast.estimate(window, n);
      compare(agreement, want.level, got.level);
      compare(agreement, frequencyTenths(want.frequency), frequencyTenths(got.frequency));
      compare(agreement, want.phase, got.phase, 65536);
    }
  }
  ASSERT_GE(agreement.values, 1000);
  EXPECT_LE(agreement.differing * 1000, agreement.values)
      << agreement.differing << " of " << agreement.values;
  EXPECT_LE(agreement.largestDifference, 1);
  std::printf("fine search: %d of %d stored values differ (largest difference %lld)\n",
              agreement.differing, agreement.values,
              static_cast<long long>(agreement.largestDifference));
}

}  // namespace
}  // namespace analyser

namespace analyser {
namespace {

// Both fine recurrences of every instruction set against sums taken in long double, for odd
// and even lengths: the Goertzel form only where the estimator uses it. Errors are measured
// against the sum of the samples' magnitudes, the scale of the strongest possible level.
TEST(FineKernelTest, RecurrencesMatchExactSumsToDoublePrecision) {
  std::vector<double> x(2940);
  for (size_t i = 0; i < x.size(); ++i) {
    x[i] = std::round(4e6 * std::sin(0.0627 * i + 0.4) + 1e6 * std::sin(0.7 * i) +
                      static_cast<double>((i * 7919) % 2001) - 1000.0);
  }
  double sumOfMagnitudes[2] = {};
  for (size_t i = 0; i < x.size(); ++i) {
    if (i < 735) sumOfMagnitudes[0] += std::abs(x[i]);
    sumOfMagnitudes[1] += std::abs(x[i]);
  }
  const kernels::FineKernels sets[] = {kernels::fineKernelsPortable(), kernels::fineKernelsAvx2(),
                                       kernels::fineKernelsAvx512()};
  for (int n : {735, 2940}) {
    for (double base : {0.0078, 0.03, kernels::kGoertzelMinDelta, 0.0627, 0.7, 1.13}) {
      double delta[kernels::kFineLanes] = {};
      for (int l = 0; l < 9; ++l) delta[l] = base * (1.0 + 0.0005 * l);
      for (const kernels::FineKernels& set : sets) {
        if (set.rotation == nullptr) continue;
        for (kernels::FineKernelFn kernel : {set.rotation, set.goertzel}) {
          if (kernel == set.goertzel && base < kernels::kGoertzelMinDelta) continue;
          double xc[kernels::kFineLanes];
          double xs[kernels::kFineLanes];
          kernel(x.data(), n, delta, xc, xs);
          for (int l = 0; l < 9; ++l) {
            long double c = 0;
            long double s = 0;
            for (int i = 0; i < n; ++i) {
              c += x[static_cast<size_t>(i)] * std::cos(static_cast<long double>(delta[l]) * i);
              s -= x[static_cast<size_t>(i)] * std::sin(static_cast<long double>(delta[l]) * i);
            }
            const double error =
                std::hypot(xc[l] - static_cast<double>(c), xs[l] - static_cast<double>(s));
            EXPECT_LT(error, 1e-12 * sumOfMagnitudes[n == 735 ? 0 : 1])
                << n << " " << base << " lane " << l;
          }
        }
      }
    }
  }
  // The batched kernels: window k is x from sample 97 k on, and its candidates lie a little
  // above k-dependent bases, so that a mixed-up lane or window shows at once. Lane (l, k) must
  // match its own window's sums like the one-window kernels.
  constexpr int kWindows = kernels::kFineBatchWindows;
  const int n = 1470;
  std::vector<double> xt(static_cast<size_t>(kWindows) * n);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < kWindows; ++k) xt[kWindows * i + k] = x[static_cast<size_t>(97 * k + i)];
  }
  for (double base : {0.0078, 0.03, 0.06}) {
    double delta[kernels::kFineCandidates * kWindows];
    for (int l = 0; l < kernels::kFineCandidates; ++l) {
      for (int k = 0; k < kWindows; ++k) delta[kWindows * l + k] = base * (1 + 0.3 * k + 0.001 * l);
    }
    for (const kernels::FineKernels& set : sets) {
      if (set.batchReinsch == nullptr) continue;
      for (kernels::FineBatchFn kernel : {set.batchReinsch, set.batchGoertzel}) {
        if (kernel == set.batchGoertzel && base < kernels::kGoertzelMinDelta) continue;
        double xc[kernels::kFineCandidates * kWindows];
        double xs[kernels::kFineCandidates * kWindows];
        kernel(xt.data(), n, delta, xc, xs);
        for (int at = 0; at < kernels::kFineCandidates * kWindows; ++at) {
          const int k = at % kWindows;
          long double c = 0;
          long double s = 0;
          double magnitudes = 0;
          for (int i = 0; i < n; ++i) {
            const double v = x[static_cast<size_t>(97 * k + i)];
            c += v * std::cos(static_cast<long double>(delta[at]) * i);
            s -= v * std::sin(static_cast<long double>(delta[at]) * i);
            magnitudes += std::abs(v);
          }
          EXPECT_LT(std::hypot(xc[at] - static_cast<double>(c), xs[at] - static_cast<double>(s)),
                    1e-12 * magnitudes)
              << base << " lane " << at;
        }
      }
    }
  }
}

// The anchored sums against long-double sums at i delta, within their proven bound, for
// full-scale noise and for a sine at the candidate, up to the longest window and 8 kHz.
TEST(FineKernelTest, AnchoredSumsStayWithinTheirBound) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int32_t> noise(-8388608, 8388607);
  double largest = 0;
  for (int n : {735, 2205, 2940}) {
    for (double frequency : {55.0, 349.0, 3000.0, 7306.277, 7999.0}) {
      const double delta = 6.2831853071796 * frequency / 44100;
      for (int kind = 0; kind < 2; ++kind) {
        std::vector<double> x(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
          x[static_cast<size_t>(i)] =
              kind == 0 ? noise(rng) : std::trunc(8e6 * std::sin(delta * i + 1.1));
        }
        const FineSums got = detail::anchoredFineSums(x.data(), n, delta);
        long double c = 0;
        long double s = 0;
        long double magnitudes = 0;
        for (int i = 0; i < n; ++i) {
          const long double angle = static_cast<long double>(delta) * i;
          c += x[static_cast<size_t>(i)] * std::cos(angle);
          s -= x[static_cast<size_t>(i)] * std::sin(angle);
          magnitudes += std::abs(x[static_cast<size_t>(i)]);
        }
        const double bound = detail::anchoredSumBound(n) * static_cast<double>(magnitudes);
        const double off =
            static_cast<double>(std::max(std::abs(got.xc - c), std::abs(got.xs - s)));
        EXPECT_LE(off, bound) << "n " << n << " f " << frequency << " kind " << kind;
        largest = std::max(largest, off / bound);
      }
    }
  }
  std::printf("anchored sums reach %.3g of their bound\n", largest);
}

}  // namespace
}  // namespace analyser
