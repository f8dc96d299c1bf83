#include "render_job.h"

#include <QMetaObject>
#include <memory>
#include <utility>

namespace studio {

RenderJob::RenderJob(QObject* parent) : QObject(parent) {}

RenderJob::~RenderJob() {
  if (thread_.joinable()) thread_.join();
}

bool RenderJob::start(std::vector<uint8_t> smf, const media::RenderOptions& options) {
  if (running()) return false;
  thread_ = std::thread([this, smf = std::move(smf), options] {
    auto stereo = std::make_shared<std::vector<int16_t>>();
    auto message = std::make_shared<std::string>(media::renderMidi(smf, options, *stereo));
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
