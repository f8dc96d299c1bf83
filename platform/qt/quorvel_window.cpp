#include "quorvel_window.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>

#include "converter_window.h"
#include "messages.h"

namespace qtfront {

QuorvelWindow::QuorvelWindow(const ConverterFactory& factory, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      messageTitle_(programName()) {
  form_ = std::make_unique<DialogForm>(
      this, loadDialogTemplate(QStringLiteral(":/dialogs/quorvel.json")));
  setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.svg")));
  form_->applyInitialState(midibuilder::converterControls());
  command_ = factory(*this);

  connect(form_->button(midibuilder::kBrowseButton), &QPushButton::clicked, this,
          &QuorvelWindow::browse);
  connect(form_->button(midibuilder::kConvertButton), &QPushButton::clicked, this,
          &QuorvelWindow::convert);
  connect(form_->button(midibuilder::kExitButton), &QPushButton::clicked, this,
          &QuorvelWindow::close);
}

QuorvelWindow::~QuorvelWindow() = default;

std::string QuorvelWindow::controlText(int id) const {
  return toUtf8(form_->text(id));
}

void QuorvelWindow::setControlText(int id, std::string_view text) {
  form_->setText(id, toQString(text));
}

bool QuorvelWindow::isRadioChecked(int id) const {
  return form_->isChecked(id);
}

void QuorvelWindow::showMessage(std::string_view text, common::MessageIcon icon) {
  messageSink_(this, messageTitle_, toQString(text), icon);
}

void QuorvelWindow::reject() {
  close();
}

void QuorvelWindow::closeEvent(QCloseEvent* event) {
  event->accept();
}

void QuorvelWindow::browse() {
  const QString path =
      openFile_(this, OpenFileRequest{toQString(msg::caption::kDatFilter), QStringLiteral("*.dat"),
                                      QStringLiteral("dat")});
  if (!path.isEmpty()) form_->setText(midibuilder::kDatFileField, path);
}

void QuorvelWindow::convert() {
  command_->convert();
}

void QuorvelWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();
      close();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      event->accept();
      // Enter presses the focused push button; anywhere else it closes the window.
      auto* focused = qobject_cast<QPushButton*>(focusWidget());
      if (focused != nullptr && focused->window() == this) {
        focused->click();
      } else {
        close();
      }
      return;
    }
    default:
      QDialog::keyPressEvent(event);
  }
}

void QuorvelWindow::setFilePath(const QString& path) {
  form_->setText(midibuilder::kDatFileField, path);
}

}  // namespace qtfront
