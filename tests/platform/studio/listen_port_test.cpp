// The studio's Listen panel playing the MIDI file to a MIDI port (a JACK input of the test's
// own): from the play head with the channels' set-up first, Stop with the resets, and the
// message when the port goes.
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <fstream>

#include "jack_recorder.h"
#include "note_frames.h"
#include "platform_services.h"
#include "smf_reader.h"
#include "studio_window.h"

using namespace live_test;

class ListenPortTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void playsToThePortFromThePlayHeadStopsAndSeesItGo() {
    JackServer server;
    if (!server.started()) QSKIP("jackd is not installed: no JACK server to play to");
    Recorder recorder;
    QVERIFY(recorder.open());

    // Two seconds of six steady partials.
    common::NoteFrames frames;
    for (int f = 0; f < 120; ++f) {
      for (int v = 0; v < common::kSlotsPerFrame; ++v) {
        frames.slots.push_back({v < 6 ? 3000 : 0, v < 6 ? 2000 * (v + 1) : 0});
      }
    }
    QTemporaryDir dir;
    const std::string dat = qtfront::toUtf8(dir.filePath(QStringLiteral("steady.dat")));
    const std::vector<uint8_t> image = common::encodeDat(frames);
    std::ofstream(dat, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));

    studio::StudioWindow window;
    QStringList messages;
    window.setMessageFunction(
        [&](QWidget*, const QString&, const QString& text) { messages << text; });
    QCOMPARE(window.openFile(qtfront::toQString(dat)), QString());
    window.findChild<QPushButton*>(QStringLiteral("refreshPorts"))->click();
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("ports"))->currentText(),
             QStringLiteral("recorder:in [JACK]"));
    window.findChild<QRadioButton*>(QStringLiteral("port"))->setChecked(true);
    window.findChild<QPushButton*>(QStringLiteral("play"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.arrivals().size() > 20, 5000);
    window.findChild<QPushButton*>(QStringLiteral("stop"))->click();

    // From frame 0, the play head's start: the file's set-up before its note start comes first,
    // beginning with the module's reset; Stop ends with the resets of every channel used.
    const midibuilder::SmfFile file = *midibuilder::readSmf(window.midi()).file;
    const std::vector<Bytes> got = bytesOf(settled(recorder));
    const std::vector<midibuilder::TimedMessage> schedule = midibuilder::scheduleOf(file);
    QCOMPARE(got.front(), schedule.front().bytes);
    std::vector<int> channels;
    for (const midibuilder::TimedMessage& m : schedule) {
      const int channel = m.bytes[0] >= 0x80 && m.bytes[0] < 0xF0 ? m.bytes[0] & 0x0F : -1;
      if (channel >= 0 && std::find(channels.begin(), channels.end(), channel) == channels.end()) {
        channels.push_back(channel);
      }
    }
    std::sort(channels.begin(), channels.end());
    std::vector<Bytes> resets;
    for (int c : channels) {
      const auto s = static_cast<uint8_t>(c);
      resets.insert(resets.end(), {{static_cast<uint8_t>(0xB0 | s), 123, 0},
                                   {static_cast<uint8_t>(0xB0 | s), 121, 0},
                                   {static_cast<uint8_t>(0xE0 | s), 0, 0x40}});
    }
    QVERIFY(got.size() > resets.size());
    QVERIFY(std::equal(resets.begin(), resets.end(),
                       got.end() - static_cast<std::ptrdiff_t>(resets.size())));
    QVERIFY(messages.isEmpty());

    // The port goes while playing: the play ends and says so.
    window.findChild<QPushButton*>(QStringLiteral("play"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.arrivals().size() > got.size() + 10, 5000);
    recorder.close();
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 3000);
    QVERIFY2(messages.front().contains(QStringLiteral("'recorder:in [JACK]' has gone")),
             qPrintable(messages.front()));
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("play"))->isEnabled());
  }
};

QTEST_MAIN(ListenPortTest)
#include "listen_port_test.moc"
