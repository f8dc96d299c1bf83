// Renders a MIDI file with the media layer on a worker thread, so that a long rendering does
// not stop the window; its progress and outcome are delivered on the GUI thread, and it can be
// cancelled at any time.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "render.h"

namespace studio {

class RenderJob : public QObject {
  Q_OBJECT

 public:
  explicit RenderJob(QObject* parent = nullptr);
  // Cancels a running rendering and waits for it (a block of samples at most).
  ~RenderJob() override;

  // False (nothing started) while a rendering runs. The options' progress and cancel are the
  // job's own.
  bool start(std::vector<uint8_t> smf, media::RenderOptions options);
  bool running() const { return thread_.joinable(); }
  // Asks the running rendering to stop: it finishes with msg::kCancelled and no samples.
  void cancel() { cancel_ = true; }

 Q_SIGNALS:
  // A few times a second: the fraction done and the seconds left (negative while unknown).
  void progress(double fractionDone, double secondsLeft);
  // `message` is "" on success, else the media layer's message; `stereo` the samples.
  void finished(const std::string& message, const std::vector<int16_t>& stereo);

 private:
  std::thread thread_;
  std::atomic<bool> cancel_{false};
};

}  // namespace studio
