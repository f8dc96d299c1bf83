// Sevrane's window against a scripted convert command: defaults, browsing, keys, and everything
// that can happen while a conversion pumps messages (cancel routes, deferred close, destruction,
// a second convert, a quit request).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <cmath>

#include "analyser_window.h"
#include "messages.h"
#include "progress_window.h"
#include "scripted_commands.h"
#include "sevrane_window.h"

using namespace qtfront;

namespace {

QString q(std::string_view s) {
  return toQString(s);
}

struct Fixture {
  AnalyserScript script;
  MessageLog log;
  std::unique_ptr<SevraneWindow> window;

  explicit Fixture(int runMillis = 1500) {
    script.runMillis = runMillis;
    window = std::make_unique<SevraneWindow>(scriptedAnalyser(script));
    window->setMessageSink(log.sink());
    window->setOpenFileFunction([](QWidget*, const OpenFileRequest&) { return QString(); });
    window->show();
  }
  QPushButton* button(int id) { return window->form().button(id); }
  void setPath(const QString& path) { window->form().setText(analyser::kWaveFileField, path); }
  bool progressWindowIsClosed() const { return window->progressWindow() == nullptr; }
};

// Runs `action` once the conversion started by the next click has been running for `ms`.
void during(int ms, std::function<void()> action) {
  QTimer::singleShot(ms, std::move(action));
}

}  // namespace

class SevraneWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void opensWithTheDefaults() {
    Fixture f;
    DialogForm& form = f.window->form();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Sevrane"));
    QVERIFY(!f.window->windowIcon().isNull());
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(form.text(analyser::kWaveFileField), QString());
    QCOMPARE(form.text(analyser::kBrowseButton), q(msg::caption::kBrowse));
    QCOMPARE(form.text(analyser::kConvertButton), q(msg::caption::kConvert));
    QCOMPARE(form.text(analyser::kExitButton), q(msg::caption::kExit));
    const int disabled[] = {analyser::kUnit15, analyser::kUnit20,  analyser::kUnit30,
                            analyser::kUnit60, analyser::kShiftOn, analyser::kShiftOff};
    for (int id : disabled) QVERIFY(!form.control(id)->isEnabled());
    QVERIFY(form.control(analyser::kOptimiseOff)->isEnabled());
    QVERIFY(form.control(analyser::kOptimiseOn)->isEnabled());
    const int selected[] = {analyser::kUnit60, analyser::kShiftOff, analyser::kOptimiseOff};
    for (int id : selected) QVERIFY(form.isChecked(id));
    const int unselected[] = {analyser::kUnit15, analyser::kUnit20, analyser::kUnit30,
                              analyser::kShiftOn, analyser::kOptimiseOn};
    for (int id : unselected) QVERIFY(!form.isChecked(id));
    QVERIFY(f.progressWindowIsClosed());
  }

  void onlyTheOptimisationChoiceCanBeClicked() {
    Fixture f;
    DialogForm& form = f.window->form();
    QTest::mouseClick(form.control(analyser::kOptimiseOn), Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(form.isChecked(analyser::kOptimiseOn));
    QVERIFY(!form.isChecked(analyser::kOptimiseOff));
    QTest::mouseClick(form.control(analyser::kUnit15), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(form.control(analyser::kShiftOn), Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(form.isChecked(analyser::kUnit60));
    QVERIFY(form.isChecked(analyser::kShiftOff));
  }

  void browsePutsTheChosenPathIntoTheField() {
    Fixture f;
    QWidget* owner = nullptr;
    OpenFileRequest seen;
    QString answer = QStringLiteral("/data/録音/take.wav");
    f.window->setOpenFileFunction([&](QWidget* o, const OpenFileRequest& request) {
      owner = o;
      seen = request;
      return answer;
    });
    f.setPath(QStringLiteral("old.wav"));
    f.button(analyser::kBrowseButton)->click();
    QCOMPARE(owner, f.window.get());
    QCOMPARE(seen.filterLabel, q(msg::caption::kWaveFilter));
    QCOMPARE(seen.pattern, QStringLiteral("*.wav"));
    QCOMPARE(seen.defaultSuffix, QStringLiteral("wav"));
    QCOMPARE(f.window->form().text(analyser::kWaveFileField), answer);
    // Cancelling the dialog leaves the field alone.
    answer.clear();
    f.button(analyser::kBrowseButton)->click();
    QCOMPARE(f.window->form().text(analyser::kWaveFileField),
             QStringLiteral("/data/録音/take.wav"));
  }

  void enterAndEscapeDoNothing() {
    Fixture f;
    f.setPath(QStringLiteral("x.wav"));
    for (int id : {analyser::kWaveFileField, analyser::kConvertButton, analyser::kExitButton,
                   analyser::kOptimiseOn}) {
      QWidget* target = f.window->form().control(id);
      target->setFocus();
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(target, key);
      }
    }
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.script.convertCalls, 0);
    QVERIFY(f.log.shown.empty());
  }

  void exitClosesTheIdleWindow() {
    Fixture f;
    f.button(analyser::kExitButton)->click();
    QVERIFY(!f.window->isVisible());
  }

  void refusalIsShownOnTheWindowTitledSevrane() {
    Fixture f;
    f.setPath(QStringLiteral("take.wave"));
    f.button(analyser::kConvertButton)->click();
    QCOMPARE(f.log.shown.size(), size_t{1});
    QCOMPARE(f.log.shown[0].text, q(msg::kSpecifyWave));
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::Exclamation);
    QCOMPARE(f.log.shown[0].owner, f.window.get());
    QCOMPARE(f.log.shown[0].title, QStringLiteral("Sevrane"));
  }

  void progressWindowShowsTheEstimateAndClosesAtTheEnd() {
    Fixture f;
    f.script.holdUntilReleased = true;
    f.setPath(QStringLiteral("take.wav"));
    QPointer<ProgressWindow> progress;
    QString labelLater, title;
    bool visible = false, modal = true;
    QWidget* owner = nullptr;
    bool mainEnabled = false;
    during(30, [&] {
      progress = f.window->progressWindow();
      if (!progress) return;
      title = progress->windowTitle();
      visible = progress->isVisible();
      modal = progress->isModal() || QApplication::activeModalWidget() != nullptr;
      owner = progress->parentWidget();
      mainEnabled = f.window->isEnabled();
    });
    during(400, [&] {
      if (progress) labelLater = progress->form().text(ProgressWindow::kLabelId);
      f.script.released = true;
    });
    f.button(analyser::kConvertButton)->click();
    QVERIFY(f.script.lastCompleted);
    QCOMPARE(title, QStringLiteral("Dialog"));
    QVERIFY(visible);
    QVERIFY(!modal);
    QCOMPARE(owner, f.window.get());
    QVERIFY(mainEnabled);
    QVERIFY(labelLater.startsWith(q(msg::kRemainingPrefix)));
    QVERIFY(labelLater.endsWith(q(msg::kRemainingSuffix)));
    QVERIFY(f.progressWindowIsClosed());
    QCOMPARE(f.log.texts(), QStringList{q(msg::kFinished)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QVERIFY(!f.window->busy());
  }

  void progressWindowStartsEmptyAndClampsItsBar() {
    QWidget owner;
    int cancels = 0;
    auto* progress = new ProgressWindow(&owner, [&] { ++cancels; });
    QCOMPARE(progress->form().text(ProgressWindow::kLabelId), QString());
    QCOMPARE(progress->form().text(ProgressWindow::kCancelButtonId), q(msg::caption::kCancel));
    auto* bar =
        qobject_cast<QProgressBar*>(progress->form().control(ProgressWindow::kProgressBarId));
    QVERIFY(bar != nullptr);
    progress->setFraction(0.5);
    QCOMPARE(bar->value(), 500);
    progress->setFraction(7.0);
    QCOMPARE(bar->value(), 1000);
    progress->setFraction(-1.0);
    QCOMPARE(bar->value(), 0);
    progress->setFraction(std::nan(""));
    QCOMPARE(bar->value(), 0);
    // Enter and Escape do nothing.
    progress->show();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(progress, key);
      QTest::keyClick(progress->form().button(ProgressWindow::kCancelButtonId), key);
    }
    QVERIFY(progress->isVisible());
    QCOMPARE(cancels, 0);
    // Dismissed by the conversion itself: no cancel, now or when it is finally deleted.
    progress->dismiss();
    delete progress;
    QCOMPARE(cancels, 0);
    // Destroyed along with its owner while open: one cancel.
    auto otherOwner = std::make_unique<QWidget>();
    new ProgressWindow(otherOwner.get(), [&] { ++cancels; });
    otherOwner.reset();
    QCOMPARE(cancels, 1);
  }

  void everyProgressWindowRouteCancels_data() {
    QTest::addColumn<int>("route");
    QTest::newRow("cancel button") << 0;
    QTest::newRow("close box") << 1;
    QTest::newRow("destruction") << 2;
  }
  void everyProgressWindowRouteCancels() {
    QFETCH(int, route);
    Fixture f(5000);
    f.setPath(QStringLiteral("take.wav"));
    bool found = false;
    bool goneAtOnce = false;
    during(250, [&] {
      QPointer<ProgressWindow> progress = f.window->progressWindow();
      if (!progress) return;
      found = true;
      switch (route) {
        case 0:
          progress->form().button(ProgressWindow::kCancelButtonId)->click();
          break;
        case 1:
          progress->close();
          break;
        case 2:
          delete progress.data();
          break;
      }
      goneAtOnce = !progress || !progress->isVisible();
    });
    QElapsedTimer timer;
    timer.start();
    f.button(analyser::kConvertButton)->click();
    QVERIFY(found);
    QVERIFY(goneAtOnce);
    QVERIFY(f.script.lastCancelled);
    QVERIFY(timer.elapsed() < 4000);  // well before the 5 s it would have run
    QCOMPARE(f.log.texts(), QStringList{q(msg::kCancelled)});
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::None);
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.window->busy());
  }

  void exitDuringAConversionCancelsAndKeepsTheWindow() {
    Fixture f(5000);
    f.setPath(QStringLiteral("take.wav"));
    bool progressClosed = false;
    bool stillVisible = false;
    during(250, [&] {
      f.button(analyser::kExitButton)->click();
      progressClosed = f.window->progressWindow() == nullptr;
      stillVisible = f.window->isVisible();
    });
    f.button(analyser::kConvertButton)->click();
    QVERIFY(progressClosed);
    QVERIFY(stillVisible);
    QVERIFY(f.script.lastCancelled);
    QCOMPARE(f.log.texts(), QStringList{q(msg::kCancelled)});
    QVERIFY(f.window->isVisible());
    // A second "終了", now idle, closes the window.
    f.button(analyser::kExitButton)->click();
    QVERIFY(!f.window->isVisible());
  }

  void closingDuringAConversionWaitsForItToStop() {
    Fixture f(5000);
    f.setPath(QStringLiteral("take.wav"));
    bool visibleAfterClose = false;
    bool progressClosed = false;
    during(250, [&] {
      f.window->close();
      visibleAfterClose = f.window->isVisible();
      progressClosed = f.window->progressWindow() == nullptr;
    });
    f.button(analyser::kConvertButton)->click();
    QVERIFY(visibleAfterClose);
    QVERIFY(progressClosed);
    QVERIFY(f.script.lastCancelled);
    QCOMPARE(f.log.texts(), QStringList{q(msg::kCancelled)});
    QVERIFY(!f.window->isVisible());
  }

  void secondConvertWhileBusyIsIgnored() {
    Fixture f;
    f.script.holdUntilReleased = true;
    f.setPath(QStringLiteral("take.wav"));
    during(200, [&] { f.button(analyser::kConvertButton)->click(); });
    during(300, [&] {
      QTest::mouseClick(f.button(analyser::kConvertButton), Qt::LeftButton);
      f.script.released = true;
    });
    f.button(analyser::kConvertButton)->click();
    QCOMPARE(f.script.convertCalls, 1);
    QVERIFY(f.script.lastCompleted);
    QCOMPARE(f.log.texts(), QStringList{q(msg::kFinished)});
  }

  void otherControlsStayUsableDuringAConversion() {
    Fixture f;
    f.script.holdUntilReleased = true;
    f.setPath(QStringLiteral("take.wav"));
    QString pathDuring;
    f.window->setOpenFileFunction(
        [](QWidget*, const OpenFileRequest&) { return QStringLiteral("/other.wav"); });
    during(200, [&] {
      f.button(analyser::kBrowseButton)->click();
      f.window->form().setChecked(analyser::kOptimiseOn, true);
      pathDuring = f.window->form().text(analyser::kWaveFileField);
      f.script.released = true;
    });
    f.button(analyser::kConvertButton)->click();
    QCOMPARE(pathDuring, QStringLiteral("/other.wav"));
    QVERIFY(f.window->form().isChecked(analyser::kOptimiseOn));
    QVERIFY(f.script.lastCompleted);
  }

  void aFileArgumentFillsTheFieldAndNothingElse() {
    const QString app = QStringLiteral("sevrane");
    QCOMPARE(fileArgument({app}), QString());
    QCOMPARE(fileArgument({app, QStringLiteral("--demo-progress")}), QString());
    QCOMPARE(fileArgument(
                 {app, QStringLiteral("-x"), QStringLiteral("/a b.wav"), QStringLiteral("c.wav")}),
             QStringLiteral("/a b.wav"));
    QCOMPARE(fileArgument({app, QStringLiteral("--"), QStringLiteral("-take.wav")}),
             QStringLiteral("-take.wav"));
    Fixture f;
    f.window->setFilePath(QStringLiteral("/d/take.wav"));
    QCOMPARE(f.window->form().text(analyser::kWaveFileField), QStringLiteral("/d/take.wav"));
    QVERIFY(f.log.shown.empty());
  }

  void destroyingTheWindowDuringAConversionCancelsIt() {
    Fixture f(5000);
    f.setPath(QStringLiteral("take.wav"));
    bool destroyed = false;
    during(250, [&] {
      f.window.reset();
      destroyed = true;
    });
    // Clicked through a pointer that outlives the window's own button.
    QMetaObject::invokeMethod(f.button(analyser::kConvertButton), "click", Qt::DirectConnection);
    QVERIFY(destroyed);
    QVERIFY(f.script.lastCancelled);
    // No owner is left for a message.
    QVERIFY(f.log.shown.empty());
  }

  void quitDuringAConversionEndsTheProgramAfterItStops() {
    Fixture f(5000);
    f.setPath(QStringLiteral("take.wav"));
    QTimer::singleShot(0, [&] { f.button(analyser::kConvertButton)->click(); });
    QTimer::singleShot(250, [] { QCoreApplication::quit(); });
    QTimer::singleShot(8000, [] { QCoreApplication::exit(7); });  // watchdog
    const bool quitOnLast = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(true);
    const int rc = QCoreApplication::exec();
    QApplication::setQuitOnLastWindowClosed(quitOnLast);
    QCOMPARE(rc, 0);
    QVERIFY(f.script.lastCancelled);
    QCOMPARE(f.log.texts(), QStringList{q(msg::kCancelled)});
    QVERIFY(!f.window->isVisible());
  }
};

QTEST_MAIN(SevraneWindowTest)
#include "sevrane_window_test.moc"
