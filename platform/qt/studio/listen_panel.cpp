#include "listen_panel.h"

#include <QComboBox>
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
      port_(new QRadioButton),
      ports_(new QComboBox),
      refresh_(new QPushButton),
      play_(new QPushButton),
      stop_(new QPushButton) {
  play_->setObjectName(QStringLiteral("play"));
  stop_->setObjectName(QStringLiteral("stop"));
  port_->setObjectName(QStringLiteral("port"));
  ports_->setObjectName(QStringLiteral("ports"));
  refresh_->setObjectName(QStringLiteral("refreshPorts"));
  rendered_->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  auto* sources = new QHBoxLayout;
  sources->addWidget(original_);
  sources->addWidget(rendered_);
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(port_);
  portRow->addWidget(ports_, 1);
  portRow->addWidget(refresh_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(play_, 1);
  buttons->addWidget(stop_);
  layout->addWidget(label_);
  layout->addLayout(sources);
  layout->addLayout(portRow);
  layout->addLayout(buttons);

  connect(play_, &QPushButton::clicked, this, [this] { Q_EMIT playRequested(renderingChosen()); });
  connect(stop_, &QPushButton::clicked, this, &ListenPanel::stopRequested);
  for (QRadioButton* source : {original_, rendered_, port_}) {
    connect(source, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) Q_EMIT sourceChanged(renderingChosen());
    });
  }
  connect(refresh_, &QPushButton::clicked, this, &ListenPanel::refreshPortsRequested);
  retranslate();
}

bool ListenPanel::renderingChosen() const {
  return rendered_->isChecked();
}

bool ListenPanel::portChosen() const {
  return port_->isChecked();
}

QString ListenPanel::chosenPort() const {
  return ports_->currentText();
}

void ListenPanel::setPorts(const QStringList& names) {
  const QString chosen = ports_->currentText();
  ports_->clear();
  ports_->addItems(names);
  if (names.contains(chosen)) ports_->setCurrentText(chosen);
}

void ListenPanel::setAvailable(bool original, bool rendering, bool canPlay, bool playing) {
  const bool port = rendering && ports_->count() > 0;
  original_->setEnabled(original);
  rendered_->setEnabled(rendering);
  port_->setEnabled(port);
  ports_->setEnabled(port);
  if (!original && !(port && port_->isChecked())) rendered_->setChecked(true);
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
  port_->setText(tr("MIDI port"));
  refresh_->setText(tr("Refresh"));
  refresh_->setToolTip(tr("List the MIDI output ports again"));
  play_->setText(tr("Play"));
  stop_->setText(tr("Stop"));
}

}  // namespace studio
