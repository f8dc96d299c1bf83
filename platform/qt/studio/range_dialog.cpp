#include "range_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

namespace studio {

namespace {

// Beyond any recording's length when the header does not give it: a day.
constexpr double kUnknownLength = 86400.0;

}  // namespace

RangeDialog::RangeDialog(QWidget* owner, const QString& fileName, double fileSeconds,
                         double maxSeconds)
    : QDialog(owner), start_(new QDoubleSpinBox), length_(new QDoubleSpinBox) {
  setWindowTitle(tr("Open part of a recording"));
  const double whole = fileSeconds > 0.0 ? fileSeconds : kUnknownLength;
  start_->setRange(0.0, whole);
  start_->setDecimals(2);
  start_->setSuffix(tr(" s"));
  length_->setRange(0.01, maxSeconds);
  length_->setDecimals(2);
  length_->setSuffix(tr(" s"));
  length_->setValue(std::min(whole, maxSeconds));
  auto* about = new QLabel(fileSeconds > 0.0
                               ? tr("%1 is %2 s long; up to %3 s of it can be analysed at a time.")
                                     .arg(fileName)
                                     .arg(fileSeconds, 0, 'f', 2)
                                     .arg(maxSeconds, 0, 'f', 0)
                               : tr("Up to %1 s of %2 can be analysed at a time.")
                                     .arg(maxSeconds, 0, 'f', 0)
                                     .arg(fileName));
  about->setWordWrap(true);
  auto* form = new QFormLayout;
  form->addRow(tr("Start"), start_);
  form->addRow(tr("Length"), length_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(about);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

OpenRange RangeDialog::range() const {
  return {start_->value(), length_->value()};
}

bool askRange(QWidget* owner, const QString& fileName, double fileSeconds, double maxSeconds,
              OpenRange& range) {
  RangeDialog dialog(owner, fileName, fileSeconds, maxSeconds);
  if (dialog.exec() != QDialog::Accepted) return false;
  range = dialog.range();
  return true;
}

}  // namespace studio
