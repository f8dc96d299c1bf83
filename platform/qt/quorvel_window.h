// Quorvel's window: the DAT file field, the MIDI options and the convert command driven from
// "変換". The conversion runs to its end on the GUI thread without letting window messages
// through, so nothing here is re-entered.
#pragma once

#include <QDialog>
#include <memory>

#include "command_ports.h"
#include "dialog_form.h"
#include "platform_services.h"

namespace qtfront {

class QuorvelWindow : public QDialog, public common::Environment {
  Q_OBJECT

 public:
  explicit QuorvelWindow(const ConverterFactory& factory, QWidget* parent = nullptr);
  ~QuorvelWindow() override;

  DialogForm& form() { return *form_; }
  void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
  void setOpenFileFunction(OpenFileFunction open) { openFile_ = std::move(open); }
  // Puts `path` into the DAT file field, as the browse button does.
  void setFilePath(const QString& path);
  // Message boxes carry the program's own name; see programName().
  QString messageTitle() const { return messageTitle_; }

  // common::Environment
  std::string controlText(int id) const override;
  void setControlText(int id, std::string_view text) override;
  bool isRadioChecked(int id) const override;
  void showMessage(std::string_view text, common::MessageIcon icon) override;

  // Escape closes the window.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void browse();
  void convert();

  std::unique_ptr<DialogForm> form_;
  std::unique_ptr<ConverterPort> command_;
  MessageSink messageSink_ = showMessageBox;
  OpenFileFunction openFile_ = openFileWithDialog;
  QString messageTitle_;
};

}  // namespace qtfront
