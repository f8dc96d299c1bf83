// The part of a recording to open: a start and a length in seconds, asked after the file has
// been chosen, so that any part of a recording longer than the analysis takes can be worked on.
#pragma once

#include <QDialog>

#include "studio_document.h"

class QDoubleSpinBox;
class QLabel;

namespace studio {

class RangeDialog : public QDialog {
  Q_OBJECT

 public:
  // `fileSeconds`: the recording's length (0 when unknown); `maxSeconds`: the longest part.
  RangeDialog(QWidget* owner, const QString& fileName, double fileSeconds, double maxSeconds);
  OpenRange range() const;

 private:
  QDoubleSpinBox* start_;
  QDoubleSpinBox* length_;
};

// Shows the dialog; false when the user cancelled it.
bool askRange(QWidget* owner, const QString& fileName, double fileSeconds, double maxSeconds,
              OpenRange& range);

}  // namespace studio
