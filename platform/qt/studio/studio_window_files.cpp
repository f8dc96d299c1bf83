// The window's side of files: opening (the whole recording, a part of it, a DAT file, a drop)
// and saving (the dialogs, the question before replacing, a rendering made after the dialog).
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QStatusBar>

#include "analysis_job.h"
#include "platform_services.h"
#include "plot_panel.h"
#include "range_dialog.h"
#include "recording.h"
#include "studio_language.h"
#include "studio_window.h"

namespace studio {

void StudioWindow::showFailure(const QString& title, const QString& text) {
  showStatus(text);
  if (showMessage_) showMessage_(this, title, text);
}

QString StudioWindow::openFile(const QString& path, OpenRange range) {
  if (job_->running()) return {};
  stop();
  cancelRender();
  const std::string message = document_.open(qtfront::toUtf8(path), range);
  if (!message.empty()) {
    const QString text =
        tr("%1 was not opened: %2").arg(QFileInfo(path).fileName(), messageText(message));
    showFailure(tr("Open"), text);
    return text;
  }
  plotPanel_->setPlayHead(-1.0);
  retranslate();
  refreshPlot(true);
  updateActions();
  const QString opened =
      tr("Opened %1").arg(QDir::toNativeSeparators(qtfront::toQString(document_.sourcePath())));
  showStatus(document_.cutAtLimit() ? opened + QStringLiteral(" · ") +
                                          tr("its first %1 s only").arg(kMaxOpenSeconds, 0, 'f', 0)
                                    : opened);
  if (document_.hasRecording() && analyseWhenOpened_) startAnalysis();
  return {};
}

void StudioWindow::browse(bool part) {
  const QString filter =
      tr("Recordings (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.w64 "
         "*.rf64 *.caf *.au *.snd)") +
      QStringLiteral(";;") + tr("DAT note-frame files (*.dat)") + QStringLiteral(";;") +
      tr("Wide note-frame files (*.wdat)") + QStringLiteral(";;") + tr("All files (*)");
  const QString dir = document_.empty()
                          ? QDir::currentPath()
                          : QFileInfo(qtfront::toQString(document_.sourcePath())).path();
  const QString path =
      QFileDialog::getOpenFileName(this, part ? tr("Open part of a recording") : tr("Open"), dir,
                                   part ? filter.section(QStringLiteral(";;"), 0, 0) : filter);
  if (path.isEmpty()) return;
  OpenRange range;
  if (part) {
    media::RecordingInfo info;
    const std::string refusal = media::probeRecording(qtfront::toUtf8(path), info);
    if (!refusal.empty()) {
      showFailure(
          tr("Open"),
          tr("%1 was not opened: %2").arg(QFileInfo(path).fileName(), messageText(refusal)));
      return;
    }
    if (!askRange(this, QFileInfo(path).fileName(), info.seconds(), kMaxOpenSeconds, range)) {
      return;
    }
  }
  openFile(path, range);
}

QString StudioWindow::suggestedPath(SaveKind kind) const {
  return qtfront::toQString(document_.suggestedPath(kind));
}

void StudioWindow::saveWithDialog(SaveKind kind) {
  const QString path = savePath_(this, saveTitle(kind), suggestedPath(kind),
                                 saveFilter(kind, document_.framesWide()));
  if (path.isEmpty()) return;
  if (QFileInfo::exists(path) && !confirmReplace_(this, path)) {
    showStatus(tr("Not saved."));
    return;
  }
  const auto write = [this, kind, path] {
    const QString message = writeResult(kind, path);
    if (message.isEmpty()) {
      showStatus(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
    } else {
      showFailure(saveTitle(kind), message);
    }
  };
  // A missing rendering is made now; the file is written once it is there, and nothing at all
  // when it is cancelled or fails.
  if (kind == SaveKind::Rendering && document_.hasFrames() && !document_.renderingCurrent()) {
    startRender(write);
    return;
  }
  write();
}

QString StudioWindow::saveTo(SaveKind kind, const QString& path) {
  if (QFileInfo::exists(path) && !confirmReplace_(this, path)) return tr("Not saved.");
  return writeResult(kind, path);
}

QString StudioWindow::writeResult(SaveKind kind, const QString& path) {
  if ((kind == SaveKind::Dat || kind == SaveKind::Rendering) && !document_.hasFrames()) {
    return tr("Nothing to save yet.");
  }
  if (kind == SaveKind::Midi && document_.midiStale() && !buildMidi()) {
    return statusBar()->currentMessage();
  }
  if (kind == SaveKind::Rendering && !document_.renderingCurrent()) {
    return tr("Nothing to save yet.");
  }
  const std::string message =
      document_.save(kind, qtfront::toUtf8(path), plotPanel_->canvas()->view());
  return message.empty() ? QString() : messageText(message);
}

void StudioWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!job_->running() && !urls.isEmpty() && urls.first().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void StudioWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  openFile(urls.first().toLocalFile());
}

}  // namespace studio
