#include <QFileInfo>
#include <algorithm>

#include "platform_services.h"
#include "render.h"
#include "studio_window.h"

namespace studio {

QString summaryOf(const StudioDocument& document) {
  const QString name = QFileInfo(qtfront::toQString(document.sourcePath())).fileName();
  if (document.empty()) {
    return StudioWindow::tr("Open a recording (File > Open, drag and drop, or a file argument).");
  }
  const common::NoteFrames& frames = document.frames();
  if (!document.hasRecording() && document.framesWide()) {
    return StudioWindow::tr("%1: wide note-frame file, %2 voices, %3 frames of 1/%4 s")
        .arg(name)
        .arg(frames.voices)
        .arg(frames.frameCount())
        .arg(frames.framesPerSecond);
  }
  if (!document.hasRecording()) {
    return StudioWindow::tr("%1: DAT file, %2 frames").arg(name).arg(frames.frameCount());
  }
  const media::Recording& recording = document.recording();
  const media::RecordingInfo& info = recording.info;
  const QString channels =
      recording.channels == 1 ? StudioWindow::tr("mono") : StudioWindow::tr("stereo");
  QString text = StudioWindow::tr("%1: %2 s, %3 Hz, %4")
                     .arg(name)
                     .arg(info.seconds(), 0, 'f', 2)
                     .arg(info.sourceRate)
                     .arg(info.sourceChannels == 1 ? StudioWindow::tr("mono")
                          : info.sourceChannels == 2
                              ? StudioWindow::tr("stereo")
                              : StudioWindow::tr("%1 channels").arg(info.sourceChannels));
  // A file read as it is was 16-bit PCM WAVE; what a converted one was, libsndfile says.
  text += info.converted ? StudioWindow::tr("; %1, converted to 44100 Hz 16-bit %2")
                               .arg(qtfront::toQString(info.formatName), channels)
                         : StudioWindow::tr("; 16-bit PCM WAVE, read as it is (not converted)");
  if (document.isPart()) {
    const double shown = static_cast<double>(recording.samples.size()) /
                         std::max(1, recording.channels) / media::kRenderRate;
    text += QStringLiteral(" · ");
    text += document.cutAtLimit()
                ? StudioWindow::tr(
                      "only its first %1 s are open: the analysis takes at most %1 s "
                      "(File > Open part... for another part)")
                      .arg(kMaxOpenSeconds, 0, 'f', 0)
                : StudioWindow::tr("the part from %1 s to %2 s is open")
                      .arg(document.partStart(), 0, 'f', 2)
                      .arg(document.partStart() + shown, 0, 'f', 2);
  }
  if (document.hasFrames()) {
    text += QStringLiteral(" · ") + StudioWindow::tr("analysed: %1 frames of 1/%2 s")
                                        .arg(frames.frameCount())
                                        .arg(frames.framesPerSecond);
    if (document.framesWide()) text += StudioWindow::tr(", %1 voices").arg(frames.voices);
  }
  return text;
}

}  // namespace studio
