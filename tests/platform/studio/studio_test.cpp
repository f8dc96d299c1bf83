// Sevrane Studio on generated recordings: its DAT and MIDI files equal the command lines', a
// cancelled analysis writes nothing, refusals sit beside their fields, the rendering is the
// media layer's, and a 440 Hz tone is drawn on the picture's 440 Hz row.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include <QSpinBox>

#include "alloc_registry.h"
#include "analysis_job.h"
#include "analysis_panel.h"
#include "build.h"
#include "build_panel.h"
#include "converter_window.h"
#include "messages.h"
#include "note_frames.h"
#include "platform_services.h"
#include "player.h"
#include "plot_panel.h"
#include "render.h"
#include "render_job.h"
#include "studio_document.h"
#include "studio_language.h"
#include "studio_window.h"
#include "test_files.h"
#include "tracked_method.h"
#include "wide_frames.h"

using namespace studio;

namespace {

void putLE(QByteArray& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 16-bit mono PCM WAVE (44.1 kHz unless `rate` says otherwise) of `seconds` of the tone `hzAt(t)`
// with three harmonics
// (`harmonics` = 1 gives a pure tone).
QByteArray makeWave(double seconds, const std::function<double(double)>& hzAt, int harmonics,
                    uint32_t rate = 44100) {
  const int frames = static_cast<int>(seconds * rate);
  QByteArray data;
  double phase = 0;
  for (int n = 0; n < frames; ++n) {
    phase += 2 * M_PI * hzAt(static_cast<double>(n) / rate) / rate;
    double v = 0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(h * phase) / h;
    putLE(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 12000))), 2);
  }
  QByteArray wave("RIFF");
  putLE(wave, static_cast<uint32_t>(36 + data.size()), 4);
  wave.append("WAVEfmt ");
  putLE(wave, 16, 4);  // fmt size
  putLE(wave, 1, 2);   // PCM
  putLE(wave, 1, 2);   // mono
  putLE(wave, rate, 4);
  putLE(wave, 2 * rate, 4);
  putLE(wave, 2, 2);
  putLE(wave, 16, 2);
  wave.append("data");
  putLE(wave, static_cast<uint32_t>(data.size()), 4);
  return wave + data;
}

