#include "analysis_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "analyser_window.h"
#include "analysis_job.h"
#include "control_model.h"

namespace studio {

namespace {

constexpr int kUnits[] = {15, 20, 30, 60};

}  // namespace

AnalysisPanel::AnalysisPanel(QWidget* parent)
    : QGroupBox(parent),
      optimise_(new QCheckBox),
      unitLabel_(new QLabel),
      unit_(new QComboBox),
      onsetShift_(new QCheckBox),
      analyse_(new QPushButton),
      cancel_(new QPushButton),
      progress_(new QProgressBar),
      remaining_(new QLabel) {
  for (int units : kUnits) unit_->addItem(QString(), units);
  // The window's defaults, as the analyser's control model gives them.
  const common::ControlModel& model = analyser::analyserControls();
  optimise_->setChecked(model.option("optimise").defaultValue == "on");
  const common::RadioChoice* unit = model.option("unit").choice(model.option("unit").defaultValue);
  unit_->setCurrentIndex(std::max(0, unit_->findData(unit ? unit->number : 60)));
  onsetShift_->setChecked(model.option("onset-shift").defaultValue == "on");
  unitLabel_->setBuddy(unit_);
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  analyse_->setObjectName(QStringLiteral("analyse"));
  cancel_->setObjectName(QStringLiteral("cancelAnalysis"));

  auto* units = new QHBoxLayout;
  units->addWidget(unitLabel_);
  units->addWidget(unit_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(analyse_, 1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(optimise_);
  layout->addLayout(units);
  layout->addWidget(onsetShift_);
  layout->addLayout(buttons);
  layout->addWidget(progress_);
  layout->addWidget(remaining_);

  connect(analyse_, &QPushButton::clicked, this, &AnalysisPanel::analyseRequested);
  connect(cancel_, &QPushButton::clicked, this, &AnalysisPanel::cancelRequested);
  setRunning(false);
  retranslate();
}

void AnalysisPanel::fillRequest(AnalysisRequest& request) const {
  request.optimise = optimise_->isChecked();
  request.unitsPerSecond = unit_->currentData().toInt();
  request.onsetShift = onsetShift_->isChecked();
}

void AnalysisPanel::setRunning(bool running) {
  analyse_->setEnabled(!running);
  cancel_->setEnabled(running);
  optimise_->setEnabled(!running);
  unit_->setEnabled(!running);
  onsetShift_->setEnabled(!running);
  progress_->setVisible(running);
  remaining_->setVisible(running);
  if (running) setProgress(QString(), 0.0);
}

void AnalysisPanel::setProgress(const QString& remaining, double fractionDone) {
  const double clamped = fractionDone < 0.0 ? 0.0 : fractionDone > 1.0 ? 1.0 : fractionDone;
  progress_->setValue(static_cast<int>(clamped * 1000.0));
  remaining_->setText(remaining);
}

void AnalysisPanel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QGroupBox::changeEvent(event);
}

void AnalysisPanel::retranslate() {
  setTitle(tr("Analysis"));
  optimise_->setText(tr("Optimise (four passes, slower)"));
  unitLabel_->setText(tr("Sounding unit"));
  onsetShift_->setText(tr("Onset shift"));
  for (int i = 0; i < unit_->count(); ++i) {
    unit_->setItemText(i, tr("1/%1 s").arg(unit_->itemData(i).toInt()));
  }
  analyse_->setText(tr("Analyse"));
  cancel_->setText(tr("Cancel"));
}

}  // namespace studio
