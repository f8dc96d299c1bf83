// The progress reporting of the extraction: times every frame estimate on the sink's counter
// and, at most every 100 ms of its clock, reports the estimated time left, lets messages through
// and answers a pending cancel request.
#pragma once

#include <cstdint>

#include "progress_hook.h"
#include "progress_sink.h"

namespace analyser {

// A report happens only when the clock has passed the last one by more than this.
inline constexpr int32_t kRefreshIntervalMillis = 100;

// Estimates still to do, counting the one just finished:
// ((passCount - 1 - pass) * 6 + (5 - slot)) * frameCount + (frameCount - frame).
// At most 4 * 6 * 36001 = 864,024 within the frame tables; kept in 64 bits so that no count a
// caller passes can overflow it.
int64_t remainingFrames(int passCount, int32_t frameCount, int pass, int slot, int32_t frame);

// Microseconds between two counter readings: (now - start) * 1,000,000 / ticksPerSecond, the
// multiplication first and the division truncating. A counter that went backwards gives 0.
double microsBetween(int64_t start, int64_t now, int64_t ticksPerSecond);

// (frames * microsPerFrame + 999999) / 1,000,000: whole seconds rounded up once truncated.
double remainingSeconds(int64_t frames, double microsPerFrame);

class ProgressReporter final : public ProgressHook {
 public:
  explicit ProgressReporter(ProgressSink& sink);

  // Notes the clock as the last report and tells the sink that the estimates start.
  // `ticksPerSecond` must be positive.
  void open(int64_t ticksPerSecond, int passCount, int32_t frameCount);

  void beginFrame() override;
  FrameAnswer endFrame(int pass, int slot, int32_t frame) override;
  void effectiveFrameMicros(double micros) override { effectiveMicros_ = micros; }
  // Between frames: at most every 100 ms, answers a pending cancel or lets messages through
  // (the time left is not reported again).
  FrameAnswer waiting() override;

  double microsPerFrame() const { return microsPerFrame_; }
  double remainingSeconds() const { return remainingSeconds_; }

 private:
  ProgressSink& sink_;
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
