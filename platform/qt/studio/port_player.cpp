#include "port_player.h"

#include <QMetaObject>
#include <memory>

#include "midi_player.h"
#include "platform_services.h"

namespace studio {

PortPlayer::PortPlayer(QObject* parent) : QObject(parent) {}

PortPlayer::~PortPlayer() {
  stop_ = true;
  join();
}

QStringList PortPlayer::portNames() {
  QStringList names;
  for (const std::string& name : ports::listMidiPorts()) names << qtfront::toQString(name);
  return names;
}

QString PortPlayer::play(const std::vector<uint8_t>& midi, const QString& port,
                         double startSeconds) {
  stop();
  ports::OpenedPort opened = ports::openMidiPort(qtfront::toUtf8(port));
  if (!opened.port) return qtfront::toQString(opened.error);
  midi_ = midi;
  startSeconds_ = startSeconds;
  startedAt_ = std::chrono::steady_clock::now();
  stop_ = false;
  std::shared_ptr<ports::MidiOut> out(std::move(opened.port));
  const int generation = ++generation_;
  thread_ = std::thread([this, out, generation] {
    ports::PlayOptions options;
    options.startSeconds = startSeconds_;
    options.stop = &stop_;
    const ports::PlayOutcome outcome = ports::playMidi(*out, midi_, options);
    const QString message = qtfront::toQString(outcome.message);
    // The window learns of the end on its own thread, where the playing thread is joined.
    QMetaObject::invokeMethod(
        this,
        [this, message, generation] {
          // A play stopped or replaced meanwhile has said so already.
          if (generation != generation_) return;
          join();
          Q_EMIT stopped(message);
        },
        Qt::QueuedConnection);
  });
  return {};
}

void PortPlayer::stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  ++generation_;
  join();
  Q_EMIT stopped(QString());
}

void PortPlayer::join() {
  if (thread_.joinable()) thread_.join();
}

double PortPlayer::positionSeconds() const {
  if (!playing()) return startSeconds_;
  return startSeconds_ +
         std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count();
}

}  // namespace studio
