// Sevrane Studio: open a recording, analyse it, see the partials, hear and save the MIDI file.
// Usage: sevrane-studio [--analyse] [--language en|ja] [FILE]
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include "studio_language.h"
#include "studio_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sevrane-studio"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sevrane-studio.svg")));

  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption analyse(QStringLiteral("analyse"),
                                   QStringLiteral("Analyse the recording as soon as it is open."));
  const QCommandLineOption language(QStringLiteral("language"),
                                    QStringLiteral("Interface language: en or ja (default: the "
                                                   "system's)."),
                                    QStringLiteral("LANG"));
  parser.addOption(analyse);
  parser.addOption(language);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A recording or DAT file."));
  parser.process(app);

  studio::Language chosen = studio::systemLanguage();
  if (parser.isSet(language)) {
    chosen = parser.value(language).startsWith(QStringLiteral("ja"), Qt::CaseInsensitive)
                 ? studio::Language::Japanese
                 : studio::Language::English;
  }
  studio::setLanguage(chosen);

  studio::StudioWindow window;
  window.setAnalyseWhenOpened(parser.isSet(analyse));
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    const QString file = files.first();
    QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
  }
  return app.exec();
}
