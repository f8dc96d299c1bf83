// The analysis stage on a worker thread, for the studio window: the recording the document has
// decoded goes in, progress comes out as numbers, and the outcome with its note frames is
// delivered on the GUI thread. A cancel raises a flag that the stage reads at its next report.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "note_frames.h"

namespace media {
struct Recording;
}

namespace studio {

struct AnalysisRequest {
  std::string method = "seed";  // a name from the analysis method registry
  bool optimise = false;        // the seed's only
  // The frame rate: the seed's sounding unit (15, 20, 30 or 60), the tracking's 60, 120 or 240.
  int unitsPerSecond = 60;
  bool onsetShift = false;  // the seed's only
  int voices = 6;           // of a method of free polyphony (the tracking's 4 to 15)
  int threads = 0;          // worker threads of the extraction; 0 = every hardware thread
};

class AnalysisJob : public QObject {
  Q_OBJECT

 public:
  explicit AnalysisJob(QObject* parent = nullptr);
  // Cancels a running analysis and waits for its thread.
  ~AnalysisJob() override;

  // Analyses `recording`, which must stay unchanged until `finished`. False (and nothing
  // started) while an analysis is running.
  bool start(const media::Recording& recording, const AnalysisRequest& request);
  void cancel();
  bool running() const { return thread_.joinable(); }
  // The frames of the analysis that finished last with `written`.
  common::NoteFrames takeFrames() { return std::move(frames_); }

 Q_SIGNALS:
  // The share of the estimates done (0 to 1) and the seconds left.
  void progress(double fractionDone, double secondsLeft);
  // The stage's fixed message, and whether note frames were made.
  void finished(const QString& message, bool written);

 private:
  void join();

  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  common::NoteFrames frames_;
};

}  // namespace studio
