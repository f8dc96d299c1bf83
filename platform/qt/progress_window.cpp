#include "progress_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

#include "dialog_template.h"

namespace qtfront {

ProgressWindow::ProgressWindow(QWidget* owner, std::function<void()> onCancel)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      onCancel_(std::move(onCancel)) {
  form_ = std::make_unique<DialogForm>(
      this, loadDialogTemplate(QStringLiteral(":/dialogs/sevrane_progress.json")));
  setModal(false);
  connect(form_->button(kCancelButtonId), &QPushButton::clicked, this, &ProgressWindow::cancel);
}

ProgressWindow::~ProgressWindow() {
  // Destruction by any route other than dismiss() is a cancel request.
  if (!finished_) {
    finished_ = true;
    if (onCancel_) onCancel_();
  }
}

void ProgressWindow::setLabel(const QString& text) {
  form_->setText(kLabelId, text);
}

void ProgressWindow::setFraction(double fractionDone) {
  auto* bar = qobject_cast<QProgressBar*>(form_->control(kProgressBarId));
  if (bar == nullptr || std::isnan(fractionDone)) return;
  const double clamped = fractionDone < 0 ? 0 : (fractionDone > 1 ? 1 : fractionDone);
  bar->setValue(static_cast<int>(clamped * bar->maximum() + 0.5));
}

void ProgressWindow::dismiss() {
  if (finished_) return;
  finished_ = true;
  hide();
  deleteLater();
}

void ProgressWindow::cancel() {
  if (finished_) return;
  finished_ = true;
  hide();
  deleteLater();
  if (onCancel_) onCancel_();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  cancel();
}

}  // namespace qtfront
