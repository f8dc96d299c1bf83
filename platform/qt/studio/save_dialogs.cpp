#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "studio_window.h"

namespace studio {

QString saveTitle(SaveKind kind) {
  switch (kind) {
    case SaveKind::Dat:
      return StudioWindow::tr("Save DAT file");
    case SaveKind::Midi:
      return StudioWindow::tr("Save MIDI file");
    case SaveKind::Rendering:
      return StudioWindow::tr("Save rendered WAVE");
    case SaveKind::Picture:
      return StudioWindow::tr("Save picture");
  }
  return {};
}

QString saveFilter(SaveKind kind, bool wideFrames) {
  switch (kind) {
    case SaveKind::Dat:
      return wideFrames ? StudioWindow::tr("Wide note-frame files (*.wdat)")
                        : StudioWindow::tr("DAT note-frame files (*.dat)");
    case SaveKind::Midi:
      return StudioWindow::tr("MIDI files (*.mid)");
    case SaveKind::Rendering:
      return StudioWindow::tr("WAVE files (*.wav)");
    case SaveKind::Picture:
      return StudioWindow::tr("PNG pictures (*.png)");
  }
  return {};
}

QString askSavePath(QWidget* owner, const QString& title, const QString& suggested,
                    const QString& filter) {
  // The window asks before replacing, so the dialog's own question is turned off.
  return QFileDialog::getSaveFileName(owner, title, suggested, filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

bool askReplace(QWidget* owner, const QString& path) {
  return QMessageBox::question(
             owner, StudioWindow::tr("Replace file"),
             StudioWindow::tr("%1 exists already. Replace it?").arg(QDir::toNativeSeparators(path)),
             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void showMessageBox(QWidget* owner, const QString& title, const QString& text) {
  // Window-modal and opened without a local event loop: the caller carries on at once.
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->open();
}

}  // namespace studio
