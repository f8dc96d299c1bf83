// Sevrane: the WAVE -> DAT note-frame analyser's window.
// A file argument fills the WAVE file field; --demo-progress opens the progress window with a
// sample estimate (for screenshots).
#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <QTimer>

#include "command_ports.h"
#include "sevrane_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sevrane.svg")));
  qtfront::SevraneWindow window(qtfront::analyserCommandFactory());
  // A file named on the command line (a desktop entry's %f) fills the file field.
  const QString file = qtfront::fileArgument(QCoreApplication::arguments());
  if (!file.isEmpty()) window.setFilePath(file);
  window.show();
  if (QCoreApplication::arguments().contains(QStringLiteral("--demo-progress"))) {
    QTimer::singleShot(0, &window, [&window] { window.showProgressPreview(); });
  }
  return app.exec();
}
