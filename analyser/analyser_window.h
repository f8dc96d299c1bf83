// Sevrane's convert command, independent of any front end: it reads the options from the
// environment's controls, runs one conversion and shows one message.
#pragma once

#include <atomic>

#include "environment.h"

namespace analyser {

// Control ids of the analyser window.
enum AnalyserControl : int {
  kWaveFileField = 1000,
  kBrowseButton = 1001,
  kConvertButton = 1002,
  kExitButton = 1003,
  kUnit15 = 1005,
  kUnit20 = 1006,
  kUnit30 = 1007,
  kUnit60 = 1008,
  kShiftOn = 1009,
  kShiftOff = 1010,
  kOptimiseOff = 1011,
  kOptimiseOn = 1012,
};

class AnalyserCommand {
 public:
  explicit AnalyserCommand(common::ProgressEnvironment& env);
  ~AnalyserCommand();

  // The convert command. Returns at once (no message) while a conversion is running.
  void convert();
  bool busy() const;
  // Raises the cancel flag; the running conversion stops at its next progress check.
  void requestCancel();
  // Worker threads for the estimates (0 = all hardware threads).
  void setThreadCount(int threads);
};

}  // namespace analyser
