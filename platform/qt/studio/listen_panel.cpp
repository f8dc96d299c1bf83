#include "listen_panel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace studio {

ListenPanel::ListenPanel(QWidget* parent)
    : QGroupBox(parent),
      label_(new QLabel),
      original_(new QRadioButton),
      rendered_(new QRadioButton),
      play_(new QPushButton),
      stop_(new QPushButton) {
  play_->setObjectName(QStringLiteral("play"));
  stop_->setObjectName(QStringLiteral("stop"));
  rendered_->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  auto* sources = new QHBoxLayout;
  sources->addWidget(original_);
  sources->addWidget(rendered_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(play_, 1);
  buttons->addWidget(stop_);
  layout->addWidget(label_);
  layout->addLayout(sources);
  layout->addLayout(buttons);

  connect(play_, &QPushButton::clicked, this, [this] { Q_EMIT playRequested(renderingChosen()); });
  connect(stop_, &QPushButton::clicked, this, &ListenPanel::stopRequested);
  connect(rendered_, &QRadioButton::toggled, this, &ListenPanel::sourceChanged);
  retranslate();
}

bool ListenPanel::renderingChosen() const {
  return rendered_->isChecked();
}

void ListenPanel::setAvailable(bool original, bool rendering, bool canPlay, bool playing) {
  original_->setEnabled(original);
  rendered_->setEnabled(rendering);
  if (!original) rendered_->setChecked(true);
  if (!rendering && original) original_->setChecked(true);
  play_->setEnabled((original || rendering) && canPlay);
  stop_->setEnabled(playing);
}

void ListenPanel::chooseRendering() {
  rendered_->setChecked(true);
}

void ListenPanel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QGroupBox::changeEvent(event);
}

void ListenPanel::retranslate() {
  setTitle(tr("Listen"));
  label_->setText(tr("Play from the play head:"));
  original_->setText(tr("Original"));
  rendered_->setText(tr("Rendering"));
  play_->setText(tr("Play"));
  stop_->setText(tr("Stop"));
}

}  // namespace studio
