// Where an analysis reports its progress, and where it learns that it should stop. The sink gets
// numbers only; a front end turns them into whatever it shows. It also lends the analysis its
// clocks, so that the front end's idea of time (a real counter, or a scripted one in tests)
// times the estimates.
#pragma once

#include <cstdint>

namespace analyser {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;

  // Ticks per second of counterNow(); positive.
  virtual int64_t counterTicksPerSecond() = 0;
  // A monotonic high-resolution counter, read around every estimate.
  virtual int64_t counterNow() = 0;
  // A monotonic millisecond clock, which paces the reports.
  virtual int32_t clockMillis() = 0;

  // The estimates are about to start: the place to show a progress display and to arm the
  // cancel request.
  virtual void started() {}
  // At most every 100 ms: the share of the estimates done (0 to 1, counting the one just
  // finished) and the estimated seconds left (rounded up once truncated to whole seconds).
  virtual void progress(double fractionDone, double secondsLeft) = 0;
  // After every report, and every 100 ms while the work between two estimates goes on: lets
  // the front end handle pending user input, which may request a cancel.
  virtual void letMessagesThrough() {}
  // True once the front end asked the analysis to stop; it stops at its next report.
  virtual bool cancelRequested() = 0;
};

}  // namespace analyser
