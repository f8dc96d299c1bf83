// Sevrane's window with its own convert command on generated recordings: the same DAT file as
// sevrane-cli, and cancelling from the progress window and from "終了" while the real extraction
// pumps messages.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <cstdint>

#include "analyser_window.h"
#include "command_ports.h"
#include "messages.h"
#include "scripted_commands.h"
#include "sevrane_window.h"
#include "test_files.h"

using namespace qtfront;

namespace {

QString q(std::string_view s) {
  return toQString(s);
}

void putLE(QByteArray& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 44.1 kHz 16-bit PCM recording: a gliding voice-like tone with four harmonics and a little
// deterministic noise.
QByteArray makeWave(double seconds, int channels) {
  const int frames = static_cast<int>(seconds * 44100);
  QByteArray data;
  uint32_t noise = 12345;
  double phase = 0;
  for (int n = 0; n < frames; ++n) {
    const double t = n / 44100.0;
    phase += 2 * M_PI * (180 + 60 * t + 8 * std::sin(2 * M_PI * 5 * t)) / 44100.0;
    double v = 0;
    for (int h = 1; h <= 4; ++h) v += std::sin(h * phase) / h;
    noise = noise * 1664525u + 1013904223u;
    v = v * 9000 + (static_cast<int>(noise >> 24) - 128);
    const auto sample = static_cast<int16_t>(std::lround(std::clamp(v, -32000.0, 32000.0)));
    for (int c = 0; c < channels; ++c) putLE(data, static_cast<uint16_t>(sample), 2);
  }
  QByteArray wave("RIFF");
  putLE(wave, static_cast<uint32_t>(36 + data.size()), 4);
  wave.append("WAVEfmt ");
  putLE(wave, 16, 4);
  putLE(wave, 1, 2);
  putLE(wave, static_cast<uint32_t>(channels), 2);
  putLE(wave, 44100, 4);
  putLE(wave, static_cast<uint32_t>(44100 * 2 * channels), 4);
  putLE(wave, static_cast<uint32_t>(2 * channels), 2);
  putLE(wave, 16, 2);
  wave.append("data");
  putLE(wave, static_cast<uint32_t>(data.size()), 4);
  return wave + data;
}

struct Fixture {
  MessageLog log;
  QTemporaryDir dir;
  std::unique_ptr<SevraneWindow> window;

  Fixture() {
    window = std::make_unique<SevraneWindow>(analyserCommandFactory());
    window->setMessageSink(log.sink());
    window->show();
  }
  QString path(const QString& name) const { return dir.filePath(name); }
  QPushButton* button(int id) { return window->form().button(id); }
  void convert(const QString& wave) {
    window->form().setText(analyser::kWaveFileField, wave);
    button(analyser::kConvertButton)->click();
  }
};

// Runs sevrane-cli and returns its exit code.
int runCli(const QStringList& arguments) {
  QProcess cli;
  cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  cli.start(QStringLiteral(SEVRANE_CLI), arguments);
  if (!cli.waitForFinished(120000)) return -1;
  return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

}  // namespace

class SevraneConversionTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void writesTheSameFileAsTheCommandLine_data() {
    QTest::addColumn<bool>("optimise");
    QTest::addColumn<int>("channels");
    QTest::newRow("one pass, mono") << false << 1;
    QTest::newRow("four passes, stereo") << true << 2;
  }
  void writesTheSameFileAsTheCommandLine() {
    QFETCH(bool, optimise);
    QFETCH(int, channels);
    Fixture f;
    const QByteArray wave = makeWave(0.3, channels);
    QVERIFY(writeFile(f.path(QStringLiteral("TAKE.WAV")), wave));
    QVERIFY(writeFile(f.path(QStringLiteral("cli.wav")), wave));
    if (optimise) f.window->form().setChecked(analyser::kOptimiseOn, true);
    // Trailing blanks are not part of the name.
    f.convert(f.path(QStringLiteral("TAKE.WAV")) + QStringLiteral("  "));
    QCOMPARE(f.log.texts(), QStringList{q(msg::kFinished)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QVERIFY(f.window->progressWindow() == nullptr);
    const QByteArray fromWindow = readFile(f.path(QStringLiteral("TAKE.dat")));
    QVERIFY(fromWindow.size() > 0);
    QCOMPARE(fromWindow.size() % 64, 0);

    QStringList arguments{QStringLiteral("--quiet")};
    if (optimise) arguments << QStringLiteral("--optimise");
    arguments << f.path(QStringLiteral("cli.wav"));
    QCOMPARE(runCli(arguments), 0);
    QCOMPARE(fromWindow, readFile(f.path(QStringLiteral("cli.dat"))));
  }

  void fileMessagesComeWithoutIcon() {
    Fixture f;
    f.convert(f.path(QStringLiteral("missing.wav")));
    QVERIFY(writeFile(f.path(QStringLiteral("short.wav")), QByteArray("RIFF")));
    f.convert(f.path(QStringLiteral("short.wav")));
    QCOMPARE(f.log.shown.size(), size_t{2});
    QCOMPARE(f.log.shown[0].text, q(msg::kFileNotFound));
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QCOMPARE(f.log.shown[1].icon, common::MessageIcon::None);
    QVERIFY(!QFile::exists(f.path(QStringLiteral("missing.dat"))));
    QVERIFY(!QFile::exists(f.path(QStringLiteral("short.dat"))));
  }

  void cancelKeepsTheEarlierFile_data() {
    QTest::addColumn<bool>("fromExitButton");
    QTest::newRow("キャンセル") << false;
    QTest::newRow("終了") << true;
  }
  void cancelKeepsTheEarlierFile() {
    QFETCH(bool, fromExitButton);
    Fixture f;
    // Long enough (four passes over 120 s, several seconds even with the fast estimator) that
    // the cancel certainly lands mid-extraction.
    QVERIFY(writeFile(f.path(QStringLiteral("long.wav")), makeWave(120.0, 1)));
    const QByteArray earlier("an earlier DAT file");
    QVERIFY(writeFile(f.path(QStringLiteral("long.dat")), earlier));
    f.window->form().setChecked(analyser::kOptimiseOn, true);

    QString labelBeforeCancel;
    bool progressGone = false, mainVisible = false, secondConvertIgnored = false;
    QTimer::singleShot(150, [&] {
      // A second 変換 while busy does nothing.
      f.button(analyser::kConvertButton)->click();
      secondConvertIgnored = f.log.shown.empty();
    });
    // The cancel waits for the first remaining-time label (it appears after 100 ms of
    // extraction; on a loaded machine loading and set-up can take longer than that).
    QElapsedTimer sinceCancel;
    QTimer poll;
    poll.setInterval(25);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      ProgressWindow* progress = f.window->progressWindow();
      if (progress == nullptr) return;
      labelBeforeCancel = progress->form().text(ProgressWindow::kLabelId);
      if (labelBeforeCancel.isEmpty()) return;
      poll.stop();
      sinceCancel.start();
      if (fromExitButton) {
        f.button(analyser::kExitButton)->click();
      } else {
        progress->form().button(ProgressWindow::kCancelButtonId)->click();
      }
      progressGone = f.window->progressWindow() == nullptr;
      mainVisible = f.window->isVisible();
    });
    QTimer::singleShot(150, [&] { poll.start(); });
    f.convert(f.path(QStringLiteral("long.wav")));
    const qint64 elapsed = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;

    QVERIFY(secondConvertIgnored);
    QVERIFY2(labelBeforeCancel.startsWith(q(msg::kRemainingPrefix)), qPrintable(labelBeforeCancel));
    QVERIFY(labelBeforeCancel.endsWith(q(msg::kRemainingSuffix)));
    QVERIFY(progressGone);
    QVERIFY(mainVisible);
    QCOMPARE(f.log.texts(), QStringList{q(msg::kCancelled)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QCOMPARE(readFile(f.path(QStringLiteral("long.dat"))), earlier);
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.window->busy());
    // Stopped soon after the cancel rather than running to the end.
    QVERIFY2(elapsed >= 0 && elapsed < 4000, qPrintable(QString::number(elapsed)));
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), 2);
  }
};

QTEST_MAIN(SevraneConversionTest)
#include "sevrane_conversion_test.moc"
