#include "progress_window.h"

#include <cmath>
#include <cstdio>

#include "messages.h"

namespace analyser {

std::string remainingLabel(double seconds) {
  // Printed from the truncated double so that no estimate is too large for an integer type.
  char digits[400];
  const double whole = std::trunc(seconds);
  std::snprintf(digits, sizeof digits, "%.0f", whole == 0.0 ? 0.0 : whole);
  std::string label(msg::kRemainingPrefix);
  label += digits;
  label += msg::kRemainingSuffix;
  return label;
}

ProgressWindowSink::ProgressWindowSink(common::ProgressEnvironment& env,
                                       std::atomic<int>& cancelFlag, int64_t ticksPerSecond)
    : env_(env), cancelFlag_(cancelFlag), ticksPerSecond_(ticksPerSecond) {}

void ProgressWindowSink::started() {
  env_.openProgressWindow();
  cancelFlag_ = 0;
}

void ProgressWindowSink::progress(double fractionDone, double secondsLeft) {
  if (env_.progressWindowOpen()) env_.refreshProgress(remainingLabel(secondsLeft), fractionDone);
}

}  // namespace analyser
