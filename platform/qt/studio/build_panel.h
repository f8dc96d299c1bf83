// The studio's build panel: the MIDI builder's options, checked exactly as the Quorvel window
// checks them, with the refusal shown next to the field it is about. The default device here is
// SC-8850, the setting whose levels and pitches FluidSynth reproduces as analysed.
#pragma once

#include <QGroupBox>
#include <optional>

#include "converter_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace studio {

class BuildPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BuildPanel(QWidget* parent = nullptr);

  // The options when they pass the builder's checks; otherwise the first refusal is shown
  // beside its field and nothing is returned.
  std::optional<midibuilder::BuilderOptions> validatedOptions();
  // The voices of wide frames (0 for frames kept as a DAT file): the polyphony and channel
  // choices then reach up to them (at most kMaxChannels) and default to them; for a DAT
  // file they are the converter window's. Nothing changes while the voices stay the same.
  void setFrameVoices(int voices);
  // The refusal shown beside the control (analyser's ids), empty when none.
  QString refusalText(int control) const;

  QComboBox* polyphonyBox() const { return polyphony_; }
  QComboBox* channelsBox() const { return channels_; }
  QComboBox* deviceBox() const { return device_; }
  QCheckBox* pitchSortBox() const { return pitchSort_; }
  QLineEdit* tempoField() const { return tempo_; }
  QLineEdit* timeBaseField() const { return timeBase_; }
  QLineEdit* noteStartField() const { return noteStart_; }
  QPushButton* buildButton() const { return build_; }

 Q_SIGNALS:
  void buildRequested();
  // Any option changed: an earlier MIDI file no longer matches them.
  void optionsChanged();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The options as the widgets hold them, before they are checked.
  midibuilder::BuilderChoices choices() const;
  void retranslate();
  void clearRefusals();
  QLabel* refusalLabel(int control) const;
  // Fills the polyphony and channel boxes: the control model's choices, then those up to
  // `voices`; the defaults are the model's, or `voices` for wide frames (voices > 0).
  void fillVoiceChoices(int voices);

  QLabel* polyphonyLabel_;
  QComboBox* polyphony_;
  QLabel* channelsLabel_;
  QComboBox* channels_;
  QLabel* channelsRefusal_;
  QLabel* deviceLabel_;
  QComboBox* device_;
  QLabel* deviceHint_;
  QCheckBox* pitchSort_;
  QLabel* tempoLabel_;
  QLineEdit* tempo_;
  QLabel* tempoRefusal_;
  QLabel* timeBaseLabel_;
  QLineEdit* timeBase_;
  QLabel* timeBaseRefusal_;
  QLabel* noteStartLabel_;
  QLineEdit* noteStart_;
  QLabel* noteStartRefusal_;
  QPushButton* build_;
  // The last refusal in the core's words, shown again in the new language on a switch.
  std::string refusal_;
  int refusalControl_ = 0;
  int frameVoices_ = 0;
};

}  // namespace studio
