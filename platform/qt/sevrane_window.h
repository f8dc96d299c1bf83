// Sevrane's window: the WAVE file field, the analysis options, and the convert command driven from
// "変換". The conversion runs on the GUI thread and lets window messages through between frame
// estimates, so everything here must cope with being re-entered while a conversion is running.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "command_ports.h"
#include "dialog_form.h"
#include "platform_services.h"
#include "progress_window.h"

namespace qtfront {

class SevraneWindow;

// The environment of Sevrane's convert command. It lives apart from the window and is kept
// alive by a running conversion, so the window may even be destroyed while a conversion is on
// the stack: the conversion is then cancelled and finishes against a detached environment.
class AnalyserSession final : public common::ProgressEnvironment,
                              public std::enable_shared_from_this<AnalyserSession> {
 public:
  explicit AnalyserSession(SevraneWindow* window);
  ~AnalyserSession() override;
  void attachCommand(std::unique_ptr<AnalyserPort> command);
  void detachWindow();

  void convert();
  bool busy() const;
  // "終了", closing or destroying the window during a conversion: cancel and drop the progress
  // window.
  void cancelFromWindow();

  void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
  ProgressWindow* progressWindow() const { return progress_.data(); }

  // common::Environment
  std::string controlText(int id) const override;
  void setControlText(int id, std::string_view text) override;
  bool isRadioChecked(int id) const override;
  void showMessage(std::string_view text, common::MessageIcon icon) override;
  // common::ProgressEnvironment
  bool counterFrequency(int64_t& ticksPerSecond) override;
  int64_t counterNow() override;
  int32_t clockMillis() override;
  bool openProgressWindow() override;
  void closeProgressWindow() override;
  bool progressWindowOpen() const override;
  void refreshProgress(std::string_view label, double fractionDone) override;
  void pumpMessages() override;

 private:
  void progressCancelled();

  QPointer<SevraneWindow> window_;
  QPointer<ProgressWindow> progress_;
  std::unique_ptr<AnalyserPort> command_;
  MessageSink messageSink_ = showMessageBox;
  MonotonicClock clock_;
};

class SevraneWindow : public QDialog {
  Q_OBJECT

 public:
  explicit SevraneWindow(const AnalyserFactory& factory, QWidget* parent = nullptr);
  ~SevraneWindow() override;

  DialogForm& form() { return *form_; }
  bool busy() const { return session_->busy(); }
  ProgressWindow* progressWindow() const { return session_->progressWindow(); }

  void setMessageSink(MessageSink sink) { session_->setMessageSink(std::move(sink)); }
  void setOpenFileFunction(OpenFileFunction open) { openFile_ = std::move(open); }
  // Puts `path` into the WAVE file field, as the browse button does.
  void setFilePath(const QString& path);

  // Opens the progress window with a sample estimate, for screenshots of it.
  void showProgressPreview();

  // Enter and Escape are not window commands here.
  void reject() override {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void browse();
  void convert();
  void exitCommand();

  std::unique_ptr<DialogForm> form_;
  std::shared_ptr<AnalyserSession> session_;
  OpenFileFunction openFile_ = openFileWithDialog;
  bool closeAfterConversion_ = false;
};

}  // namespace qtfront
