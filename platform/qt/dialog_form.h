// Builds a window's controls from a dialog template and gives access to them by control id, the
// way the convert commands address them.
#pragma once

#include <QFont>
#include <QHash>
#include <QRect>
#include <QString>

#include "control_model.h"
#include "dialog_template.h"

class QWidget;
class QPushButton;

namespace qtfront {

// Average character size of a dialog font in pixels: the base of dialog units.
struct DialogMetrics {
  int cx = 0;  // average width of the 52 Latin letters, rounded
  int cy = 0;  // font height (ascent + descent)

  // x * cx / 4 and y * cy / 8, rounded to the nearest pixel.
  int toPixelsX(int units) const;
  int toPixelsY(int units) const;
  QRect toPixels(const QRect& units) const;
};

// The template's font when it is installed, otherwise the nearest installed Japanese UI font
// (so the Japanese captions render), at the template's point size.
QFont chooseDialogFont(const QString& family, int pointSize);
DialogMetrics measureDialogFont(const QFont& font);

class DialogForm {
 public:
  // Creates every control of `tmpl` as a child of `host`, and gives `host` the template's
  // font, title and fixed client size.
  DialogForm(QWidget* host, const DialogTemplate& tmpl);

  const DialogTemplate& dialogTemplate() const { return template_; }
  const DialogMetrics& metrics() const { return metrics_; }

  // The first control with this id (ids other than -1 are unique); nullptr when there is none.
  QWidget* control(int id) const;
  QPushButton* button(int id) const;

  // Text of a field, label, button or group box; empty for an unknown id.
  QString text(int id) const;
  void setText(int id, const QString& text);
  // Checked state of a radio button; false for anything else.
  bool isChecked(int id) const;
  // Checking a radio button clears the others of its group.
  void setChecked(int id, bool checked);
  void setEnabled(int id, bool enabled);
  // Gives the model's text fields and radio groups their initial state.
  void applyInitialState(const common::ControlModel& model);

 private:
  DialogTemplate template_;
  DialogMetrics metrics_;
  QHash<int, QWidget*> byId_;
};

}  // namespace qtfront
