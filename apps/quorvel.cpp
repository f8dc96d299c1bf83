// Quorvel: the DAT -> Standard MIDI File converter's window. A file argument fills the DAT
// file field.
#include <QApplication>
#include <QIcon>

#include "command_ports.h"
#include "quorvel_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.svg")));
  qtfront::QuorvelWindow window(qtfront::converterCommandFactory());
  // A file named on the command line (a desktop entry's %f) fills the file field.
  const QString file = qtfront::fileArgument(QCoreApplication::arguments());
  if (!file.isEmpty()) window.setFilePath(file);
  window.show();
  return app.exec();
}
