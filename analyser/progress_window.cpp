#include "progress_window.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "messages.h"

namespace analyser {

int64_t remainingFrames(int passCount, int32_t frameCount, int pass, int slot, int32_t frame) {
  const int64_t frames = frameCount;
  return ((int64_t{passCount} - 1 - pass) * 6 + (5 - slot)) * frames + (frames - frame);
}

double microsBetween(int64_t start, int64_t now, int64_t ticksPerSecond) {
  if (ticksPerSecond <= 0 || now <= start) return 0.0;
  // Unsigned difference: defined even for readings at opposite ends of the range.
  const uint64_t ticks = static_cast<uint64_t>(now) - static_cast<uint64_t>(start);
  const auto freq = static_cast<uint64_t>(ticksPerSecond);
  constexpr uint64_t kMicros = 1000000;
  if (ticks <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / kMicros) {
    return static_cast<double>(static_cast<int64_t>(ticks * kMicros / freq));
  }
  // Only for a single frame lasting hours on a nanosecond counter: whole seconds and the
  // remainder separately, which gives the same truncated quotient.
  const uint64_t whole = ticks / freq;
  const uint64_t rest = ticks % freq;
  return static_cast<double>(whole) * 1e6 +
         std::floor(static_cast<long double>(rest) * kMicros / freq);
}

double remainingSeconds(int64_t frames, double microsPerFrame) {
  return (static_cast<double>(frames) * microsPerFrame + 999999.0) / 1000000.0;
}

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

ProgressReporter::ProgressReporter(common::ProgressEnvironment& env,
                                   const std::atomic<int>& cancelFlag)
    : env_(env), cancelFlag_(cancelFlag) {}

void ProgressReporter::open(int64_t ticksPerSecond, int passCount, int32_t frameCount) {
  ticksPerSecond_ = ticksPerSecond;
  passCount_ = passCount;
  frameCount_ = frameCount;
  microsPerFrame_ = 0.0;
  remainingSeconds_ = 0.0;
  lastRefreshTick_ = env_.clockMillis();
  env_.openProgressWindow();
}

void ProgressReporter::beginFrame() {
  frameStartCount_ = env_.counterNow();
  effectiveMicros_ = -1.0;
}

FrameAnswer ProgressReporter::endFrame(int pass, int slot, int32_t frame) {
  microsPerFrame_ = effectiveMicros_ >= 0.0
                        ? effectiveMicros_
                        : microsBetween(frameStartCount_, env_.counterNow(), ticksPerSecond_);

  // 64-bit sum: the clock may be anywhere in its 32-bit range.
  if (int64_t{env_.clockMillis()} <= int64_t{lastRefreshTick_} + kRefreshIntervalMillis) {
    return FrameAnswer::Continue;
  }
  if (cancelFlag_.load() == 1) return FrameAnswer::Cancel;

  const int64_t frames = remainingFrames(passCount_, frameCount_, pass, slot, frame);
  remainingSeconds_ = analyser::remainingSeconds(frames, microsPerFrame_);
  if (env_.progressWindowOpen()) {
    const double total = static_cast<double>(passCount_) * 6.0 * frameCount_;
    const double done = total - static_cast<double>(frames) + 1.0;
    env_.refreshProgress(remainingLabel(remainingSeconds_), total > 0 ? done / total : 1.0);
  }
  env_.pumpMessages();
  lastRefreshTick_ = env_.clockMillis();
  return FrameAnswer::Continue;
}

FrameAnswer ProgressReporter::waiting() {
  if (int64_t{env_.clockMillis()} <= int64_t{lastRefreshTick_} + kRefreshIntervalMillis) {
    return FrameAnswer::Continue;
  }
  if (cancelFlag_.load() == 1) return FrameAnswer::Cancel;
  env_.pumpMessages();
  lastRefreshTick_ = env_.clockMillis();
  return FrameAnswer::Continue;
}

}  // namespace analyser
