// The rendering's progress in the studio's status bar: a bar, the time left and a Cancel
// button, shown only while a rendering runs.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace studio {

class RenderProgress : public QWidget {
  Q_OBJECT

 public:
  explicit RenderProgress(QWidget* parent = nullptr);

  // Shown (from 0) while running, hidden otherwise.
  void setRunning(bool running);
  // `secondsLeft` negative: not known yet.
  void setProgress(double fractionDone, double secondsLeft);
  QPushButton* cancelButton() const { return cancel_; }

 Q_SIGNALS:
  void cancelRequested();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void retranslate();

  QLabel* label_;
  QProgressBar* bar_;
  QLabel* remaining_;
  QPushButton* cancel_;
};

}  // namespace studio
