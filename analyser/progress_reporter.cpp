#include "progress_reporter.h"

#include <cmath>
#include <limits>

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

ProgressReporter::ProgressReporter(ProgressSink& sink) : sink_(sink) {}

void ProgressReporter::open(int64_t ticksPerSecond, int passCount, int32_t frameCount) {
  ticksPerSecond_ = ticksPerSecond;
  passCount_ = passCount;
  frameCount_ = frameCount;
  microsPerFrame_ = 0.0;
  remainingSeconds_ = 0.0;
  lastRefreshTick_ = sink_.clockMillis();
  sink_.started();
}

void ProgressReporter::beginFrame() {
  frameStartCount_ = sink_.counterNow();
  effectiveMicros_ = -1.0;
}

FrameAnswer ProgressReporter::endFrame(int pass, int slot, int32_t frame) {
  microsPerFrame_ = effectiveMicros_ >= 0.0
                        ? effectiveMicros_
                        : microsBetween(frameStartCount_, sink_.counterNow(), ticksPerSecond_);

  // 64-bit sum: the clock may be anywhere in its 32-bit range.
  if (int64_t{sink_.clockMillis()} <= int64_t{lastRefreshTick_} + kRefreshIntervalMillis) {
    return FrameAnswer::Continue;
  }
  if (sink_.cancelRequested()) return FrameAnswer::Cancel;

  const int64_t frames = remainingFrames(passCount_, frameCount_, pass, slot, frame);
  remainingSeconds_ = analyser::remainingSeconds(frames, microsPerFrame_);
  const double total = static_cast<double>(passCount_) * 6.0 * frameCount_;
  const double done = total - static_cast<double>(frames) + 1.0;
  sink_.progress(total > 0 ? done / total : 1.0, remainingSeconds_);
  sink_.letMessagesThrough();
  lastRefreshTick_ = sink_.clockMillis();
  return FrameAnswer::Continue;
}

FrameAnswer ProgressReporter::waiting() {
  if (int64_t{sink_.clockMillis()} <= int64_t{lastRefreshTick_} + kRefreshIntervalMillis) {
    return FrameAnswer::Continue;
  }
  if (sink_.cancelRequested()) return FrameAnswer::Cancel;
  sink_.letMessagesThrough();
  lastRefreshTick_ = sink_.clockMillis();
  return FrameAnswer::Continue;
}

}  // namespace analyser
