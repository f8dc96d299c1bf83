// A dialog described as data: title, client size and font in dialog units, and one entry per
// control. The templates live in resources/dialogs/*.json and are compiled in as Qt resources.
#pragma once

#include <QRect>
#include <QString>
#include <QVector>

namespace qtfront {

enum class ControlKind { Label, Edit, Button, GroupBox, Radio, Progress };

struct ControlSpec {
  int id = -1;
  ControlKind kind = ControlKind::Label;
  QString caption;
  QRect rect;  // dialog units
  bool selected = false;
  bool disabled = false;
  bool groupStart = false;
  bool autoHScroll = false;
};

struct DialogTemplate {
  QString title;
  int width = 0;  // client size, dialog units
  int height = 0;
  QString fontFamily;
  int fontPointSize = 0;
  QVector<ControlSpec> controls;
};

// Parses a template from JSON text. On failure returns false and describes the fault in `error`.
bool parseDialogTemplate(const QByteArray& json, DialogTemplate& out, QString& error);

// Loads a template from a file or resource path (":/dialogs/sevrane.json"). A template that cannot
// be read or parsed is a build fault, so this aborts with the reason.
DialogTemplate loadDialogTemplate(const QString& path);

}  // namespace qtfront
