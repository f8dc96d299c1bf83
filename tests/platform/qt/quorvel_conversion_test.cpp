// Quorvel's window with its own convert command: every refusal with its icon, file messages,
// and a conversion whose options come from the window's controls.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "command_ports.h"
#include "converter_window.h"
#include "messages.h"
#include "note_frame.h"
#include "quorvel_window.h"
#include "scripted_commands.h"
#include "test_files.h"

using namespace qtfront;
using namespace midibuilder;

namespace {

QString q(std::string_view s) {
  return toQString(s);
}

// A short DAT file: three gliding partials for half a second.
QByteArray sampleDat() {
  QByteArray bytes;
  for (int f = 0; f < 30; ++f) {
    common::NoteFrame frame;
    for (int k = 0; k < 3; ++k) {
      frame.slots[k].level = 20000 / (k + 1) + 300 * f;
      frame.slots[k].frequency = (2200 + 40 * f) * (k + 1);
    }
    uint8_t record[common::kNoteFrameBytes];
    common::encodeNoteFrame(frame, record);
    bytes.append(reinterpret_cast<const char*>(record), common::kNoteFrameBytes);
  }
  return bytes;
}

struct Fixture {
  MessageLog log;
  QTemporaryDir dir;
  std::unique_ptr<QuorvelWindow> window;

  Fixture() {
    window = std::make_unique<QuorvelWindow>(converterCommandFactory());
    window->setMessageSink(log.sink());
    window->show();
  }
  void set(int id, const QString& text) { window->form().setText(id, text); }
  void convert() { window->form().button(kConvertButton)->click(); }
  QString path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace

class QuorvelConversionTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void refusalsCarryTheExclamationIcon_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("polyphony");
    QTest::addColumn<QString>("tempo");
    QTest::addColumn<QString>("timeBase");
    QTest::addColumn<QString>("noteStart");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    const QString tooFew = q(msg::kChannelsBelowPolyphony), tempo = q(msg::kTempoRange),
                  base = q(msg::kTimeBaseRange), early = q(msg::kNoteStartTooEarly),
                  dat = q(msg::kSpecifyDat);
    auto row = [](const char* name, int channels, int polyphony, const char* tempoText,
                  const char* baseText, const char* startText, const char* file,
                  const QString& message) {
      QTest::newRow(name) << channels << polyphony << QString::fromUtf8(tempoText)
                          << QString::fromUtf8(baseText) << QString::fromUtf8(startText)
                          << QString::fromUtf8(file) << message;
    };
    // Each row fails one check; later fields are wrong too where that shows the order.
    row("channels 4, polyphony 5", kChannels4, kPolyphony5, "120.0", "480", "1920", "song.dat",
        tooFew);
    row("channels before tempo", kChannels4, kPolyphony6, "abc", "1", "0", "x", tooFew);
    row("tempo 29.9", kChannels6, kPolyphony6, "29.9", "480", "1920", "song.dat", tempo);
    row("tempo 1000.5", kChannels6, kPolyphony6, "1000.5", "480", "1920", "song.dat", tempo);
    row("tempo abc", kChannels6, kPolyphony6, "abc", "1", "0", "x", tempo);
    row("tempo empty", kChannels6, kPolyphony6, "", "480", "1920", "song.dat", tempo);
    row("time base 23", kChannels6, kPolyphony6, "1e3", "23", "1920", "song.dat", base);
    row("time base 65536", kChannels6, kPolyphony6, "30", "65536", "200000", "song.dat", base);
    row("time base 961", kChannels6, kPolyphony6, "120", "961", "1920", "x", early);
    row("name .dat1", kChannels4, kPolyphony4, "120", "480.5", "960", "song.dat1", dat);
    row("name empty", kChannels6, kPolyphony6, "120", "480", "1920", "", dat);
  }
  void refusalsCarryTheExclamationIcon() {
    QFETCH(int, channels);
    QFETCH(int, polyphony);
    QFETCH(QString, tempo);
    QFETCH(QString, timeBase);
    QFETCH(QString, noteStart);
    QFETCH(QString, file);
    QFETCH(QString, message);
    Fixture f;
    f.window->form().setChecked(channels, true);
    f.window->form().setChecked(polyphony, true);
    f.set(kTempoField, tempo);
    f.set(kTimeBaseField, timeBase);
    f.set(kNoteStartField, noteStart);
    f.set(kDatFileField, file.isEmpty() ? QString() : f.path(file));
    f.convert();
    QCOMPARE(f.log.texts(), QStringList{message});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::Exclamation);
    QCOMPARE(f.log.shown[0].title, programName());
    QCOMPARE(f.log.shown[0].owner, f.window.get());
    QVERIFY(QDir(f.dir.path()).entryList(QDir::Files).isEmpty());
    // The fields are left as they were.
    QCOMPARE(f.window->form().text(kTempoField), tempo);
  }

  void missingInputFileIsReportedWithoutIcon() {
    Fixture f;
    f.set(kDatFileField, f.path(QStringLiteral("missing.dat")));
    f.convert();
    QCOMPARE(f.log.texts(), QStringList{q(msg::kFileNotFound)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QVERIFY(!QFile::exists(f.path(QStringLiteral("missing.mid"))));
  }

  void convertsWithTheOptionsOfTheWindow() {
    Fixture f;
    QVERIFY(writeFile(f.path(QStringLiteral("SONG.DAT")), sampleDat()));
    QVERIFY(writeFile(f.path(QStringLiteral("copy.dat")), sampleDat()));
    f.set(kDatFileField, f.path(QStringLiteral("SONG.DAT")) + QStringLiteral("  "));
    f.set(kTempoField, QStringLiteral("97.5"));
    f.set(kTimeBaseField, QStringLiteral("960"));
    f.set(kNoteStartField, QStringLiteral("3840"));
    f.window->form().setChecked(kPitchSortOff, true);
    f.window->form().setChecked(kChannels8, true);
    f.window->form().setChecked(kPolyphony4, true);
    f.window->form().setChecked(kMsgs, true);
    f.convert();
    QCOMPARE(f.log.texts(), QStringList{q(msg::kFinished)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    const QByteArray fromWindow = readFile(f.path(QStringLiteral("SONG.mid")));
    QVERIFY(fromWindow.startsWith("MThd"));

    // quorvel-cli with the same options writes the same bytes.
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.start(
        QStringLiteral(QUORVEL_CLI),
        {QStringLiteral("--tempo"), QStringLiteral("97.5"), QStringLiteral("--time-base"),
         QStringLiteral("960"), QStringLiteral("--note-start"), QStringLiteral("3840"),
         QStringLiteral("--pitch-sort"), QStringLiteral("off"), QStringLiteral("--channels"),
         QStringLiteral("8"), QStringLiteral("--polyphony"), QStringLiteral("4"),
         QStringLiteral("--device"), QStringLiteral("msgs"), f.path(QStringLiteral("copy.dat"))});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(fromWindow, readFile(f.path(QStringLiteral("copy.mid"))));

    // With the defaults the file differs: the options really came from the controls.
    Fixture g;
    QVERIFY(writeFile(g.path(QStringLiteral("song.dat")), sampleDat()));
    g.set(kDatFileField, g.path(QStringLiteral("song.dat")));
    g.convert();
    QCOMPARE(g.log.texts(), QStringList{q(msg::kFinished)});
    const QByteArray withDefaults = readFile(g.path(QStringLiteral("song.mid")));
    QVERIFY(withDefaults.startsWith("MThd"));
    QVERIFY(withDefaults != fromWindow);
  }
};

QTEST_MAIN(QuorvelConversionTest)
#include "quorvel_conversion_test.moc"
