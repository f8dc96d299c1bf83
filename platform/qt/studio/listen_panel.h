// The studio's listen panel: which sound to hear (the original recording, the rendering of
// the MIDI file, or the MIDI file played to a MIDI output port chosen from a list that can be
// refreshed) and the play and stop buttons. The window decides what can be played and
// does the playing.
#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace studio {

class ListenPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit ListenPanel(QWidget* parent = nullptr);

  bool renderingChosen() const;
  // The MIDI file to a port, and which (its name as listed).
  bool portChosen() const;
  QString chosenPort() const;
  // The ports offered; the one chosen stays chosen when it is still there.
  void setPorts(const QStringList& names);
  // Which sources exist and whether play and stop make sense now; a missing source is not
  // offered, and another one is chosen instead. The ports go with the rendering (both need
  // note frames) and a port to play to.
  void setAvailable(bool original, bool rendering, bool canPlay, bool playing);
  void chooseRendering();

 Q_SIGNALS:
  // Play the chosen source from the play head.
  void playRequested(bool rendering);
  void stopRequested();
  // The user chose another source.
  void sourceChanged(bool rendering);
  // The port list is to be made again.
  void refreshPortsRequested();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void retranslate();

  QLabel* label_;
  QRadioButton* original_;
  QRadioButton* rendered_;
  QRadioButton* port_;
  QComboBox* ports_;
  QPushButton* refresh_;
  QPushButton* play_;
  QPushButton* stop_;
};

}  // namespace studio
