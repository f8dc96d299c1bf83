#include "sevrane_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>

#include "analyser_window.h"
#include "messages.h"
#include "progress_window.h"

namespace qtfront {

AnalyserSession::AnalyserSession(SevraneWindow* window) : window_(window) {}

AnalyserSession::~AnalyserSession() {
  if (progress_) progress_->dismiss();
}

void AnalyserSession::attachCommand(std::unique_ptr<AnalyserPort> command) {
  command_ = std::move(command);
}

void AnalyserSession::detachWindow() {
  window_ = nullptr;
}

void AnalyserSession::convert() {
  // The command keeps calling back into this object; a window destroyed meanwhile must not take
  // the environment with it.
  const std::shared_ptr<AnalyserSession> keepAlive = shared_from_this();
  command_->convert();
}

bool AnalyserSession::busy() const {
  return command_->busy();
}

void AnalyserSession::cancelFromWindow() {
  command_->requestCancel();
  closeProgressWindow();
}

std::string AnalyserSession::controlText(int id) const {
  return window_ ? toUtf8(window_->form().text(id)) : std::string();
}

void AnalyserSession::setControlText(int id, std::string_view text) {
  if (window_) window_->form().setText(id, toQString(text));
}

bool AnalyserSession::isRadioChecked(int id) const {
  return window_ && window_->form().isChecked(id);
}

void AnalyserSession::showMessage(std::string_view text, common::MessageIcon icon) {
  // With the window gone the program is ending; there is no owner left to show a message on.
  if (!window_) return;
  messageSink_(window_, toQString(msg::caption::kAnalyserTitle), toQString(text), icon);
}

bool AnalyserSession::counterFrequency(int64_t& ticksPerSecond) {
  return clock_.counterFrequency(ticksPerSecond);
}

int64_t AnalyserSession::counterNow() {
  return clock_.counterNow();
}

int32_t AnalyserSession::clockMillis() {
  return clock_.clockMillis();
}

bool AnalyserSession::openProgressWindow() {
  if (!window_) return false;
  closeProgressWindow();
  const std::weak_ptr<AnalyserSession> weak = weak_from_this();
  auto* progress = new ProgressWindow(window_, [weak] {
    if (const auto session = weak.lock()) session->progressCancelled();
  });
  progress_ = progress;
  progress->show();
  return true;
}

void AnalyserSession::closeProgressWindow() {
  if (ProgressWindow* progress = progress_.data()) {
    progress_ = nullptr;
    progress->dismiss();
  }
}

bool AnalyserSession::progressWindowOpen() const {
  return !progress_.isNull();
}

void AnalyserSession::refreshProgress(std::string_view label, double fractionDone) {
  if (!progress_) return;
  progress_->setLabel(toQString(label));
  progress_->setFraction(fractionDone);
}

void AnalyserSession::pumpMessages() {
  // Handles what is pending and returns at once. A quit request handled here ends up in the
  // window's close handling (closing is deferred until the conversion has stopped), so it is not
  // lost.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void AnalyserSession::progressCancelled() {
  progress_ = nullptr;  // the window is already on its way out
  if (command_) command_->requestCancel();
}

SevraneWindow::SevraneWindow(const AnalyserFactory& factory, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  form_ = std::make_unique<DialogForm>(
      this, loadDialogTemplate(QStringLiteral(":/dialogs/sevrane.json")));
  form_->applyInitialState(analyser::analyserControls());
  setWindowIcon(QIcon(QStringLiteral(":/icons/sevrane.svg")));
  session_ = std::make_shared<AnalyserSession>(this);
  session_->attachCommand(factory(*session_));

  connect(form_->button(analyser::kBrowseButton), &QPushButton::clicked, this,
          &SevraneWindow::browse);
  connect(form_->button(analyser::kConvertButton), &QPushButton::clicked, this,
          &SevraneWindow::convert);
  connect(form_->button(analyser::kExitButton), &QPushButton::clicked, this,
          &SevraneWindow::exitCommand);
}

SevraneWindow::~SevraneWindow() {
  if (session_->busy()) session_->cancelFromWindow();
  session_->detachWindow();
}

void SevraneWindow::showProgressPreview() {
  session_->openProgressWindow();
  session_->refreshProgress(
      std::string(msg::kRemainingPrefix) + "12" + std::string(msg::kRemainingSuffix), 0.35);
}

void SevraneWindow::browse() {
  const QString path =
      openFile_(this, OpenFileRequest{toQString(msg::caption::kWaveFilter), QStringLiteral("*.wav"),
                                      QStringLiteral("wav")});
  if (!path.isEmpty()) form_->setText(analyser::kWaveFileField, path);
}

void SevraneWindow::convert() {
  if (session_->busy()) return;
  const std::shared_ptr<AnalyserSession> session = session_;
  const QPointer<SevraneWindow> self(this);
  session->convert();
  if (!self) return;  // destroyed during the conversion; it has been cancelled
  if (closeAfterConversion_) {
    closeAfterConversion_ = false;
    close();
  }
}

void SevraneWindow::exitCommand() {
  if (session_->busy()) {
    session_->cancelFromWindow();
    return;
  }
  close();
}

void SevraneWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void SevraneWindow::closeEvent(QCloseEvent* event) {
  if (session_->busy()) {
    // The close takes effect when the conversion has stopped (see convert()).
    session_->cancelFromWindow();
    closeAfterConversion_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

void SevraneWindow::setFilePath(const QString& path) {
  form_->setText(analyser::kWaveFileField, path);
}

}  // namespace qtfront
