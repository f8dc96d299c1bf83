#include "render_job.h"

#include <QMetaObject>
#include <chrono>
#include <memory>
#include <utility>

namespace studio {

namespace {

// The bar moves smoothly at this rate without flooding the GUI thread's queue.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

}  // namespace

RenderJob::RenderJob(QObject* parent) : QObject(parent) {}

RenderJob::~RenderJob() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

bool RenderJob::start(std::vector<uint8_t> smf, media::RenderOptions options) {
  if (running()) return false;
  cancel_ = false;
  options.cancel = &cancel_;
  options.progress = [this, last = std::chrono::steady_clock::time_point()](
                         double fraction, double secondsLeft) mutable {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < kProgressInterval) return;
    last = now;
    QMetaObject::invokeMethod(
        this, [this, fraction, secondsLeft] { Q_EMIT progress(fraction, secondsLeft); },
        Qt::QueuedConnection);
  };
  thread_ = std::thread([this, smf = std::move(smf), options = std::move(options)] {
    auto stereo = std::make_shared<std::vector<int16_t>>();
    auto message = std::make_shared<std::string>(media::renderMidi(smf, options, *stereo));
    if (!message->empty()) stereo->clear();
    // Back on the GUI thread: the work is done, so the join there returns at once.
    QMetaObject::invokeMethod(
        this,
        [this, stereo, message] {
          if (thread_.joinable()) thread_.join();
          Q_EMIT finished(*message, *stereo);
        },
        Qt::QueuedConnection);
  });
  return true;
}

}  // namespace studio
