// Sevrane's convert command, independent of any front end: it reads the options from the
// environment's controls, runs one conversion and shows one message.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "alloc_registry.h"
#include "analysis_settings.h"
#include "control_model.h"
#include "environment.h"
#include "wave_loader.h"

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

// The analyser window's controls: the radio groups with their command-line spellings and the
// window's initial state.
const common::ControlModel& analyserControls();

// Where the convert command gets its signal from, when not from loadWave on a ".wav" file:
// another loader (e.g. one that decodes any recording) and the DAT path that goes with it.
struct SignalSource {
  // Loads `path` into a WaveSignal, its buffers from the registry (as loadWave does).
  std::function<LoadResult(common::AllocationRegistry&, const std::string&)> load;
  std::function<std::string(const std::string&)> outputPath;  // DAT path for an input path
  bool anyExtension = false;  // skip the "wav" ending check (an empty name is still refused)
};

class AnalysisState;

class AnalyserCommand {
 public:
  explicit AnalyserCommand(common::ProgressEnvironment& env);
  // With a registry owned by the caller (tests pass one with a refusing allocator).
  AnalyserCommand(common::ProgressEnvironment& env, common::AllocationRegistry& registry);
  ~AnalyserCommand();
  AnalyserCommand(const AnalyserCommand&) = delete;
  AnalyserCommand& operator=(const AnalyserCommand&) = delete;

  // The convert command. Returns at once (no message) while a conversion is running.
  void convert();
  bool busy() const;
  // Raises the cancel flag; the running conversion stops at its next progress check.
  void requestCancel();
  // Worker threads for the estimates (0 = all hardware threads).
  void setThreadCount(int threads);
  int threadCount() const { return threads_; }
  // The format of the WAVE file the last conversion loaded (or refused), as the loader read it.
  const WaveFormat& lastFormat() const { return lastFormat_; }
  // Loads through `source` from now on; a source without a loader restores loadWave and
  // datPathFor.
  void setSignalSource(SignalSource source);
  // The analysis method by name ("seed" unless set); an unknown one ends every conversion with
  // its refusal.
  void setMethod(std::string name) { method_ = std::move(name); }
  const std::string& method() const { return method_; }
  // Voices and frame rate asked of the method (0 = its own), as AnalysisOptions holds them.
  void setVoices(int32_t voices, int32_t framesPerSecond) {
    voices_ = voices;
    framesPerSecond_ = framesPerSecond;
  }
  // The note-frame file's name when not empty; else beside the input (or the source's name).
  // Frames that common::storedAsDat keeps in a DAT file are written as one; others as a wide
  // file, beside the input with ".wdat" in place of ".dat".
  void setOutputPath(std::string path) { outputPath_ = std::move(path); }
  // The note-frame file the last conversion wrote (or meant to write).
  const std::string& writtenPath() const { return writtenPath_; }

 private:
  class Sink;
  void finish(std::string message);

  common::ProgressEnvironment& env_;
  std::unique_ptr<common::AllocationRegistry> ownRegistry_;
  common::AllocationRegistry& registry_;
  std::unique_ptr<AnalysisState> analysis_;
  std::atomic<int> busyFlag_{0};
  std::atomic<int> cancelFlag_{0};
  int threads_ = 0;
  std::string method_ = "seed";
  int32_t voices_ = 0;
  int32_t framesPerSecond_ = 0;
  std::string outputPath_;
  std::string writtenPath_;
  SignalSource source_;
  WaveFormat lastFormat_;
};

// The options as the window's radio buttons give them: unitsPerSecond falls back to 15 and is
// then set by 1/20, 1/30 and 1/60 in that order (the last checked one wins); onsetShift follows
// "有り" alone; passCount is 1 with "しない", else 4.
AnalysisSettings readAnalysisSettings(const common::Environment& env);

// The field's text without trailing white space (leading white space stays).
std::string trimTrailingSpace(const std::string& text);

// True when the last three characters, lower-cased, are "wav".
bool endsInWav(const std::string& path);

// The input path without its last four characters, then ".dat". Characters are counted as
// UTF-8 code points so that a multi-byte character is never cut; a shorter path loses all.
std::string datPathFor(const std::string& wavePath);

}  // namespace analyser
