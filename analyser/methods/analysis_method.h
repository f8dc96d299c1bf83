// The seam between the analysis stage and the ways of analysing a recording. A method turns the
// loaded signal into note frames with as many voices as it likes, at its own frame rate, and
// reports its progress to the sink; the stage finds it by name.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "analysis_settings.h"
#include "note_frames.h"
#include "progress_sink.h"
#include "wave_loader.h"

namespace analyser {

// What a conversion asks of the analysis.
struct AnalysisOptions {
  std::string method = "seed";  // by name, see findMethod
  AnalysisSettings settings;    // frame rate, onset shift, passes
  int threads = 0;              // worker threads; 0 = all hardware threads
  // Voices and frame rate asked of a method that lets them be chosen; 0 = the method's own.
  // The seed's analysis has its own (eight slots at its unit) and takes no others.
  int32_t voices = 0;
  int32_t framesPerSecond = 0;
};

enum class AnalysisStatus {
  Written,    // the note frames are there
  Refused,    // the request or the signal was refused before any estimate
  Failed,     // the method could not finish its work
  Cancelled,  // the sink asked to stop
};

struct AnalysisOutcome {
  AnalysisStatus status = AnalysisStatus::Failed;
  std::string_view message;   // a fixed text: kFinished, kCancelled or the reason
  common::NoteFrames frames;  // empty unless Written
};

class AnalysisMethod {
 public:
  virtual ~AnalysisMethod() = default;
  virtual std::string_view name() const = 0;
  // Analyses `signal` as `options` asks. A method keeps whatever storage it needs from one call
  // to the next.
  virtual AnalysisOutcome run(const WaveSignal& signal, const AnalysisOptions& options,
                              ProgressSink& sink) = 0;
};

struct MethodEntry {
  std::string_view name;
  std::unique_ptr<AnalysisMethod> (*make)();
};

// Every method there is, the seed's analysis by synthesis ("seed") first, then those added by
// registerAnalysisMethod in the order they were added.
std::span<const MethodEntry> analysisMethods();
// Adds a method that a layer above the core provides (one that needs a library the core does
// not use). Call it at start-up, before any analysis runs. A name that is already there is
// not added again; returns whether the entry was added.
bool registerAnalysisMethod(const MethodEntry& entry);
// The method called `name`; null when there is none.
const MethodEntry* findMethod(std::string_view name);

// The checks of a request that need all of it, in sevrane-cli's words: the method by name, and
// the voices and frame rate it takes. The seed's analysis has six voices at `unitRate` (the
// unit's frames a second) and nothing else; the other methods take 4 to 15 voices, and 0 voices
// or frame rate become their defaults, six at 60 a second. "" when all pass.
std::string checkMethodRequest(std::string_view method, int32_t unitRate, int32_t& voices,
                               int32_t& framesPerSecond);

}  // namespace analyser
