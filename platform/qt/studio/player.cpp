#include "player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>

namespace studio {

namespace {

constexpr int kRate = 44100;

}  // namespace

Player::Player(QObject* parent) : QObject(parent) {}

Player::~Player() {
  if (sink_) sink_->stop();
}

bool Player::outputAvailable() {
  return !QMediaDevices::defaultAudioOutput().isNull();
}

bool Player::play(const std::vector<int16_t>& samples, int channels, double startSeconds) {
  stop();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull() || channels < 1 || channels > 2) return false;
  QAudioFormat format;
  format.setSampleRate(kRate);
  format.setChannelCount(channels);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format)) return false;

  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  const double clamped = std::clamp(startSeconds, 0.0, static_cast<double>(frames) / kRate);
  // Whole frames only, so that the channels stay in step.
  const auto firstFrame = std::min(frames, static_cast<std::size_t>(std::floor(clamped * kRate)));
  const std::size_t first = firstFrame * static_cast<std::size_t>(channels);
  pcm_ = QByteArray(reinterpret_cast<const char*>(samples.data() + first),
                    static_cast<qsizetype>((samples.size() - first) * sizeof(int16_t)));
  buffer_.close();
  buffer_.setData(pcm_);
  buffer_.open(QIODevice::ReadOnly);
  startSeconds_ = static_cast<double>(firstFrame) / kRate;

  sink_ = std::make_unique<QAudioSink>(device, format);
  connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (state == QAudio::IdleState || state == QAudio::StoppedState) {
      // Deleting the sink inside its own signal is not allowed; leave that to the event loop.
      QMetaObject::invokeMethod(
          this, [this] { stop(); }, Qt::QueuedConnection);
    }
  });
  sink_->start(&buffer_);
  if (sink_->error() != QAudio::NoError) {
    sink_.reset();
    return false;
  }
  return true;
}

void Player::stop() {
  if (!sink_) return;
  std::unique_ptr<QAudioSink> sink = std::move(sink_);
  sink->disconnect(this);
  sink->stop();
  buffer_.close();
  Q_EMIT stopped();
}

double Player::positionSeconds() const {
  if (!sink_) return startSeconds_;
  return startSeconds_ + static_cast<double>(sink_->processedUSecs()) / 1e6;
}

}  // namespace studio
