// Sevrane's modeless progress window: the remaining-time label, a progress bar in the free space
// and "キャンセル". Cancel, its close box and its destruction all report a cancel once; a window
// dismissed by the convert command itself reports nothing. Enter and Escape are not commands
// here, as in the main window, so a stray key cannot stop a long analysis.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "dialog_form.h"

namespace qtfront {

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  enum : int { kLabelId = -1, kCancelButtonId = 1001, kProgressBarId = 1100 };

  ProgressWindow(QWidget* owner, std::function<void()> onCancel);
  ~ProgressWindow() override;

  void setLabel(const QString& text);
  // 0 to 1; values outside are clamped.
  void setFraction(double fractionDone);
  // Hides the window and deletes it later without reporting a cancel.
  void dismiss();

  DialogForm& form() { return *form_; }

  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void cancel();

  std::unique_ptr<DialogForm> form_;
  std::function<void()> onCancel_;
  bool finished_ = false;
};

}  // namespace qtfront
