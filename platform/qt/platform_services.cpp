#include "platform_services.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace qtfront {

void showMessageBox(QWidget* owner, const QString& title, const QString& text,
                    common::MessageIcon icon) {
  QMessageBox box(
      icon == common::MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title,
      text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString openFileWithDialog(QWidget* owner, const OpenFileRequest& request) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // The pattern travels in the usual "(...)" suffix; hiding the details shows just the label.
  dialog.setNameFilter(request.filterLabel + QStringLiteral(" (") + request.pattern +
                       QStringLiteral(")"));
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  // Qt's own dialog everywhere, so the filter reads exactly as given: the dialog collapses runs
  // of blanks in filter names, which its file-type box is told to undo below.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    if (types->count() == 1) types->setItemText(0, request.filterLabel);
  }
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return {};
  return QDir::toNativeSeparators(QFileInfo(files.front()).absoluteFilePath());
}

QString fileArgument(const QStringList& arguments) {
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (!optionsEnded && a == QStringLiteral("--")) {
      optionsEnded = true;
    } else if (optionsEnded || !a.startsWith(QLatin1Char('-'))) {
      return a;
    }
  }
  return {};
}

QString programName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

MonotonicClock::MonotonicClock() {
  timer_.start();
}

bool MonotonicClock::counterFrequency(int64_t& ticksPerSecond) const {
  if (!timer_.isValid()) return false;
  ticksPerSecond = 1000000000;
  return true;
}

int64_t MonotonicClock::counterNow() const {
  return timer_.nsecsElapsed();
}

int32_t MonotonicClock::clockMillis() const {
  const qint64 ms = timer_.elapsed();
  return static_cast<int32_t>(ms % (qint64{1} << 31));
}

QString toQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toUtf8(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace qtfront
