// Sevrane's native window: the dialog of resources/dialogs/sevrane.json, its progress window,
// and the convert command driven from "変換". The conversion runs on the window's thread and
// pumps messages between frame estimates, so every handler here may run while it is on the
// stack: "変換" is then ignored, and "終了", closing and destruction only cancel.
#pragma once

#include <windows.h>

#include "analyser_window.h"
#include "environment.h"
#include "services.h"

namespace win32 {

class SevraneWindow final : public common::ProgressEnvironment {
 public:
  SevraneWindow();
  ~SevraneWindow() override;
  SevraneWindow(const SevraneWindow&) = delete;
  SevraneWindow& operator=(const SevraneWindow&) = delete;

  // Creates and shows the window; false if it could not be created.
  bool create(int show);
  // The message loop; returns when the window has been destroyed.
  int run();
  // Opens the progress window with a sample estimate (for screenshots).
  void showProgressPreview();

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
  static INT_PTR CALLBACK mainProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static INT_PTR CALLBACK progressProc(HWND window, UINT message, WPARAM w, LPARAM l);
  INT_PTR onMain(UINT message, WPARAM w);
  INT_PTR onProgress(HWND window, UINT message, WPARAM w);

  void browse();
  void convert();
  void exitCommand();
  void cancelFromWindow();

  HWND window_ = nullptr;
  HWND progress_ = nullptr;
  bool dismissingProgress_ = false;  // the convert command closes it: not a cancel
  bool closeAfterConversion_ = false;
  Clocks clocks_;
  analyser::AnalyserCommand command_;
};

}  // namespace win32
