#include "analysis_job.h"

#include <QMetaObject>
#include <atomic>
#include <utility>

#include "analyser_window.h"
#include "messages.h"
#include "platform_services.h"
#include "recording.h"
#include "wave_loader.h"

namespace studio {

// The command's environment on the worker thread. Its answers come from the request alone; what
// the user must see is posted to the job on the GUI thread.
class AnalysisJob::Environment final : public common::ProgressEnvironment {
 public:
  Environment(AnalysisJob* job, AnalysisRequest request)
      : job_(job), request_(std::move(request)), command_(*this) {
    command_.setThreadCount(request_.threads);
    // Either loader, but the DAT file always goes where the request says.
    analyser::SignalSource source;
    if (request_.anyRecording) {
      source = media::anyRecordingSource();
    } else {
      source.load = analyser::loadWave;
    }
    source.outputPath = [dat = request_.datPath](const std::string&) { return dat; };
    command_.setSignalSource(std::move(source));
  }

  analyser::AnalyserCommand& command() { return command_; }
  const AnalysisRequest& request() const { return request_; }
  const std::string& message() const { return message_; }

  std::string controlText(int id) const override {
    return id == analyser::kWaveFileField ? request_.inputPath : std::string();
  }
  void setControlText(int, std::string_view) override {}
  bool isRadioChecked(int id) const override {
    switch (id) {
      case analyser::kOptimiseOn:
        return request_.optimise;
      case analyser::kOptimiseOff:
        return !request_.optimise;
      case analyser::kShiftOn:
        return request_.onsetShift;
      case analyser::kShiftOff:
        return !request_.onsetShift;
      case analyser::kUnit15:
        return request_.unitsPerSecond == 15;
      case analyser::kUnit20:
        return request_.unitsPerSecond == 20;
      case analyser::kUnit30:
        return request_.unitsPerSecond == 30;
      case analyser::kUnit60:
        return request_.unitsPerSecond == 60;
      default:
        return false;
    }
  }
  // The command shows exactly one message, at its end; the job reports it when the thread ends.
  void showMessage(std::string_view text, common::MessageIcon) override { message_ = text; }

  bool counterFrequency(int64_t& ticksPerSecond) override {
    return clock_.counterFrequency(ticksPerSecond);
  }
  int64_t counterNow() override { return clock_.counterNow(); }
  int32_t clockMillis() override { return clock_.clockMillis(); }

  // The studio's progress bar stands in for the progress window; it is part of the main window.
  bool openProgressWindow() override {
    progressOpen_ = true;
    return true;
  }
  void closeProgressWindow() override { progressOpen_ = false; }
  bool progressWindowOpen() const override { return progressOpen_; }
  void refreshProgress(std::string_view label, double fractionDone) override {
    const QString text = qtfront::toQString(label);
    QMetaObject::invokeMethod(
        job_, [job = job_, text, fractionDone] { Q_EMIT job->progress(text, fractionDone); },
        Qt::QueuedConnection);
  }
  // The GUI thread runs its own event loop; there is nothing to let through here. The command
  // clears its cancel flag when the extraction starts, so a cancel that came earlier (while the
  // recording was loading) is raised again at every pump.
  void pumpMessages() override {
    if (cancelRequested_.load()) command_.requestCancel();
  }

  void cancel() {
    cancelRequested_ = true;
    command_.requestCancel();
  }

 private:
  AnalysisJob* job_;
  AnalysisRequest request_;
  analyser::AnalyserCommand command_;
  qtfront::MonotonicClock clock_;
  std::string message_;
  bool progressOpen_ = false;
  std::atomic<bool> cancelRequested_{false};
};

AnalysisJob::AnalysisJob(QObject* parent) : QObject(parent) {}

AnalysisJob::~AnalysisJob() {
  cancel();
  join();
}

bool AnalysisJob::start(const AnalysisRequest& request) {
  if (running()) return false;
  env_ = std::make_shared<Environment>(this, request);
  thread_ = std::thread([this, env = env_] {
    env->command().convert();
    // Back on the GUI thread: the thread has done its work, so joining it there is immediate.
    QMetaObject::invokeMethod(
        this,
        [this, env] {
          join();
          const bool written = env->message() == msg::kFinished;
          Q_EMIT finished(qtfront::toQString(env->message()), written);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void AnalysisJob::cancel() {
  if (env_) env_->cancel();
}

void AnalysisJob::join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace studio
