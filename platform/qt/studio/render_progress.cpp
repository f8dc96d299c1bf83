#include "render_progress.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace studio {

RenderProgress::RenderProgress(QWidget* parent)
    : QWidget(parent),
      label_(new QLabel),
      bar_(new QProgressBar),
      remaining_(new QLabel),
      cancel_(new QPushButton) {
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  bar_->setFixedWidth(160);
  cancel_->setObjectName(QStringLiteral("cancelRendering"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  layout->addWidget(remaining_);
  layout->addWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, &RenderProgress::cancelRequested);
  retranslate();
  setRunning(false);
}

void RenderProgress::setRunning(bool running) {
  setVisible(running);
  if (running) setProgress(0.0, -1.0);
}

void RenderProgress::setProgress(double fractionDone, double secondsLeft) {
  bar_->setValue(static_cast<int>(std::clamp(fractionDone, 0.0, 1.0) * 1000.0));
  // Whole seconds, rounded up, so that the last second shows as 1 rather than 0.
  remaining_->setText(secondsLeft < 0.0 || !std::isfinite(secondsLeft)
                          ? QString()
                          : tr("About %1 s left").arg(std::ceil(std::min(secondsLeft, 1e6))));
}

void RenderProgress::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QWidget::changeEvent(event);
}

void RenderProgress::retranslate() {
  label_->setText(tr("Rendering"));
  cancel_->setText(tr("Cancel"));
}

}  // namespace studio
