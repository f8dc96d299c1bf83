// The studio's listen panel: which sound to hear (the original recording or the rendering of
// the MIDI file) and the play and stop buttons. The window decides what can be played and
// does the playing.
#pragma once

#include <QGroupBox>

class QLabel;
class QPushButton;
class QRadioButton;

namespace studio {

class ListenPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit ListenPanel(QWidget* parent = nullptr);

  bool renderingChosen() const;
  // Which sources exist and whether play and stop make sense now; a missing source is not
  // offered, and the other one is chosen instead.
  void setAvailable(bool original, bool rendering, bool canPlay, bool playing);
  void chooseRendering();

 Q_SIGNALS:
  // Play the chosen source from the play head.
  void playRequested(bool rendering);
  void stopRequested();
  // The user chose the other source.
  void sourceChanged(bool rendering);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void retranslate();

  QLabel* label_;
  QRadioButton* original_;
  QRadioButton* rendered_;
  QPushButton* play_;
  QPushButton* stop_;
};

}  // namespace studio
