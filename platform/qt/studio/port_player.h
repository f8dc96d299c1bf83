// Plays the studio's MIDI file to a MIDI output port on a thread of its own, from a given time,
// and tells where it is; the window hears of the end, a stop or a vanished port by a signal.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace studio {

class PortPlayer : public QObject {
  Q_OBJECT

 public:
  explicit PortPlayer(QObject* parent = nullptr);
  ~PortPlayer() override;

  // The MIDI output ports there are now.
  static QStringList portNames();

  // Opens `port` and plays `midi` from `startSeconds` of the file. Returns "" or why nothing
  // plays (no such port, or it did not open).
  QString play(const std::vector<uint8_t>& midi, const QString& port, double startSeconds);
  // Stops (the port's channels are reset) and waits for the playing thread.
  void stop();
  bool playing() const { return thread_.joinable(); }
  // Seconds of the file played so far.
  double positionSeconds() const;

 Q_SIGNALS:
  // The end was reached, stop() was called, or the port went (`message` then says so).
  void stopped(const QString& message);

 private:
  void join();

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::vector<uint8_t> midi_;
  int generation_ = 0;  // counts the plays, so that a finished one's news is not taken late
  double startSeconds_ = 0.0;
  std::chrono::steady_clock::time_point startedAt_;
};

}  // namespace studio
