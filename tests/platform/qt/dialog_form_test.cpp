// Dialog templates: parsing, the captions against the program's fixed texts, dialog-unit
// geometry, fonts, and the message box and open-file dialog the windows use.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "analyser_window.h"
#include "converter_window.h"
#include "dialog_form.h"
#include "dialog_template.h"
#include "messages.h"
#include "platform_services.h"

using namespace qtfront;

namespace {

QString q(std::string_view s) {
  return toQString(s);
}

const ControlSpec* findSpec(const DialogTemplate& t, int id, const QString& caption = {}) {
  for (const ControlSpec& c : t.controls) {
    if (c.id == id && (id != -1 || c.caption == caption)) return &c;
  }
  return nullptr;
}

}  // namespace

class DialogFormTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void rejectsBrokenTemplates() {
    const char* broken[] = {
        "[1,2]",
        R"({"title":"x","width":0,"height":10,"font":{"family":"f","pointSize":9},"controls":[]})",
        R"({"title":"x","width":10,"height":10,"font":{"family":"f","pointSize":9},
            "controls":[{"id":5,"kind":"slider","rect":[0,0,1,1]}]})",
        R"({"title":"x","width":10,"height":10,"font":{"family":"f","pointSize":9},
            "controls":[{"id":5,"kind":"label","rect":[0,0,1]}]})",
        R"({"title":"x","width":10,"height":10,"font":{"family":"f","pointSize":9},
            "controls":[{"id":5,"kind":"label","rect":[0,-3,1,1]}]})",
        R"({"title":"x","width":10,"height":10,"font":{"family":"f","pointSize":9},
            "controls":[{"id":5,"kind":"label","rect":[0,0,1,1]},
                        {"id":5,"kind":"edit","rect":[0,0,1,1]}]})",
    };
    for (const char* json : broken) {
      DialogTemplate t;
      QString error;
      QVERIFY2(!parseDialogTemplate(QByteArray(json), t, error), json);
      QVERIFY(!error.isEmpty());
    }
  }

  void analyserTemplateMatchesTheFixedTexts() {
    const DialogTemplate t = loadDialogTemplate(QStringLiteral(":/dialogs/sevrane.json"));
    QCOMPARE(t.title, q(msg::caption::kAnalyserTitle));
    QCOMPARE(QSize(t.width, t.height), QSize(279, 165));
    QCOMPARE(t.fontFamily, QStringLiteral("MS UI Gothic"));
    QCOMPARE(t.fontPointSize, 9);
    QCOMPARE(t.controls.size(), 16);
    struct Expect {
      int id;
      std::string_view caption;
      QRect rect;
      bool selected, disabled, groupStart;
    };
    using namespace msg::caption;
    const Expect expected[] = {
        {-1, kWaveFile, {20, 15, 90, 8}, false, false, false},
        {1000, "", {20, 25, 180, 22}, false, false, false},
        {1001, kBrowse, {220, 25, 40, 22}, false, false, false},
        {1002, kConvert, {20, 115, 40, 30}, false, false, false},
        {1003, kExit, {220, 115, 40, 30}, false, false, false},
        {-1, kSoundingUnit, {153, 78, 48, 68}, false, false, false},
        {1005, kUnit15, {160, 89, 35, 10}, false, true, true},
        {1006, kUnit20, {160, 103, 35, 10}, false, true, false},
        {1007, kUnit30, {160, 117, 35, 10}, false, true, false},
        {1008, kUnit60, {160, 131, 35, 10}, true, true, false},
        {-1, kOnsetShift, {82, 106, 48, 40}, false, false, false},
        {1009, kYes, {89, 117, 35, 10}, false, true, true},
        {1010, kNo, {89, 131, 35, 10}, true, true, false},
        {-1, kOptimisation, {82, 56, 48, 40}, false, false, false},
        {1011, kOff, {89, 67, 30, 10}, true, false, true},
        {1012, kOn, {89, 81, 30, 10}, false, false, false},
    };
    for (const Expect& e : expected) {
      const ControlSpec* c = findSpec(t, e.id, q(e.caption));
      QVERIFY2(c != nullptr, std::string(e.caption).c_str());
      QCOMPARE(c->caption, q(e.caption));
      QCOMPARE(c->rect, e.rect);
      QCOMPARE(c->selected, e.selected);
      QCOMPARE(c->disabled, e.disabled);
      QCOMPARE(c->groupStart, e.groupStart);
    }
  }

  void progressTemplateMatchesTheFixedTexts() {
    const DialogTemplate t = loadDialogTemplate(QStringLiteral(":/dialogs/sevrane_progress.json"));
    QCOMPARE(t.title, q(msg::caption::kProgressTitle));
    QCOMPARE(QSize(t.width, t.height), QSize(186, 60));
    QCOMPARE(t.fontFamily, QStringLiteral("MS Shell Dlg"));
    QCOMPARE(t.fontPointSize, 8);
    int labels = 0;
    for (const ControlSpec& c : t.controls) labels += c.id == -1 ? 1 : 0;
    QCOMPARE(labels, 1);  // the label is addressed by id -1
    const ControlSpec* label = findSpec(t, -1, QString());
    QVERIFY(label != nullptr);
    QCOMPARE(label->rect, QRect(7, 7, 150, 12));
    const ControlSpec* cancel = findSpec(t, 1001);
    QVERIFY(cancel != nullptr);
    QCOMPARE(cancel->caption, q(msg::caption::kCancel));
    QCOMPARE(cancel->rect, QRect(129, 33, 50, 20));
    // The progress bar sits in free space: it overlaps neither specified control.
    const ControlSpec* bar = findSpec(t, 1100);
    QVERIFY(bar != nullptr);
    QVERIFY(!bar->rect.intersects(label->rect));
    QVERIFY(!bar->rect.intersects(cancel->rect));
    QVERIFY(QRect(0, 0, t.width, t.height).contains(bar->rect));
  }

  void converterTemplateMatchesTheFixedTexts() {
    const DialogTemplate t = loadDialogTemplate(QStringLiteral(":/dialogs/quorvel.json"));
    QCOMPARE(t.title, q(msg::caption::kConverterTitle));
    QCOMPARE(QSize(t.width, t.height), QSize(321, 180));
    QCOMPARE(t.controls.size(), 29);
    struct Expect {
      int id;
      std::string_view caption;
      QRect rect;
      bool selected, groupStart;
    };
    using namespace msg::caption;
    const Expect expected[] = {
        {-1, kDatFile, {20, 15, 80, 8}, false, false},
        {1000, "", {20, 25, 210, 20}, false, false},
        {1001, kBrowse, {260, 25, 40, 20}, false, false},
        {1002, kConvert, {20, 120, 40, 35}, false, false},
        {1003, kExit, {260, 120, 40, 35}, false, false},
        {-1, kTempo, {80, 55, 60, 8}, false, false},
        {1007, "", {80, 65, 60, 20}, false, false},
        {-1, kTimeBase, {80, 95, 60, 8}, false, false},
        {1008, "", {80, 105, 60, 20}, false, false},
        {-1, kNoteStart, {80, 135, 60, 8}, false, false},
        {1009, "", {80, 145, 60, 20}, false, false},
        {-1, kPitchSort, {20, 60, 48, 40}, false, false},
        {1010, kOn, {30, 70, 30, 10}, true, true},
        {1011, kOff, {30, 85, 30, 10}, false, false},
        {-1, kChannelsUsed, {155, 60, 40, 100}, false, false},
        {1012, kDigit4, {165, 76, 20, 10}, false, true},
        {1013, kDigit5, {165, 92, 20, 10}, false, false},
        {1014, kDigit6, {165, 108, 20, 10}, true, false},
        {1015, kDigit7, {165, 124, 20, 10}, false, false},
        {1016, kDigit8, {165, 140, 20, 10}, false, false},
        {-1, kMidiDevice, {205, 50, 95, 40}, false, false},
        {1017, kHalvoran, {210, 60, 43, 10}, true, true},
        {1018, kSc88, {262, 60, 33, 10}, false, false},
        {1019, kSc8850, {210, 75, 43, 10}, false, false},
        {1020, kMsgs, {262, 75, 33, 10}, false, false},
        {-1, kPolyphony, {210, 100, 40, 60}, false, false},
        {1004, kDigit4, {220, 112, 20, 10}, false, true},
        {1005, kDigit5, {220, 128, 20, 10}, false, false},
        {1006, kDigit6, {220, 144, 20, 10}, true, false},
    };
    for (const Expect& e : expected) {
      const ControlSpec* c = findSpec(t, e.id, q(e.caption));
      QVERIFY2(c != nullptr, std::string(e.caption).c_str());
      QCOMPARE(c->rect, e.rect);
      QCOMPARE(c->selected, e.selected);
      QCOMPARE(c->groupStart, e.groupStart);
      QVERIFY(!c->disabled);
    }
  }

  // The control models and the templates describe the same radio groups (each model group's
  // first button starts a group in the template) with the same buttons selected at start.
  void templatesAgreeWithTheControlModels() {
    const std::pair<QString, const common::ControlModel*> pairs[] = {
        {QStringLiteral(":/dialogs/sevrane.json"), &analyser::analyserControls()},
        {QStringLiteral(":/dialogs/quorvel.json"), &midibuilder::converterControls()}};
    for (const auto& [path, model] : pairs) {
      const DialogTemplate t = loadDialogTemplate(path);
      for (const common::ControlOption& o : model->options) {
        if (o.kind == common::ControlKind::Text) {
          QVERIFY(findSpec(t, o.textId) != nullptr);
          continue;
        }
        for (const common::RadioChoice& c : o.choices) {
          const ControlSpec* spec = findSpec(t, c.id);
          QVERIFY(spec != nullptr && spec->kind == ControlKind::Radio);
          QCOMPARE(spec->selected, c.value == o.defaultValue);
          QCOMPARE(spec->groupStart, &c == &o.choices.front());
        }
      }
    }
  }

  void dialogUnitsFollowTheFontsAverageCharacter() {
    DialogMetrics m;
    m.cx = 6;
    m.cy = 12;
    QCOMPARE(m.toPixels(QRect(20, 25, 180, 22)), QRect(30, 38, 270, 33));
    // 1 * 6 / 4 = 1.5 rounds up; 3 * 12 / 8 = 4.5 rounds up; 1 * 7 / 4 = 1.75 -> 2.
    QCOMPARE(m.toPixelsX(1), 2);
    QCOMPARE(m.toPixelsY(3), 5);
    m.cx = 7;
    QCOMPARE(m.toPixelsX(1), 2);
    QCOMPARE(m.toPixelsX(2), 4);  // 3.5 -> 4
  }

  void missingTemplateFontFallsBackToAJapaneseFont() {
    const QFont font = chooseDialogFont(QStringLiteral("No Such Font Family 42"), 9);
    QCOMPARE(font.pointSize(), 9);
    QVERIFY(QFontDatabase::families(QFontDatabase::Japanese)
                .contains(QFontInfo(font).family(), Qt::CaseInsensitive));
    // Every Japanese caption of the templates has glyphs in the chosen font.
    const QFontMetrics fm(font);
    for (const QString& path : {QStringLiteral(":/dialogs/sevrane.json"),
                                QStringLiteral(":/dialogs/sevrane_progress.json"),
                                QStringLiteral(":/dialogs/quorvel.json")}) {
      for (const ControlSpec& c : loadDialogTemplate(path).controls) {
        for (QChar ch : c.caption) QVERIFY2(fm.inFont(ch), qPrintable(c.caption));
      }
    }
  }

  void formBuildsEveryControlAtItsPlace() {
    QWidget host;
    DialogForm form(&host, loadDialogTemplate(QStringLiteral(":/dialogs/sevrane.json")));
    const DialogMetrics& m = form.metrics();
    QVERIFY(m.cx > 0 && m.cy > 0);
    const DialogMetrics expected = measureDialogFont(host.font());
    QCOMPARE(m.cx, expected.cx);
    QCOMPARE(host.size(), QSize(m.toPixelsX(279), m.toPixelsY(165)));
    QCOMPARE(host.minimumSize(), host.maximumSize());
    QCOMPARE(host.windowTitle(), QStringLiteral("Sevrane"));
    QCOMPARE(form.control(1000)->geometry(), m.toPixels(QRect(20, 25, 180, 22)));
    QVERIFY(qobject_cast<QLineEdit*>(form.control(1000)));
    QVERIFY(qobject_cast<QPushButton*>(form.control(1002)));
    QVERIFY(qobject_cast<QRadioButton*>(form.control(1011)));
    QVERIFY(qobject_cast<QLabel*>(form.control(-1)));
    QCOMPARE(form.text(-1), q(msg::caption::kWaveFile));
    QVERIFY(form.control(4242) == nullptr);
    QCOMPARE(form.text(4242), QString());
    QVERIFY(!form.isChecked(4242));
    QVERIFY(!form.isChecked(1000));

    // Push buttons never act as default buttons: Enter belongs to the window.
    for (int id : {1001, 1002, 1003}) {
      QVERIFY(!form.button(id)->autoDefault());
      QVERIFY(!form.button(id)->isDefault());
    }
    form.setEnabled(1002, false);
    QVERIFY(!form.control(1002)->isEnabled());
  }

  void captionsAreNotClipped() {
    for (const QString& path : {QStringLiteral(":/dialogs/sevrane.json"),
                                QStringLiteral(":/dialogs/sevrane_progress.json"),
                                QStringLiteral(":/dialogs/quorvel.json")}) {
      QWidget host;
      const DialogTemplate t = loadDialogTemplate(path);
      DialogForm form(&host, t);
      const QList<QWidget*> children = host.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (const ControlSpec& spec : t.controls) {
        if (spec.caption.isEmpty() || spec.kind == ControlKind::GroupBox) continue;
        QWidget* w = nullptr;
        for (QWidget* child : children) {
          auto* button = qobject_cast<QAbstractButton*>(child);
          auto* label = qobject_cast<QLabel*>(child);
          const bool sameCaption = (button && button->text() == spec.caption) ||
                                   (label && label->text() == spec.caption);
          if (sameCaption && child->property("controlId").toInt() == spec.id) w = child;
        }
        QVERIFY2(w != nullptr, qPrintable(spec.caption));
        const QRect place = form.metrics().toPixels(spec.rect);
        QCOMPARE(w->pos(), place.topLeft());
        QCOMPARE(w->height(), place.height());
        QVERIFY2(w->height() >= QFontMetrics(w->font()).height(), qPrintable(spec.caption));
        const int needed = qobject_cast<QPushButton*>(w)
                               ? QFontMetrics(w->font()).horizontalAdvance(spec.caption) + 8
                               : w->sizeHint().width();
        QVERIFY2(w->width() >= needed, qPrintable(spec.caption));
        QVERIFY2(w->geometry().right() < host.width(), qPrintable(spec.caption));
      }
    }
  }

  void radioGroupsSwitchOnlyWithinThemselves() {
    QWidget host;
    DialogForm form(&host, loadDialogTemplate(QStringLiteral(":/dialogs/quorvel.json")));
    form.setChecked(1012, true);  // channels 4
    QVERIFY(form.isChecked(1012));
    QVERIFY(!form.isChecked(1014));
    QVERIFY(form.isChecked(1006));  // polyphony untouched
    QVERIFY(form.isChecked(1010));  // pitch sort untouched
    QVERIFY(form.isChecked(1017));
    // A click does the same as setChecked.
    QTest::mouseClick(form.control(1020), Qt::LeftButton, {}, QPoint(4, 4));
    QVERIFY(form.isChecked(1020));
    QVERIFY(!form.isChecked(1017));
    QVERIFY(form.isChecked(1012));
  }

  void textRoundTripsUtf8() {
    QWidget host;
    DialogForm form(&host, loadDialogTemplate(QStringLiteral(":/dialogs/sevrane.json")));
    const std::string path = "/tmp/録音 テイク1.wav";
    form.setText(1000, toQString(path));
    QCOMPARE(toUtf8(form.text(1000)), path);
  }

  void messageBoxHasOwnerTitleTextAndIcon() {
    QWidget owner;
    owner.show();
    struct Case {
      common::MessageIcon icon;
      QMessageBox::Icon expected;
    } cases[] = {{common::MessageIcon::Exclamation, QMessageBox::Warning},
                 {common::MessageIcon::None, QMessageBox::NoIcon}};
    for (const Case& c : cases) {
      QMessageBox* box = nullptr;
      QWidget* parent = nullptr;
      QString title, text;
      QMessageBox::Icon icon{};
      QMessageBox::StandardButtons buttons{};
      qsizetype buttonCount = 0;
      QTimer::singleShot(0, [&] {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        parent = box->parentWidget();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        buttonCount = box->buttons().size();
        box->accept();
      });
      showMessageBox(&owner, QStringLiteral("Sevrane"), q(msg::kFinished), c.icon);
      QVERIFY(box != nullptr);
      QCOMPARE(parent, &owner);
      QCOMPARE(title, QStringLiteral("Sevrane"));
      QCOMPARE(text, q(msg::kFinished));
      QCOMPARE(icon, c.expected);
      QCOMPARE(buttonCount, qsizetype{1});
      QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
  }

  void openFileDialogHasOneFilterAndADefaultExtension() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("take.wav"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QWidget owner;
    owner.show();
    // Looked at while the dialog runs, checked once it has returned.
    bool seen = false;
    QStringList filters;
    QString shownFilter;
    bool hidesDetails = false;
    QString suffix;
    QFileDialog::FileMode mode{};
    QFileDialog::AcceptMode acceptMode{};
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      seen = true;
      filters = dialog->nameFilters();
      if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        shownFilter = types->currentText();
      hidesDetails = dialog->testOption(QFileDialog::HideNameFilterDetails);
      suffix = dialog->defaultSuffix();
      mode = dialog->fileMode();
      acceptMode = dialog->acceptMode();
      dialog->setDirectory(dir.path());
      dialog->selectFile(file);
      static_cast<QDialog*>(dialog)->accept();
    });
    const QString chosen = openFileWithDialog(
        &owner, {q(msg::caption::kWaveFilter), QStringLiteral("*.wav"), QStringLiteral("wav")});
    QVERIFY(seen);
    QCOMPARE(filters.size(), 1);
    QVERIFY(filters.front().endsWith(QStringLiteral("(*.wav)")));
    QCOMPARE(shownFilter, q(msg::caption::kWaveFilter));  // both blanks kept
    QVERIFY(hidesDetails);
    QCOMPARE(suffix, QStringLiteral("wav"));
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(acceptMode, QFileDialog::AcceptOpen);
    QCOMPARE(QFileInfo(chosen).canonicalFilePath(), QFileInfo(file).canonicalFilePath());

    // Cancelling gives an empty result.
    QTimer::singleShot(0, [] {
      if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    });
    QVERIFY(openFileWithDialog(&owner, {q(msg::caption::kWaveFilter), QStringLiteral("*.wav"),
                                        QStringLiteral("wav")})
                .isEmpty());
  }

  void clocksAreMonotonic() {
    MonotonicClock clock;
    int64_t frequency = 0;
    QVERIFY(clock.counterFrequency(frequency));
    QCOMPARE(frequency, int64_t{1000000000});
    const int64_t t0 = clock.counterNow();
    const int32_t m0 = clock.clockMillis();
    QTest::qWait(30);
    const int64_t t1 = clock.counterNow();
    const int32_t m1 = clock.clockMillis();
    QVERIFY(m0 >= 0);
    QVERIFY(t1 - t0 >= 25 * 1000000LL);
    QVERIFY(m1 - m0 >= 25);
  }
};

QTEST_MAIN(DialogFormTest)
#include "dialog_form_test.moc"
