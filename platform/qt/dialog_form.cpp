#include "dialog_form.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace qtfront {

namespace {

// Japanese UI fonts in order of preference, for systems without the template's font.
const char* const kJapaneseFallbacks[] = {
    "MS UI Gothic", "Yu Gothic UI",       "Meiryo UI",           "Noto Sans CJK JP",
    "Noto Sans JP", "Source Han Sans JP", "IPAexGothic",         "IPAGothic",
    "VL Gothic",    "TakaoPGothic",       "Droid Sans Japanese",
};

// Rounds a * b / c to the nearest integer, halves away from zero, as the dialog manager does for
// dialog units. Inputs are small (template units times font pixels), so int64 cannot overflow.
int mulDivRound(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

}  // namespace

int DialogMetrics::toPixelsX(int units) const {
  return mulDivRound(units, cx, 4);
}
int DialogMetrics::toPixelsY(int units) const {
  return mulDivRound(units, cy, 8);
}

QRect DialogMetrics::toPixels(const QRect& units) const {
  return QRect(toPixelsX(units.x()), toPixelsY(units.y()), toPixelsX(units.width()),
               toPixelsY(units.height()));
}

QFont chooseDialogFont(const QString& family, int pointSize) {
  const QStringList installed = QFontDatabase::families();
  auto isInstalled = [&installed](const QString& name) {
    return installed.contains(name, Qt::CaseInsensitive);
  };
  QString chosen;
  if (isInstalled(family)) {
    chosen = family;
  } else {
    for (const char* candidate : kJapaneseFallbacks) {
      if (isInstalled(QLatin1String(candidate))) {
        chosen = QLatin1String(candidate);
        break;
      }
    }
  }
  if (chosen.isEmpty()) {
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!japanese.isEmpty()) chosen = japanese.front();
  }
  QFont font;  // the application font when no Japanese font is installed at all
  if (!chosen.isEmpty()) font.setFamilies({chosen});
  font.setPointSize(pointSize);
  return font;
}

DialogMetrics measureDialogFont(const QFont& font) {
  const QFontMetrics fm(font);
  const int width =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogMetrics m;
  // The dialog manager's rounding of the average: (width / 26 + 1) / 2.
  m.cx = (width / 26 + 1) / 2;
  m.cy = fm.height();
  if (m.cx <= 0) m.cx = 1;
  if (m.cy <= 0) m.cy = 1;
  return m;
}

DialogForm::DialogForm(QWidget* host, const DialogTemplate& tmpl) : template_(tmpl) {
  const QFont font = chooseDialogFont(tmpl.fontFamily, tmpl.fontPointSize);
  metrics_ = measureDialogFont(font);
  host->setFont(font);
  host->setWindowTitle(tmpl.title);
  host->setFixedSize(metrics_.toPixelsX(tmpl.width), metrics_.toPixelsY(tmpl.height));

  QButtonGroup* group = nullptr;
  for (const ControlSpec& spec : tmpl.controls) {
    QWidget* widget = nullptr;
    switch (spec.kind) {
      case ControlKind::Label: {
        auto* label = new QLabel(spec.caption, host);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        widget = label;
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(spec.caption, host);
        edit->setCursorPosition(0);
        widget = edit;
        break;
      }
      case ControlKind::Button: {
        auto* button = new QPushButton(spec.caption, host);
        // Enter is the window's business, never a button's own.
        button->setAutoDefault(false);
        button->setDefault(false);
        widget = button;
        break;
      }
      case ControlKind::GroupBox: {
        auto* box = new QGroupBox(spec.caption, host);
        // The caption sits on the frame line, as in the dialogs the templates were laid out
        // for; the style's own box would put the frame under the caption and crowd the first
        // button of the group.
        box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid);"
                                          " border-radius: 2px; margin-top: %1px; }"
                                          " QGroupBox::title { subcontrol-origin: margin;"
                                          " subcontrol-position: top left; left: %2px;"
                                          " padding: 0px 2px; }")
                               .arg(metrics_.cy / 2)
                               .arg(metrics_.toPixelsX(2)));
        widget = box;
        break;
      }
      case ControlKind::Radio: {
        auto* radio = new QRadioButton(spec.caption, host);
        // A group runs from its first button to the next button that starts a group.
        if (spec.groupStart || group == nullptr) {
          group = new QButtonGroup(host);
          group->setExclusive(true);
        }
        group->addButton(radio, spec.id);
        radio->setChecked(spec.selected);
        widget = radio;
        break;
      }
      case ControlKind::Progress: {
        auto* bar = new QProgressBar(host);
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(false);
        widget = bar;
        break;
      }
    }
    QRect place = metrics_.toPixels(spec.rect);
    // A substitute font can be wider than the template's; a label or radio button then grows to
    // the right (never past the window's edge) instead of clipping its caption. Its place and
    // height stay as the template gives them.
    if (spec.kind == ControlKind::Label || spec.kind == ControlKind::Radio) {
      const int needed = widget->sizeHint().width();
      if (needed > place.width()) {
        place.setWidth(std::min(needed, host->width() - place.x()));
      }
    }
    widget->setGeometry(place);
    widget->setEnabled(!spec.disabled);
    widget->setProperty("controlId", spec.id);
    if (!byId_.contains(spec.id)) byId_.insert(spec.id, widget);
  }
}

QWidget* DialogForm::control(int id) const {
  return byId_.value(id, nullptr);
}

QPushButton* DialogForm::button(int id) const {
  return qobject_cast<QPushButton*>(control(id));
}

QString DialogForm::text(int id) const {
  QWidget* w = control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
  return {};
}

void DialogForm::setText(int id, const QString& text) {
  QWidget* w = control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
    box->setTitle(text);
  }
}

bool DialogForm::isChecked(int id) const {
  auto* radio = qobject_cast<QRadioButton*>(control(id));
  return radio != nullptr && radio->isChecked();
}

void DialogForm::setChecked(int id, bool checked) {
  if (auto* radio = qobject_cast<QRadioButton*>(control(id))) radio->setChecked(checked);
}

void DialogForm::setEnabled(int id, bool enabled) {
  if (QWidget* w = control(id)) w->setEnabled(enabled);
}

void DialogForm::applyInitialState(const common::ControlModel& model) {
  for (const common::ControlOption& option : model.options) {
    if (option.kind == common::ControlKind::Text) {
      setText(option.textId, QString::fromUtf8(option.defaultValue.data(),
                                               static_cast<qsizetype>(option.defaultValue.size())));
    } else if (const common::RadioChoice* choice = option.choice(option.defaultValue)) {
      setChecked(choice->id, true);
    }
  }
}

}  // namespace qtfront
