// Quorvel: the DAT -> Standard MIDI File converter's window.
#include <QApplication>
#include <QIcon>

#include "command_ports.h"
#include "quorvel_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.svg")));
  qtfront::QuorvelWindow window(qtfront::converterCommandFactory());
  window.show();
  return app.exec();
}
