// Sevrane Studio: open a recording, analyse it, see the partials, hear and save the MIDI file.
// Usage: sevrane-studio [--analyse] [--language en|ja] [FILE]
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QTimer>
#include <cstring>

#include "cli_common.h"
#include "partial_plot.h"
#include "studio_language.h"
#include "studio_window.h"

namespace {

struct Options {
  QCommandLineOption analyse{QStringLiteral("analyse"),
                             QStringLiteral("Analyse the recording as soon as it is open.")};
  QCommandLineOption language{QStringLiteral("language"),
                              QStringLiteral("Interface language: en or ja (default: the "
                                             "system's)."),
                              QStringLiteral("LANG")};
};

void describe(QCommandLineParser& parser, const Options& options) {
  parser.addHelpOption();
  parser.addOption(options.analyse);
  parser.addOption(options.language);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A recording or DAT file."));
}

// Asking for help needs no display: it is answered before the window system is opened.
bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    for (const char* help : {"-h", "--help", "-?", "--help-all"}) {
      if (std::strcmp(argv[i], help) == 0) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options;
  if (asksForHelp(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sevrane-studio"));
    QCommandLineParser parser;
    describe(parser, options);
    parser.process(app);  // prints the help and exits 0
    return 0;
  }
  media::provideRuntimeDir();
  // Saved files are on the disk before they replace the old ones, as the command lines do it.
  terminal::installDurableWrites();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sevrane-studio"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sevrane-studio.svg")));

  QCommandLineParser parser;
  describe(parser, options);
  parser.process(app);

  studio::Language chosen = studio::systemLanguage();
  if (parser.isSet(options.language)) {
    chosen = parser.value(options.language).startsWith(QStringLiteral("ja"), Qt::CaseInsensitive)
                 ? studio::Language::Japanese
                 : studio::Language::English;
  }
  studio::setLanguage(chosen);

  studio::StudioWindow window;
  window.setAnalyseWhenOpened(parser.isSet(options.analyse));
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    const QString file = files.first();
    QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
  }
  return app.exec();
}
