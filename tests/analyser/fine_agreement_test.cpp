// How often the fast fine search (rotation recurrence instead of library sine and cosine per
// sample) changes a stored value, measured on speech-like windows against the literal search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

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
