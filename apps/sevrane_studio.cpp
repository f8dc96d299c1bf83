// Sevrane Studio: open a recording, analyse it, see the partials, hear and save the MIDI file.
// Usage: sevrane-studio [--analyse] [--language en|ja] [FILE]
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QSpinBox>
#include <QTimer>
#include <cstring>

#include "analysis_panel.h"
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
  QCommandLineOption method{QStringLiteral("method"),
                            QStringLiteral("Analysis method: seed or tracked (default: seed)."),
                            QStringLiteral("NAME")};
  QCommandLineOption voices{QStringLiteral("voices"),
                            QStringLiteral("Voices of the tracked method, 4 to 15 (default: 6)."),
                            QStringLiteral("N")};
  QCommandLineOption frameRate{
      QStringLiteral("frame-rate"),
      QStringLiteral("Frames a second: the seed's 15, 20, 30 or 60, the tracked method's 60, "
                     "120 or 240 (default: 60)."),
      QStringLiteral("F")};
};

void describe(QCommandLineParser& parser, const Options& options) {
  parser.addHelpOption();
  parser.addOption(options.analyse);
  parser.addOption(options.language);
  parser.addOption(options.method);
  parser.addOption(options.voices);
  parser.addOption(options.frameRate);
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
  // The analysis panel's choices, as if picked there; a value it does not offer is ignored.
  studio::AnalysisPanel& panel = *window.analysisPanel();
  const auto pick = [](QComboBox* box, const QVariant& value) {
    if (box->findData(value) >= 0) box->setCurrentIndex(box->findData(value));
  };
  if (parser.isSet(options.method)) pick(panel.methodBox(), parser.value(options.method));
  if (parser.isSet(options.voices))
    panel.voicesBox()->setValue(parser.value(options.voices).toInt());
  if (parser.isSet(options.frameRate)) {
    const int rate = parser.value(options.frameRate).toInt();
    pick(panel.rateBox(), rate);
    pick(panel.unitBox(), rate);
  }
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    const QString file = files.first();
    QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
  }
  return app.exec();
}
