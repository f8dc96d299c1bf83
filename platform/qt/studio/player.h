// Plays 44.1 kHz 16-bit PCM (the recording or the rendering) on the default audio output
// through Qt Multimedia, from a given time, and tells where it is.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <memory>
#include <vector>

class QAudioSink;

namespace studio {

class Player : public QObject {
  Q_OBJECT

 public:
  explicit Player(QObject* parent = nullptr);
  ~Player() override;

  // False when the system has no audio output device.
  static bool outputAvailable();

  // Starts playing `samples` (interleaved, `channels` of them) at `startSeconds`. False when
  // there is no audio output or the sink could not start; nothing plays then.
  bool play(const std::vector<int16_t>& samples, int channels, double startSeconds);
  void stop();
  bool playing() const { return sink_ != nullptr; }
  // Seconds into the samples of what has been heard so far.
  double positionSeconds() const;

 Q_SIGNALS:
  // The end was reached or stop() was called.
  void stopped();

 private:
  std::unique_ptr<QAudioSink> sink_;
  QByteArray pcm_;
  QBuffer buffer_;
  double startSeconds_ = 0.0;
};

}  // namespace studio