int runCli(const char* program, const QStringList& arguments) {
  QProcess cli;
  cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  cli.start(QString::fromUtf8(program), arguments);
  if (!cli.waitForFinished(120000)) return -1;
  return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

QByteArray bytesOf(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// Runs the window's analysis to its end; the message and whether the DAT was made.
bool analyse(StudioWindow& window, QString* message = nullptr) {
  QSignalSpy done(&window, &StudioWindow::analysisFinished);
  if (!window.startAnalysis() || !done.wait(120000)) return false;
  if (message) *message = done.first().at(0).toString();
  return done.first().at(1).toBool();
}

}  // namespace

class StudioTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  // Open, analyse with non-default options, build with non-default options, save: every file
  // equals the command lines' from the same recording and options, and only saving writes.
  void filesEqualTheCommandLines() {
    const QString wave = dir_.filePath(QStringLiteral("voice.wav"));
    QVERIFY(
        writeFile(wave, makeWave(
                            1.5, [](double t) { return 170 + 50 * t + 6 * std::sin(31 * t); }, 3)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY2(window.summary().contains(QStringLiteral("1.50 s")), qPrintable(window.summary()));
    window.analysisPanel()->unitBox()->setCurrentIndex(2);  // 1/30 s
    window.analysisPanel()->onsetShiftBox()->setChecked(true);
    QVERIFY(analyse(window));
    // Nothing beside the recording until the user saves.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("voice.wav")});

    const QString cliDir = dir_.filePath(QStringLiteral("cli"));
    QVERIFY(QDir().mkpath(cliDir));
    const QString cliWave = cliDir + QStringLiteral("/voice.wav");
    QVERIFY(QFile::copy(wave, cliWave));
    QCOMPARE(runCli(SEVRANE_CLI, {"--quiet", "--unit", "30", "--onset-shift", cliWave}), 0);
    const QByteArray cliDat = readFile(cliDir + QStringLiteral("/voice.dat"));
    QVERIFY(!cliDat.isEmpty());
    QVERIFY(bytesOf(window.dat()) == cliDat);

    BuildPanel& build = *window.buildPanel();
    build.polyphonyBox()->setCurrentIndex(1);  // 5
    build.channelsBox()->setCurrentIndex(3);   // 7
    build.deviceBox()->setCurrentIndex(3);     // MSGS
    build.pitchSortBox()->setChecked(false);
    build.tempoField()->setText(QStringLiteral("97.5"));
    build.timeBaseField()->setText(QStringLiteral("960"));
    build.noteStartField()->setText(QStringLiteral("1920"));
    QVERIFY(window.buildMidi());
    QCOMPARE(runCli(QUORVEL_CLI,
                    {"--polyphony", "5", "--channels", "7", "--device", "msgs", "--pitch-sort",
                     "off", "--tempo", "97.5", "--time-base", "960", "--note-start", "1920",
                     "--render", cliDir + QStringLiteral("/voice.dat")}),
             0);
    const QByteArray cliMidi = readFile(cliDir + QStringLiteral("/voice.mid"));
    QVERIFY(!cliMidi.isEmpty());
    QVERIFY(bytesOf(window.midi()) == cliMidi);

    // The rendering is quorvel-cli --render's, byte for byte once saved.
    QSignalSpy rendered(&window, &StudioWindow::renderFinished);
    QVERIFY(window.startRender());
    QVERIFY(rendered.wait(60000));
    QVERIFY(rendered.first().at(0).toBool());
    const QByteArray cliRendering = readFile(cliDir + QStringLiteral("/voice-rendered.wav"));
    QVERIFY(cliRendering.size() > 44);

    // Saving: beside the recording by default; an existing file stays unless confirmed.
    const QString midiPath = window.suggestedPath(SaveKind::Midi);
    QCOMPARE(midiPath, dir_.filePath(QStringLiteral("voice.mid")));
    QVERIFY(writeFile(midiPath, "earlier"));
    int asked = 0;
    bool agree = false;
    window.setConfirmFunction([&](QWidget*, const QString&) {
      ++asked;
      return agree;
    });
    QVERIFY(!window.saveTo(SaveKind::Midi, midiPath).isEmpty());
    QCOMPARE(readFile(midiPath), QByteArray("earlier"));
    agree = true;
    QCOMPARE(window.saveTo(SaveKind::Midi, midiPath), QString());
    QCOMPARE(asked, 2);
    QVERIFY(readFile(midiPath) == cliMidi);
    QCOMPARE(window.saveTo(SaveKind::Dat, window.suggestedPath(SaveKind::Dat)), QString());
    QVERIFY(readFile(dir_.filePath(QStringLiteral("voice.dat"))) == cliDat);
    const QString wavePath = window.suggestedPath(SaveKind::Rendering);
    QCOMPARE(window.saveTo(SaveKind::Rendering, wavePath), QString());
    QVERIFY(readFile(wavePath) == cliRendering);

    // Without an audio device playing says so and changes nothing else.
    if (!Player::outputAvailable()) {
      QVERIFY(!window.play(true));
      QVERIFY(window.statusBar()->currentMessage().startsWith(QStringLiteral("No audio output")));
      QVERIFY(!window.rendering().empty());
    }
  }

  // The builder's refusals appear beside the field they are about, in Japanese, with English
  // beside them in the English interface only; nothing is built.
  void refusalsBesideTheirFields() {
    const QString wave = dir_.filePath(QStringLiteral("short.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                0.5, [](double) { return 220.0; }, 2)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY(analyse(window));
    BuildPanel& build = *window.buildPanel();
    const QString tempoText = qtfront::toQString(msg::kTempoRange);

    build.tempoField()->setText(QStringLiteral("29.9"));
    QVERIFY(!window.buildMidi());
    QVERIFY(window.midi().empty());
    QVERIFY(build.refusalText(midibuilder::kTempoField).startsWith(tempoText));
    QVERIFY(build.refusalText(midibuilder::kTempoField).contains(QStringLiteral("30 to 1000")));
    QCOMPARE(build.refusalText(midibuilder::kNoteStartField), QString());

    // Channels below polyphony is checked first and shown beside the channels.
    build.channelsBox()->setCurrentIndex(0);  // 4 channels, polyphony 6
    QVERIFY(!window.buildMidi());
    QVERIFY(build.refusalText(midibuilder::kChannels4)
                .startsWith(qtfront::toQString(msg::kChannelsBelowPolyphony)));
    QCOMPARE(build.refusalText(midibuilder::kTempoField), QString());

    build.channelsBox()->setCurrentIndex(2);
    build.tempoField()->setText(QStringLiteral("120"));
    build.timeBaseField()->setText(QStringLiteral("500"));
    build.noteStartField()->setText(QStringLiteral("999"));  // one tick under 2 x 500
    QVERIFY(setLanguage(Language::Japanese));
    QCoreApplication::sendPostedEvents();
    QVERIFY(!window.buildMidi());
    QCOMPARE(build.refusalText(midibuilder::kNoteStartField),
             qtfront::toQString(msg::kNoteStartTooEarly));
    QCOMPARE(window.analysisPanel()->analyseButton()->text(), QStringLiteral("分析"));
    build.noteStartField()->setText(QStringLiteral("1000"));
    QVERIFY(window.buildMidi());
    QCOMPARE(build.refusalText(midibuilder::kNoteStartField), QString());
    setLanguage(Language::English);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(window.analysisPanel()->analyseButton()->text(), QStringLiteral("Analyse"));
  }

  // Cancelled mid-extraction: the stage's message, no frames in memory, nothing beside the
  // recording.
  void cancelWritesNothing() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                120.0, [](double t) { return 150 + 40 * std::sin(0.7 * t); }, 3)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    window.analysisPanel()->optimiseBox()->setChecked(true);
    QSignalSpy progress(window.findChild<AnalysisJob*>(), &AnalysisJob::progress);
    QSignalSpy done(&window, &StudioWindow::analysisFinished);
    QVERIFY(window.startAnalysis());
    QVERIFY(window.analysing());
    QVERIFY(progress.wait(60000));
    window.cancelAnalysis();
    QVERIFY(done.wait(60000));
    QCOMPARE(done.first().at(0).toString(), qtfront::toQString(msg::kCancelled));
    QCOMPARE(done.first().at(1).toBool(), false);
    QVERIFY(window.dat().empty());
    QVERIFY(!window.document().hasFrames());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("long.wav")});
  }

  // A pure 440 Hz tone: the drawn track of slot 1 runs along the picture's 440 Hz row, and the
  // read-out there names 440 Hz and A4.
  void pureToneOnItsRow() {
    const QString wave = dir_.filePath(QStringLiteral("a440.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                1.0, [](double) { return 440.0; }, 1)));
    StudioWindow window;
    window.resize(1000, 700);
    window.show();
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY(analyse(window));
    PlotPanel& plot = *window.plotPanel();
    for (int slot = 1; slot < 6; ++slot) plot.slotBox(slot)->setChecked(false);
    PlotCanvas& canvas = *plot.canvas();
    const QImage image = canvas.grab().toImage();
    const QRect area(0, 0, canvas.width(), canvas.height());
    const media::PartialPlot picture = canvas.plot();
    const QRectF data = picture.plotArea(area);
    const double row = picture.yForHz(440.0, area);
    const QColor colour = media::PartialPlot::slotColour(0);
    // In the middle of the tone, the pixel nearest in colour to slot 1's is on the 440 Hz row.
    for (double seconds : {0.3, 0.5, 0.7}) {
      const int x = static_cast<int>(std::lround(picture.xForSeconds(seconds, area)));
      int best = -1;
      int bestDistance = 1 << 30;
      for (int y = static_cast<int>(data.top()); y < static_cast<int>(data.bottom()); ++y) {
        const QColor c = image.pixelColor(x, y);
        const int d = std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                      std::abs(c.blue() - colour.blue());
        if (d < bestDistance) {
          bestDistance = d;
          best = y;
        }
      }
      QVERIFY2(std::abs(best - row) <= 2.0,
               qPrintable(QStringLiteral("x %1: row %2, 440 Hz at %3").arg(x).arg(best).arg(row)));
    }
    const QString readout = canvas.readoutAt(QPointF(picture.xForSeconds(0.5, area), row));
    const QRegularExpressionMatch hz =
        QRegularExpression(QStringLiteral("(\\d+\\.\\d) Hz \\(A4\\)")).match(readout);
    QVERIFY2(hz.hasMatch() && std::fabs(hz.captured(1).toDouble() - 440.0) < 2.0,
             qPrintable(readout));
  }

  // A DAT file dropped on the window: nothing to analyse or play as the original, but it
  // builds the command line's MIDI file; a file that cannot be opened changes nothing.
  void datFileAlone() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("tone.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                0.8, [](double t) { return 300 - 80 * t; }, 3)));
    QCOMPARE(runCli(SEVRANE_CLI, {"--quiet", wave}), 0);
    const QString dat = dir.filePath(QStringLiteral("tone.dat"));
    QCOMPARE(runCli(QUORVEL_CLI, {"--device", "sc-8850", dat}), 0);
    const QByteArray cliMidi = readFile(dir.filePath(QStringLiteral("tone.mid")));
    QVERIFY(!cliMidi.isEmpty());

    StudioWindow window;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dat)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QVERIFY2(window.summary().startsWith(QStringLiteral("tone.dat: DAT file")),
             qPrintable(window.summary()));
    QVERIFY(bytesOf(window.dat()) == readFile(dat));
    QVERIFY(!window.startAnalysis());
    QVERIFY(!window.analysisPanel()->analyseButton()->isEnabled());
    QVERIFY(window.buildMidi());  // the studio's default device is SC-8850
    QVERIFY(bytesOf(window.midi()) == cliMidi);
    QCOMPARE(window.suggestedPath(SaveKind::Picture), dir.filePath(QStringLiteral("tone.png")));

    const QString missing = window.openFile(dir.filePath(QStringLiteral("missing.wav")));
    QVERIFY2(missing.contains(qtfront::toQString(msg::kFileNotFound)), qPrintable(missing));
    QVERIFY(bytesOf(window.dat()) == readFile(dat));
    QVERIFY(bytesOf(window.midi()) == cliMidi);

    // The document alone: a rendering is kept only for the MIDI file it was made of.
    StudioDocument document;
    QCOMPARE(document.open(qtfront::toUtf8(dat)), std::string());
    midibuilder::BuilderOptions options;
    options.device = midibuilder::kDeviceSc8850;
    QCOMPARE(document.buildMidi(options), std::string());
    QVERIFY(bytesOf(document.midi()) == cliMidi);
    const int built = document.midiVersion();
    document.invalidateMidi();
    QVERIFY(!document.setRendering(built, {1, 2}) && !document.renderingCurrent());
    QCOMPARE(document.buildMidi(options), std::string());
    QVERIFY(document.setRendering(document.midiVersion(), {1, 2}) && document.renderingCurrent());
  }

  // The tracking analysis at its widest (15 voices, 120 frames a second) gives the stage's frames
  // for the same samples, builds buildMidi's file with all 15 voices on 15 channels, saves a
  // .wdat that reads back equal and opens again with a check box and a colour of its own per
  // voice; the seed's frames then bring back the converter window's choices.
  void widestTrackedAnalysis() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("wide.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                0.7, [](double t) { return 150 + 60 * t; }, 16)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    AnalysisPanel& panel = *window.analysisPanel();
    panel.methodBox()->setCurrentIndex(panel.methodBox()->findData(QStringLiteral("tracked")));
    QVERIFY(panel.optimiseBox()->isHidden() && !panel.voicesBox()->isHidden());
    panel.voicesBox()->setValue(99);  // brought to the widest, 15
    panel.rateBox()->setCurrentIndex(panel.rateBox()->findData(240));
    panel.rateBox()->setCurrentIndex(panel.rateBox()->findData(120));
    QVERIFY(analyse(window));
    const common::NoteFrames& frames = window.document().frames();

    media::Recording recording;
    QCOMPARE(media::decodeRecording(qtfront::toUtf8(wave), recording), std::string());
    common::AllocationRegistry registry;
    const analyser::LoadResult loaded = analyser::signalFromSamples(
        registry, recording.samples.data(), static_cast<int64_t>(recording.samples.size()), 1);
    common::NoteFrames tracked;
    QVERIFY(media::trackPartials(loaded.wave, 120, 15, {}, nullptr, tracked));
    registry.freeAll();
    tracked.method = "tracked";
    QVERIFY(tracked.frameCount() > 80 && common::encodeWide(frames) == common::encodeWide(tracked));

    BuildPanel& build = *window.buildPanel();
    QCOMPARE(build.polyphonyBox()->itemData(build.polyphonyBox()->count() - 1).toInt(), 15);
    QVERIFY(build.polyphonyBox()->currentData() == 15 && build.channelsBox()->currentData() == 15);
    QVERIFY(window.buildMidi());
    midibuilder::BuilderOptions wide;
    wide.polyphony = wide.usedChannels = 15;
    wide.device = midibuilder::kDeviceSc8850;
    midibuilder::BuilderTables tables;
    const midibuilder::BuildOutcome built = midibuilder::buildMidi(tables, registry, tracked, wide);
    registry.freeAll();
    QVERIFY(!built.midi.empty() && window.midi() == built.midi);

    const QString saved = window.suggestedPath(SaveKind::Dat);
    QCOMPARE(saved, dir.filePath(QStringLiteral("wide.wdat")));
    QCOMPARE(window.saveTo(SaveKind::Dat, saved), QString());
    common::NoteFrames reread;
    QCOMPARE(common::readWideFile(qtfront::toUtf8(saved), reread), std::string());
    QVERIFY(common::encodeWide(reread) == common::encodeWide(tracked));

    StudioWindow opened;
    QCOMPARE(opened.openFile(saved), QString());
    QVERIFY2(opened.summary().contains(QStringLiteral("15 voices")), qPrintable(opened.summary()));
    QVERIFY(opened.buildMidi() && opened.midi() == built.midi);
    for (int slot = 0; slot < media::kPlotMaxSlots; ++slot) {
      QVERIFY(!opened.plotPanel()->slotBox(slot)->isHidden());
      for (int other = 0; other < slot; ++other) {
        QVERIFY(media::PartialPlot::slotColour(slot) != media::PartialPlot::slotColour(other));
      }
    }

    panel.methodBox()->setCurrentIndex(panel.methodBox()->findData(QStringLiteral("seed")));
    QVERIFY(analyse(window));
    QCOMPARE(build.polyphonyBox()->count(), 3);
    QCOMPARE(build.channelsBox()->itemData(build.channelsBox()->count() - 1).toInt(), 8);
    QVERIFY(window.plotPanel()->slotBox(5)->isVisibleTo(window.plotPanel()) &&
            window.plotPanel()->slotBox(6)->isHidden());
    QVERIFY(window.suggestedPath(SaveKind::Dat).endsWith(QStringLiteral(".dat")));
  }

  // A 48 kHz recording is converted as sevrane-cli --convert converts it: the same DAT file.
  void convertedRecording() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("phone.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                1.0, [](double t) { return 240 + 30 * t; }, 3, 48000)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY2(window.summary().contains(QStringLiteral("48000 Hz")) &&
                 window.summary().contains(QStringLiteral("converted to 44100 Hz")),
             qPrintable(window.summary()));
    QVERIFY(analyse(window));
    QCOMPARE(runCli(SEVRANE_CLI, {"--quiet", "--convert", wave}), 0);
    const QByteArray cliDat = readFile(dir.filePath(QStringLiteral("phone.dat")));
    QVERIFY(!cliDat.isEmpty());
    QVERIFY(bytesOf(window.dat()) == cliDat);
  }

  // Zooming keeps the time under the mouse where it is and the view inside the recording; the
  // scroll bar counts milliseconds.
  void zoomAndScroll() {
    media::PartialTracks tracks;
    tracks.frames.resize(600);  // 10 s of silent frames
    PlotPanel panel;
    panel.resize(900, 500);
    panel.setData(nullptr, &tracks, 10.0, QStringLiteral("t"));
    panel.zoomTo(8.0, 4.0);
    QCOMPARE(panel.canvas()->view().startSeconds, 6.0);
    QCOMPARE(panel.canvas()->view().endSeconds, 10.0);
    QCOMPARE(panel.scrollBar()->maximum(), 6000);
    QCOMPARE(panel.scrollBar()->value(), 6000);
    panel.scrollBar()->setValue(1500);
    QCOMPARE(panel.canvas()->view().startSeconds, 1.5);

    PlotCanvas& canvas = *panel.canvas();
    const QRect area = canvas.rect();
    const double x = canvas.plot().xForSeconds(4.0, area);
    QWheelEvent wheel(QPointF(x, area.height() / 2.0), canvas.mapToGlobal(QPointF(x, 10)), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&canvas, &wheel);
    const media::PlotView& view = canvas.view();
    QVERIFY(std::fabs(view.endSeconds - view.startSeconds - 4.0 * 0.64) < 1e-9);
    QVERIFY(std::fabs(canvas.plot().secondsForX(x, area) - 4.0) < 1e-6);
    panel.zoomTo(-3.0, 0.01);
    QCOMPARE(canvas.view().startSeconds, 0.0);
    QCOMPARE(canvas.view().endSeconds, 0.1);

    QCOMPARE(noteName(440.0), QStringLiteral("A4"));
    QCOMPARE(noteName(261.0), QStringLiteral("C4"));
    QCOMPARE(noteName(27.5), QStringLiteral("A0"));
    QCOMPARE(noteName(0.0), QString());
  }

  // Destroying the window in the middle of an analysis cancels it and writes nothing.
  void closeDuringAnalysis() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                120.0, [](double) { return 200.0; }, 3)));
    auto window = std::make_unique<StudioWindow>();
    QCOMPARE(window->openFile(wave), QString());
    window->analysisPanel()->optimiseBox()->setChecked(true);
    QSignalSpy progress(window->findChild<AnalysisJob*>(), &AnalysisJob::progress);
    QVERIFY(window->startAnalysis());
    QVERIFY(progress.wait(60000));
    window.reset();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("long.wav")});
  }

  // With an audio device: the play head moves while the rendering plays, and switching to the
  // original carries on from the same time.
  void playAndSwitch() {
    if (!Player::outputAvailable()) QSKIP("no audio output device");
    const QString wave = dir_.filePath(QStringLiteral("play.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                3.0, [](double) { return 330.0; }, 2)));
    StudioWindow window;
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY(analyse(window));
    QVERIFY(window.play(true));
    PlotCanvas& canvas = *window.plotPanel()->canvas();
    QTRY_VERIFY_WITH_TIMEOUT(canvas.playHead() > 0.3, 5000);
    const double before = canvas.playHead();
    QVERIFY(window.play(false));
    QTest::qWait(100);
    QVERIFY2(canvas.playHead() >= before && canvas.playHead() < before + 0.6,
             qPrintable(QStringLiteral("%1 then %2").arg(before).arg(canvas.playHead())));
    window.stop();
  }

  // A recording over the analysis's 600 s opens as its first 600 s, shown 20 s at a time; a
  // refusal reaches the message box.
  void longRecordingOpensInPart() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeFile(wave, makeWave(
                                601.0, [](double) { return 220.0; }, 1, 4000)));
    StudioWindow window;
    QStringList boxes;
    window.setMessageFunction(
        [&](QWidget*, const QString&, const QString& text) { boxes << text; });
    QCOMPARE(window.openFile(wave), QString());
    QVERIFY(window.document().cutAtLimit());
    QCOMPARE(window.document().recording().samples.size(), std::size_t{600 * 44100});
    QVERIFY2(window.summary().contains(QStringLiteral("first 600 s")),
             qPrintable(window.summary()));
    const media::PlotView& view = window.plotPanel()->canvas()->view();
    QCOMPARE(view.endSeconds - view.startSeconds, 20.0);
    QVERIFY(boxes.isEmpty());
    window.openFile(dir.filePath(QStringLiteral("missing.wav")));
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.first().contains(qtfront::toQString(msg::kFileNotFound)));
  }

  // A part of a recording is those very samples of the file; the zoom stays through an analysis
  // and a change of language, and the picture's words follow the language.
  void partAndViewKept() {
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("three.wav"));
    const QByteArray bytes = makeWave(
        3.0, [](double t) { return 200 + 60 * t; }, 3);
    QVERIFY(writeFile(wave, bytes));
    StudioWindow window;
    QCOMPARE(window.openFile(wave, {1.25, 0.5}), QString());
    const std::vector<int16_t>& samples = window.document().recording().samples;
    QCOMPARE(samples.size(), std::size_t{22050});
    QVERIFY(std::memcmp(samples.data(), bytes.constData() + 44 + 55125 * 2, 22050 * 2) == 0);
    PlotPanel& plot = *window.plotPanel();
    plot.zoomTo(0.1, 0.2);
    QVERIFY(analyse(window));
    QVERIFY(setLanguage(Language::Japanese));
    QCoreApplication::sendPostedEvents();
    const media::PlotView& view = plot.canvas()->view();
    QVERIFY(std::fabs(view.startSeconds - 0.1) < 1e-9 && std::fabs(view.endSeconds - 0.3) < 1e-9);
    QCOMPARE(QString::fromStdString(view.labels.time), QStringLiteral("時間（秒）"));
    setLanguage(Language::English);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(view.labels.time, std::string("time (s)"));
  }

  // Saving a rendering asks for the path first; cancelled mid-way it stops within 0.5 s and
  // leaves no file and no message box.
  void renderCancelledAfterTheDialog() {
    QTemporaryDir dir;
    common::NoteFrames frames;
    frames.slots.resize(35000 * 8);  // 583 s
    for (std::size_t i = 0; i < frames.slots.size(); ++i) {
      if (i % 8 < 6) frames.slots[i] = {2000000, static_cast<int32_t>(1500 + 900 * (i % 8))};
    }
    const QString dat = dir.filePath(QStringLiteral("long.dat"));
    QVERIFY(writeFile(dat, bytesOf(common::encodeDat(frames))));
    StudioWindow window;
    QCOMPARE(window.openFile(dat), QString());
    int boxes = 0;
    window.setMessageFunction([&](QWidget*, const QString&, const QString&) { ++boxes; });
    const QString wavePath = dir.filePath(QStringLiteral("long-rendered.wav"));
    bool askedBeforeRendering = false;
    window.setSavePathFunction([&](QWidget*, const QString&, const QString&, const QString&) {
      askedBeforeRendering = !window.renderRunning();
      return wavePath;
    });
    QSignalSpy progress(window.findChild<RenderJob*>(), &RenderJob::progress);
    QSignalSpy done(&window, &StudioWindow::renderFinished);
    window.saveWithDialog(SaveKind::Rendering);
    QVERIFY(askedBeforeRendering && window.renderRunning());
    QVERIFY(progress.wait(10000));
    QElapsedTimer clock;
    clock.start();
    window.cancelRender();
    QVERIFY(done.wait(5000));
    const qint64 took = clock.elapsed();
    qInfo("rendering stopped %lld ms after the cancel", static_cast<long long>(took));
    QVERIFY(took < 500);
    QCOMPARE(done.first().at(0).toBool(), false);
    QVERIFY(!QFileInfo::exists(wavePath) && window.rendering().empty());
    QCOMPARE(boxes, 0);
  }

  // Help needs no display, and the studio starts without a runtime folder quietly.
  void startsWithoutDisplay() {
    QProcess help;
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"}) {
      bare.remove(QString::fromLatin1(name));
    }
    help.setProcessEnvironment(bare);
    help.start(QStringLiteral(SEVRANE_STUDIO), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(20000));
    QCOMPARE(help.exitStatus(), QProcess::NormalExit);
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.readAllStandardOutput().contains("--analyse"));

    QProcess studio;
    bare.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    studio.setProcessEnvironment(bare);
    studio.start(QStringLiteral(SEVRANE_STUDIO), {});
    QVERIFY(studio.waitForStarted());
    QTest::qWait(1500);
    studio.kill();
    studio.waitForFinished();
    QVERIFY(!studio.readAllStandardError().contains("QStandardPaths"));
  }

 private:
  QTemporaryDir dir_;
};

QTEST_MAIN(StudioTest)
#include "studio_test.moc"
