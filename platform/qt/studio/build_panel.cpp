#include "build_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "platform_services.h"
#include "studio_language.h"
#include "targets/targets.h"

namespace studio {

using namespace midibuilder;

namespace {

QLabel* makeRefusalLabel() {
  auto* label = new QLabel;
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: #b00020;"));
  label->hide();
  return label;
}

}  // namespace

BuildPanel::BuildPanel(QWidget* parent)
    : QGroupBox(parent),
      polyphonyLabel_(new QLabel),
      polyphony_(new QComboBox),
      channelsLabel_(new QLabel),
      channels_(new QComboBox),
      channelsRefusal_(makeRefusalLabel()),
      deviceLabel_(new QLabel),
      device_(new QComboBox),
      deviceHint_(new QLabel),
      pitchSort_(new QCheckBox),
      tempoLabel_(new QLabel),
      tempo_(new QLineEdit(QString::fromLatin1(kDefaultTempoText))),
      tempoRefusal_(makeRefusalLabel()),
      timeBaseLabel_(new QLabel),
      timeBase_(new QLineEdit(QString::fromLatin1(kDefaultTimeBaseText))),
      timeBaseRefusal_(makeRefusalLabel()),
      noteStartLabel_(new QLabel),
      noteStart_(new QLineEdit(QString::fromLatin1(kDefaultNoteStartText))),
      noteStartRefusal_(makeRefusalLabel()),
      build_(new QPushButton) {
  // Every group's choices and defaults as the converter's control model gives them; the
  // device defaults to SC-8850 here, whose levels and pitches FluidSynth renders as analysed.
  const common::ControlModel& model = converterControls();
  const auto fill = [&model](QComboBox* box, std::string_view group, std::string_view initial) {
    for (const common::RadioChoice& choice : model.option(group).choices) {
      // A device is named by its target profile, a number by itself.
      const TargetProfile* target =
          group == "device" ? targets::forRadioValue(choice.number) : nullptr;
      box->addItem(target ? qtfront::toQString(target->name) : QString::number(choice.number),
                   choice.number);
    }
    const common::RadioChoice* chosen = model.option(group).choice(initial);
    box->setCurrentIndex(std::max(0, box->findData(chosen ? chosen->number : 0)));
  };
  fillVoiceChoices(0);
  fill(device_, "device", "sc-8850");
  // The targets beyond the Quorvel window's buttons follow, their data -1, -2, ...
  int extra = 0;
  for (const TargetProfile* target : targets::extra()) {
    device_->addItem(qtfront::toQString(target->name), -1 - extra++);
  }
  pitchSort_->setChecked(true);
  deviceHint_->setWordWrap(true);
  QFont hintFont = deviceHint_->font();
  hintFont.setItalic(true);
  deviceHint_->setFont(hintFont);
  build_->setObjectName(QStringLiteral("build"));
  polyphonyLabel_->setBuddy(polyphony_);
  channelsLabel_->setBuddy(channels_);
  deviceLabel_->setBuddy(device_);
  tempoLabel_->setBuddy(tempo_);
  timeBaseLabel_->setBuddy(timeBase_);
  noteStartLabel_->setBuddy(noteStart_);

  auto* grid = new QGridLayout;
  int row = 0;
  const auto addRow = [&](QLabel* label, QWidget* field, QLabel* below) {
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    ++row;
    if (below) grid->addWidget(below, row++, 0, 1, 2);
  };
  addRow(polyphonyLabel_, polyphony_, nullptr);
  addRow(channelsLabel_, channels_, channelsRefusal_);
  addRow(deviceLabel_, device_, deviceHint_);
  grid->addWidget(pitchSort_, row++, 0, 1, 2);
  addRow(tempoLabel_, tempo_, tempoRefusal_);
  addRow(timeBaseLabel_, timeBase_, timeBaseRefusal_);
  addRow(noteStartLabel_, noteStart_, noteStartRefusal_);
  grid->setColumnStretch(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(build_);

  connect(build_, &QPushButton::clicked, this, &BuildPanel::buildRequested);
  for (QComboBox* box : {polyphony_, channels_, device_}) {
    connect(box, &QComboBox::currentIndexChanged, this, &BuildPanel::optionsChanged);
  }
  connect(pitchSort_, &QCheckBox::toggled, this, &BuildPanel::optionsChanged);
  for (QLineEdit* field : {tempo_, timeBase_, noteStart_}) {
    connect(field, &QLineEdit::textChanged, this, &BuildPanel::optionsChanged);
  }
  retranslate();
}

void BuildPanel::fillVoiceChoices(int voices) {
  const common::ControlModel& model = converterControls();
  const auto fill = [&model, voices](QComboBox* box, std::string_view group) {
    const QSignalBlocker blocker(box);
    box->clear();
    int highest = 0;
    for (const common::RadioChoice& choice : model.option(group).choices) {
      box->addItem(QString::number(choice.number), choice.number);
      highest = std::max(highest, static_cast<int>(choice.number));
    }
    for (int n = highest + 1; n <= voices; ++n) box->addItem(QString::number(n), n);
    const common::RadioChoice* chosen =
        model.option(group).choice(model.option(group).defaultValue);
    const int initial = voices > 0 ? voices : chosen ? chosen->number : 0;
    box->setCurrentIndex(std::max(0, box->findData(initial)));
  };
  fill(polyphony_, "polyphony");
  fill(channels_, "channels");
}

void BuildPanel::setFrameVoices(int voices) {
  voices = std::clamp(voices, 0, static_cast<int>(kMaxChannels));
  if (voices == frameVoices_) return;
  frameVoices_ = voices;
  fillVoiceChoices(voices);
  Q_EMIT optionsChanged();
}

std::optional<BuilderOptions> BuildPanel::validatedOptions() {
  clearRefusals();
  OptionCheck check = checkBuilderOptions(choices());
  if (check.message.empty()) {
    const int data = device_->currentData().toInt();
    const auto extra = targets::extra();
    if (data < 0 && static_cast<std::size_t>(-1 - data) < extra.size()) {
      check.options.target = extra[static_cast<std::size_t>(-1 - data)];
    }
    return check.options;
  }
  refusal_ = std::string(check.message);
  refusalControl_ = check.control;
  if (QLabel* label = refusalLabel(check.control)) {
    label->setText(messageText(refusal_));
    label->show();
  }
  return std::nullopt;
}

QString BuildPanel::refusalText(int control) const {
  const QLabel* label = refusalLabel(control);
  return label && !label->isHidden() ? label->text() : QString();
}

QLabel* BuildPanel::refusalLabel(int control) const {
  switch (control) {
    case kChannels4:
      return channelsRefusal_;
    case kTempoField:
      return tempoRefusal_;
    case kTimeBaseField:
      return timeBaseRefusal_;
    case kNoteStartField:
      return noteStartRefusal_;
    default:
      return nullptr;
  }
}

void BuildPanel::clearRefusals() {
  refusal_.clear();
  refusalControl_ = 0;
  for (QLabel* label : {channelsRefusal_, tempoRefusal_, timeBaseRefusal_, noteStartRefusal_}) {
    label->clear();
    label->hide();
  }
}

BuilderChoices BuildPanel::choices() const {
  BuilderChoices choices;
  choices.polyphony = polyphony_->currentData().toInt();
  choices.usedChannels = channels_->currentData().toInt();
  choices.device = device_->currentData().toInt();
  choices.pitchSort = pitchSort_->isChecked();
  choices.tempo = qtfront::toUtf8(tempo_->text());
  choices.timeBase = qtfront::toUtf8(timeBase_->text());
  choices.noteStart = qtfront::toUtf8(noteStart_->text());
  return choices;
}

void BuildPanel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QGroupBox::changeEvent(event);
}

void BuildPanel::retranslate() {
  setTitle(tr("MIDI file"));
  polyphonyLabel_->setText(tr("Polyphony"));
  channelsLabel_->setText(tr("Channels used"));
  deviceLabel_->setText(tr("MIDI device"));
  deviceHint_->setText(tr("SC-8850: FluidSynth plays it with the analysed levels and pitches."));
  pitchSort_->setText(tr("Pitch sort"));
  tempoLabel_->setText(tr("Tempo"));
  timeBaseLabel_->setText(tr("Time base"));
  noteStartLabel_->setText(tr("Note start (ticks)"));
  build_->setText(tr("Build MIDI"));
  if (QLabel* label = refusalLabel(refusalControl_)) label->setText(messageText(refusal_));
}

}  // namespace studio
