// The progress window as a progress sink: the convert command's window (or whatever stands in
// for it) shows the time left as "残り時間約N秒", and its closing or cancel button raises the
// command's cancel flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "environment.h"
#include "progress_reporter.h"

namespace analyser {

// "残り時間約N秒", N the integer part of `seconds`.
std::string remainingLabel(double seconds);

class ProgressWindowSink : public ProgressSink {
 public:
  // `ticksPerSecond` as the environment's counter gave it (positive).
  ProgressWindowSink(common::ProgressEnvironment& env, std::atomic<int>& cancelFlag,
                     int64_t ticksPerSecond = 1);

  int64_t counterTicksPerSecond() override { return ticksPerSecond_; }
  int64_t counterNow() override { return env_.counterNow(); }
  int32_t clockMillis() override { return env_.clockMillis(); }
  // Opens the progress window (the estimates go on without one when that fails) and clears the
  // cancel flag, which the window raises whenever it goes away.
  void started() override;
  // Shows the label, while the window is open.
  void progress(double fractionDone, double secondsLeft) override;
  void letMessagesThrough() override { env_.pumpMessages(); }
  bool cancelRequested() override { return cancelFlag_.load() == 1; }

 private:
  common::ProgressEnvironment& env_;
  std::atomic<int>& cancelFlag_;
  int64_t ticksPerSecond_;
};

}  // namespace analyser
