// Quorvel's window against a scripted convert command: defaults, browsing, keys and the
// environment it offers the command.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "converter_window.h"
#include "messages.h"
#include "quorvel_window.h"
#include "scripted_commands.h"

using namespace qtfront;
using namespace midibuilder;

namespace {

QString q(std::string_view s) {
  return toQString(s);
}

struct Fixture {
  ConverterScript script;
  MessageLog log;
  int browseCalls = 0;
  OpenFileRequest browseRequest;
  QWidget* browseOwner = nullptr;
  QString browseAnswer;
  std::unique_ptr<QuorvelWindow> window;

  Fixture() {
    window = std::make_unique<QuorvelWindow>(scriptedConverter(script));
    window->setMessageSink(log.sink());
    window->setOpenFileFunction([this](QWidget* owner, const OpenFileRequest& request) {
      ++browseCalls;
      browseOwner = owner;
      browseRequest = request;
      return browseAnswer;
    });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }
  QWidget* control(int id) { return window->form().control(id); }
};

}  // namespace

class QuorvelWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void opensWithTheDefaults() {
    Fixture f;
    DialogForm& form = f.window->form();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Quorvel for Halvoran"));
    QVERIFY(!f.window->windowIcon().isNull());
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(form.text(kDatFileField), QString());
    QCOMPARE(form.text(kTempoField), QStringLiteral("120.0"));
    QCOMPARE(form.text(kTimeBaseField), QStringLiteral("480"));
    QCOMPARE(form.text(kNoteStartField), QStringLiteral("1920"));
    const int selected[] = {kPitchSortOn, kChannels6, kHalvoran, kPolyphony6};
    for (int id : selected) QVERIFY(form.isChecked(id));
    const int unselected[] = {kPitchSortOff, kChannels4, kChannels5, kChannels7,  kChannels8,
                              kSc88,         kSc8850,    kMsgs,      kPolyphony4, kPolyphony5};
    for (int id : unselected) QVERIFY(!form.isChecked(id));
    for (int id = 1000; id <= 1020; ++id) QVERIFY(f.control(id)->isEnabled());
  }

  void environmentReadsTheControls() {
    Fixture f;
    f.window->form().setText(kDatFileField, QStringLiteral("/曲/song.dat "));
    QCOMPARE(f.window->controlText(kDatFileField), std::string("/曲/song.dat "));
    f.window->setControlText(kTempoField, "97.5");
    QCOMPARE(f.window->form().text(kTempoField), QStringLiteral("97.5"));
    f.window->form().setChecked(kMsgs, true);
    QVERIFY(f.window->isRadioChecked(kMsgs));
    QVERIFY(!f.window->isRadioChecked(kHalvoran));
    QVERIFY(f.window->isRadioChecked(kPolyphony6));
  }

  void messagesCarryTheProgramsName() {
    Fixture f;
    f.window->showMessage(msg::kTempoRange, common::MessageIcon::Exclamation);
    f.window->showMessage(msg::kFinished, common::MessageIcon::None);
    QCOMPARE(f.log.shown.size(), size_t{2});
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QCOMPARE(f.window->messageTitle(), name);
    for (const ShownMessage& m : f.log.shown) {
      QCOMPARE(m.title, name);
      QCOMPARE(m.owner, f.window.get());
    }
    QCOMPARE(f.log.shown[0].icon, common::MessageIcon::Exclamation);
    QCOMPARE(f.log.shown[1].icon, common::MessageIcon::None);
  }

  void browsePutsTheChosenPathIntoTheField() {
    Fixture f;
    f.browseAnswer = QStringLiteral("/data/歌/song.dat");
    QTest::mouseClick(f.window->form().button(kBrowseButton), Qt::LeftButton);
    QCOMPARE(f.browseCalls, 1);
    QCOMPARE(f.browseOwner, f.window.get());
    QCOMPARE(f.browseRequest.filterLabel, q(msg::caption::kDatFilter));
    QCOMPARE(f.browseRequest.pattern, QStringLiteral("*.dat"));
    QCOMPARE(f.browseRequest.defaultSuffix, QStringLiteral("dat"));
    QCOMPARE(f.window->form().text(kDatFileField), f.browseAnswer);
    f.browseAnswer.clear();
    QTest::mouseClick(f.window->form().button(kBrowseButton), Qt::LeftButton);
    QCOMPARE(f.window->form().text(kDatFileField), QStringLiteral("/data/歌/song.dat"));
  }

  void convertButtonRunsTheCommand() {
    Fixture f;
    QTest::mouseClick(f.window->form().button(kConvertButton), Qt::LeftButton);
    QCOMPARE(f.script.convertCalls, 1);
    QVERIFY(f.window->isVisible());
  }

  void escapeClosesTheWindow() {
    Fixture f;
    f.control(kTempoField)->setFocus();
    QTest::keyClick(f.control(kTempoField), Qt::Key_Escape);
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.script.convertCalls, 0);
  }

  void enterPressesTheFocusedButton() {
    Fixture f;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      f.control(kConvertButton)->setFocus();
      QTest::keyClick(f.control(kConvertButton), key);
      f.control(kBrowseButton)->setFocus();
      QTest::keyClick(f.control(kBrowseButton), key);
    }
    QCOMPARE(f.script.convertCalls, 2);
    QCOMPARE(f.browseCalls, 2);
    QVERIFY(f.window->isVisible());
    f.control(kExitButton)->setFocus();
    QTest::keyClick(f.control(kExitButton), Qt::Key_Return);
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.script.convertCalls, 2);
  }

  void enterElsewhereClosesTheWindow() {
    for (int id : {int(kTempoField), int(kDatFileField), int(kNoteStartField), int(kChannels7)}) {
      Fixture f;
      f.control(id)->setFocus();
      QTest::keyClick(f.control(id), Qt::Key_Return);
      QVERIFY2(!f.window->isVisible(), qPrintable(QString::number(id)));
      QCOMPARE(f.script.convertCalls, 0);
    }
  }

  void exitButtonAndCloseBoxCloseTheWindow() {
    {
      Fixture f;
      f.window->form().button(kExitButton)->click();
      QVERIFY(!f.window->isVisible());
    }
    {
      Fixture f;
      QVERIFY(f.window->close());
      QVERIFY(!f.window->isVisible());
    }
  }
};

QTEST_MAIN(QuorvelWindowTest)
#include "quorvel_window_test.moc"
