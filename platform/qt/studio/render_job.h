// Renders a MIDI file with the media layer on a worker thread, so that a long rendering does
// not stop the window; the outcome is delivered on the GUI thread.
#pragma once

#include <QObject>
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
  // Waits for a running rendering (libfluidsynth cannot be interrupted mid-file).
  ~RenderJob() override;

  // False (nothing started) while a rendering runs.
  bool start(std::vector<uint8_t> smf, const media::RenderOptions& options);
  bool running() const { return thread_.joinable(); }

 Q_SIGNALS:
  // `message` is "" on success, else the media layer's message; `stereo` the samples.
  void finished(const std::string& message, const std::vector<int16_t>& stereo);

 private:
  std::thread thread_;
};

}  // namespace studio
