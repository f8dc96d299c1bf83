#include "analysis_job.h"

#include <QMetaObject>
#include <utility>

#include "alloc_registry.h"
#include "analysis.h"
#include "partial_extraction.h"
#include "platform_services.h"
#include "recording.h"
#include "wave_loader.h"

namespace studio {

namespace {

// The stage's sink on the worker thread: the studio's clocks, progress posted to the job on the
// GUI thread, and the job's cancel flag.
class JobSink final : public analyser::ProgressSink {
 public:
  JobSink(AnalysisJob* job, std::shared_ptr<std::atomic<bool>> cancel)
      : job_(job), cancel_(std::move(cancel)) {}

  int64_t counterTicksPerSecond() override {
    int64_t ticks = 0;
    return clock_.counterFrequency(ticks) && ticks > 0 ? ticks : 1000000000;
  }
  int64_t counterNow() override { return clock_.counterNow(); }
  int32_t clockMillis() override { return clock_.clockMillis(); }
  void progress(double fractionDone, double secondsLeft) override {
    QMetaObject::invokeMethod(
        job_,
        [job = job_, fractionDone, secondsLeft] {
          Q_EMIT job->progress(fractionDone, secondsLeft);
        },
        Qt::QueuedConnection);
  }
  bool cancelRequested() override { return cancel_->load(); }

 private:
  AnalysisJob* job_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  qtfront::MonotonicClock clock_;
};

}  // namespace

AnalysisJob::AnalysisJob(QObject* parent) : QObject(parent) {}

AnalysisJob::~AnalysisJob() {
  cancel();
  join();
}

bool AnalysisJob::start(const media::Recording& recording, const AnalysisRequest& request) {
  if (running()) return false;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, &recording, request, cancel = cancel_] {
    analyser::AnalysisOptions options;
    options.method = request.method;
    options.threads = request.threads;
    options.voices = request.voices;
    options.settings.passCount = request.optimise ? 4 : 1;
    options.settings.onsetShift = request.onsetShift ? 1 : 0;
    options.settings.unitsPerSecond = request.unitsPerSecond;
    options.settings.frameLength = analyser::frameLengthFor(request.unitsPerSecond);

    // The signal is built from the samples the studio decoded, mixed as the WAVE loader mixes
    // a file's, so the frames equal the command line's for the same recording.
    common::AllocationRegistry registry;
    const int channels = recording.channels > 0 ? recording.channels : 1;
    const analyser::LoadResult loaded = analyser::signalFromSamples(
        registry, recording.samples.data(),
        static_cast<int64_t>(recording.samples.size()) / channels, recording.channels);
    auto outcome = std::make_shared<analyser::AnalysisOutcome>();
    if (loaded.status == analyser::LoadStatus::Loaded) {
      JobSink sink(this, cancel);
      analyser::AnalysisState state;
      *outcome = analyser::analyse(state, loaded.wave, options, sink);
    } else {
      outcome->status = loaded.status == analyser::LoadStatus::MemoryFailure
                            ? analyser::AnalysisStatus::Failed
                            : analyser::AnalysisStatus::Refused;
      outcome->message = loaded.message;
    }
    registry.freeAll();
    // Back on the GUI thread: the thread has done its work, so joining it there is immediate.
    QMetaObject::invokeMethod(
        this,
        [this, outcome, message = std::string(outcome->message)] {
          join();
          const bool written = outcome->status == analyser::AnalysisStatus::Written;
          if (written) frames_ = std::move(outcome->frames);
          Q_EMIT finished(qtfront::toQString(message), written);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void AnalysisJob::cancel() {
  if (cancel_) cancel_->store(true);
}

void AnalysisJob::join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace studio
