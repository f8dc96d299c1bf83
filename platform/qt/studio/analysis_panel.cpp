#include "analysis_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "analyser_window.h"
#include "analysis_job.h"
#include "control_model.h"
#include "methods/analysis_method.h"
#include "platform_services.h"
#include "tracked_method.h"

namespace studio {

namespace {

constexpr int kUnits[] = {15, 20, 30, 60};
// The tracking's frame rates and its default voices: six, the seed's number, so that its
// frames at 60 a second are still a DAT file.
constexpr int kTrackedRates[] = {60, 120, 240};
constexpr int kTrackedDefaultVoices = 6;

}  // namespace

AnalysisPanel::AnalysisPanel(QWidget* parent)
    : QGroupBox(parent),
      methodLabel_(new QLabel),
      method_(new QComboBox),
      voicesLabel_(new QLabel),
      voices_(new QSpinBox),
      rateLabel_(new QLabel),
      rate_(new QComboBox),
      optimise_(new QCheckBox),
      unitLabel_(new QLabel),
      unit_(new QComboBox),
      onsetShift_(new QCheckBox),
      analyse_(new QPushButton),
      cancel_(new QPushButton),
      progress_(new QProgressBar),
      remaining_(new QLabel) {
  // The media layer's methods join the registry once, before the first panel lists it.
  media::registerMediaMethods();
  // Every method the registry has, the seed's first; only those the panel has options for.
  for (const analyser::MethodEntry& entry : analyser::analysisMethods()) {
    if (entry.name == "seed" || entry.name == media::kTrackedMethodName) {
      method_->addItem(QString(), qtfront::toQString(std::string(entry.name)));
    }
  }
  voices_->setRange(media::kTrackedMinVoices, media::kTrackedMaxVoices);
  voices_->setValue(kTrackedDefaultVoices);
  for (int rate : kTrackedRates) rate_->addItem(QString(), rate);
  for (int units : kUnits) unit_->addItem(QString(), units);
  // The window's defaults, as the analyser's control model gives them.
  const common::ControlModel& model = analyser::analyserControls();
  optimise_->setChecked(model.option("optimise").defaultValue == "on");
  const common::RadioChoice* unit = model.option("unit").choice(model.option("unit").defaultValue);
  unit_->setCurrentIndex(std::max(0, unit_->findData(unit ? unit->number : 60)));
  onsetShift_->setChecked(model.option("onset-shift").defaultValue == "on");
  unitLabel_->setBuddy(unit_);
  methodLabel_->setBuddy(method_);
  voicesLabel_->setBuddy(voices_);
  rateLabel_->setBuddy(rate_);
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  analyse_->setObjectName(QStringLiteral("analyse"));
  cancel_->setObjectName(QStringLiteral("cancelAnalysis"));

  auto* choices = new QFormLayout;
  choices->addRow(methodLabel_, method_);
  choices->addRow(voicesLabel_, voices_);
  choices->addRow(rateLabel_, rate_);
  auto* units = new QHBoxLayout;
  units->addWidget(unitLabel_);
  units->addWidget(unit_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(analyse_, 1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choices);
  layout->addWidget(optimise_);
  layout->addLayout(units);
  layout->addWidget(onsetShift_);
  layout->addLayout(buttons);
  layout->addWidget(progress_);
  layout->addWidget(remaining_);

  connect(analyse_, &QPushButton::clicked, this, &AnalysisPanel::analyseRequested);
  connect(cancel_, &QPushButton::clicked, this, &AnalysisPanel::cancelRequested);
  connect(method_, &QComboBox::currentIndexChanged, this, &AnalysisPanel::methodChosen);
  setRunning(false);
  methodChosen();
  retranslate();
}

bool AnalysisPanel::seedChosen() const {
  return method_->currentIndex() < 0 || method_->currentData().toString() == QStringLiteral("seed");
}

void AnalysisPanel::fillRequest(AnalysisRequest& request) const {
  const bool seed = seedChosen();
  request.method = seed ? std::string("seed") : qtfront::toUtf8(method_->currentData().toString());
  request.optimise = seed && optimise_->isChecked();
  request.unitsPerSecond = (seed ? unit_ : rate_)->currentData().toInt();
  request.onsetShift = seed && onsetShift_->isChecked();
  request.voices = seed ? 6 : voices_->value();
}

void AnalysisPanel::methodChosen() {
  const bool seed = seedChosen();
  for (QWidget* widget : {static_cast<QWidget*>(optimise_), static_cast<QWidget*>(unitLabel_),
                          static_cast<QWidget*>(unit_), static_cast<QWidget*>(onsetShift_)}) {
    widget->setHidden(!seed);
  }
  for (QWidget* widget : {static_cast<QWidget*>(voicesLabel_), static_cast<QWidget*>(voices_),
                          static_cast<QWidget*>(rateLabel_), static_cast<QWidget*>(rate_)}) {
    widget->setHidden(seed);
  }
  // A single method needs no choice.
  methodLabel_->setHidden(method_->count() < 2);
  method_->setHidden(method_->count() < 2);
}

void AnalysisPanel::setRunning(bool running) {
  analyse_->setEnabled(!running);
  cancel_->setEnabled(running);
  for (QWidget* widget : {static_cast<QWidget*>(method_), static_cast<QWidget*>(voices_),
                          static_cast<QWidget*>(rate_), static_cast<QWidget*>(optimise_),
                          static_cast<QWidget*>(unit_), static_cast<QWidget*>(onsetShift_)}) {
    widget->setEnabled(!running);
  }
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
  methodLabel_->setText(tr("Method"));
  for (int i = 0; i < method_->count(); ++i) {
    method_->setItemText(i, method_->itemData(i).toString() == QStringLiteral("seed")
                                ? tr("Analysis by synthesis")
                                : tr("Partial tracking"));
  }
  voicesLabel_->setText(tr("Voices"));
  rateLabel_->setText(tr("Frame rate"));
  for (int i = 0; i < rate_->count(); ++i) {
    rate_->setItemText(i, tr("%1 frames/s").arg(rate_->itemData(i).toInt()));
  }
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
