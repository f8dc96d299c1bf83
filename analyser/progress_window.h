// The progress window's logic: times every frame estimate on the high-resolution counter and,
// at most every 100 ms of the process clock, shows the remaining time, lets window messages
// through and reports a pending cancel request.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "environment.h"
#include "progress_hook.h"

namespace analyser {

// A refresh happens only when the clock has passed the last refresh by more than this.
inline constexpr int32_t kRefreshIntervalMillis = 100;

// Estimates still to do, counting the one just finished:
// ((passCount - 1 - pass) * 6 + (5 - slot)) * frameCount + (frameCount - frame).
// At most 4 * 6 * 36001 = 864,024 within the frame tables; kept in 64 bits so that no count a
// caller passes can overflow it.
int64_t remainingFrames(int passCount, int32_t frameCount, int pass, int slot, int32_t frame);

// Microseconds between two counter readings: (now - start) * 1,000,000 / ticksPerSecond, the
// multiplication first and the division truncating. A counter that went backwards gives 0.
double microsBetween(int64_t start, int64_t now, int64_t ticksPerSecond);

// (frames * microsPerFrame + 999999) / 1,000,000: whole seconds rounded up once the label
// truncates it.
double remainingSeconds(int64_t frames, double microsPerFrame);

// "残り時間約N秒", N the integer part of `seconds`.
std::string remainingLabel(double seconds);

class ProgressReporter final : public ProgressHook {
 public:
  ProgressReporter(common::ProgressEnvironment& env, const std::atomic<int>& cancelFlag);

  // Notes the clock as the last refresh and opens the progress window (the extraction runs on
  // without one when that fails). `ticksPerSecond` must be positive.
  void open(int64_t ticksPerSecond, int passCount, int32_t frameCount);

  void beginFrame() override;
  FrameAnswer endFrame(int pass, int slot, int32_t frame) override;
  void effectiveFrameMicros(double micros) override { effectiveMicros_ = micros; }
  // Between frames: at most every 100 ms, reports a pending cancel or lets messages through
  // (the remaining time is left as the last frame showed it).
  FrameAnswer waiting() override;

  double microsPerFrame() const { return microsPerFrame_; }
  double remainingSeconds() const { return remainingSeconds_; }

 private:
  common::ProgressEnvironment& env_;
  const std::atomic<int>& cancelFlag_;
  int64_t ticksPerSecond_ = 1;
  int passCount_ = 1;
  int32_t frameCount_ = 1;
  int64_t frameStartCount_ = 0;
  double microsPerFrame_ = 0.0;
  double effectiveMicros_ = -1.0;  // supplied for the current frame, or -1
  int32_t lastRefreshTick_ = 0;
  double remainingSeconds_ = 0.0;
};

}  // namespace analyser
