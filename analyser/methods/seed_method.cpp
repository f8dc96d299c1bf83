#include "seed_method.h"

#include "messages.h"
#include "parallel_extraction.h"
#include "partial_extraction.h"
#include "progress_reporter.h"

namespace analyser {

namespace {

class SeedMethod final : public AnalysisMethod {
 public:
  std::string_view name() const override { return kSeedMethodName; }

  AnalysisOutcome run(const WaveSignal& signal, const AnalysisOptions& options,
                      ProgressSink& sink) override {
    const AnalysisSettings& settings = options.settings;
    const int32_t frameCount = frameCountFor(signal.sampleCount, settings.frameLength);
    // Cannot happen within the loader's length limit.
    if (frameCount > AnalyserTables::kFrames) {
      return {AnalysisStatus::Refused, msg::kAudioTooLong, {}};
    }

    prepareAnalysis(tables_);
    ProgressReporter reporter(sink);
    reporter.open(sink.counterTicksPerSecond(), settings.passCount, frameCount);
    ExtractionOptions extraction;
    extraction.threads = options.threads;
    if (extractPartialsParallel(signal, settings, tables_, reporter, extraction) ==
        ExtractionResult::Cancelled) {
      return {AnalysisStatus::Cancelled, msg::kCancelled, {}};
    }
    common::NoteFrames frames = noteFramesFromTables(tables_, frameCount, settings);
    frames.method = kSeedMethodName;
    return {AnalysisStatus::Written, msg::kFinished, std::move(frames)};
  }

 private:
  AnalyserTables tables_;  // the frame tables, kept for the next conversion
};

}  // namespace

std::unique_ptr<AnalysisMethod> makeSeedMethod() {
  return std::make_unique<SeedMethod>();
}

}  // namespace analyser
