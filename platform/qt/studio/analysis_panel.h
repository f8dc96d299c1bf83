// The studio's analysis panel: the analysis method (the seed's, and the tracking one when the
// media layer has registered it), the seed's options with the window's defaults (optimise off,
// unit 1/60 s, onset shift off) or the tracking's voices (4 to 15) and frame rate (60, 120 or
// 240 a second), the analyse and cancel buttons, and the progress bar with the remaining time.
#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace studio {

struct AnalysisRequest;

class AnalysisPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit AnalysisPanel(QWidget* parent = nullptr);

  // Copies the options into `request`.
  void fillRequest(AnalysisRequest& request) const;
  // Running: analyse disabled, cancel and the progress shown; idle: the other way round.
  void setRunning(bool running);
  void setProgress(const QString& remaining, double fractionDone);

  QPushButton* analyseButton() const { return analyse_; }
  QPushButton* cancelButton() const { return cancel_; }
  QComboBox* methodBox() const { return method_; }
  QSpinBox* voicesBox() const { return voices_; }
  QComboBox* rateBox() const { return rate_; }
  QCheckBox* optimiseBox() const { return optimise_; }
  QComboBox* unitBox() const { return unit_; }
  QCheckBox* onsetShiftBox() const { return onsetShift_; }

 Q_SIGNALS:
  void analyseRequested();
  void cancelRequested();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void retranslate();
  // Shows the options of the method chosen and hides the others.
  void methodChosen();
  bool seedChosen() const;

  QLabel* methodLabel_;
  QComboBox* method_;
  QLabel* voicesLabel_;
  QSpinBox* voices_;
  QLabel* rateLabel_;
  QComboBox* rate_;
  QCheckBox* optimise_;
  QLabel* unitLabel_;
  QComboBox* unit_;
  QCheckBox* onsetShift_;
  QPushButton* analyse_;
  QPushButton* cancel_;
  QProgressBar* progress_;
  QLabel* remaining_;
};

}  // namespace studio
