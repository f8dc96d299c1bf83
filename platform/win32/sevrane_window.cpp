#include "sevrane_window.h"

#include <commctrl.h>

#include "dialog_builder.h"
#include "dialog_tables.h"
#include "messages.h"
#include "text.h"

namespace win32 {

namespace {

constexpr int kProgressLabel = -1;
constexpr int kProgressBar = 1100;
constexpr int kProgressSteps = 1000;
// The design's refresh command; Enter in the progress window sends it too, harmlessly.
constexpr int kRefreshCommand = IDOK;

constexpr DWORD kMainStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER;
constexpr DWORD kProgressStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;

}  // namespace

SevraneWindow::SevraneWindow() : command_(*this) {}

SevraneWindow::~SevraneWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool SevraneWindow::create(int show) {
  window_ = createDialog(dialogs::k_sevrane, kMainStyle, nullptr, &SevraneWindow::mainProc,
                         reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, show);
  return true;
}

int SevraneWindow::run() {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    dispatchMessage(message, window_, progress_, true);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void SevraneWindow::showProgressPreview() {
  openProgressWindow();
  refreshProgress(std::string(msg::kRemainingPrefix) + "12" + std::string(msg::kRemainingSuffix),
                  0.35);
}

std::string SevraneWindow::controlText(int id) const {
  return window_ != nullptr ? win32::controlText(window_, id) : std::string();
}

void SevraneWindow::setControlText(int id, std::string_view text) {
  if (window_ != nullptr) win32::setControlText(window_, id, text);
}

bool SevraneWindow::isRadioChecked(int id) const {
  return window_ != nullptr && IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

void SevraneWindow::showMessage(std::string_view text, common::MessageIcon icon) {
  // With the window gone the program is ending; there is no owner to show a message on.
  if (window_ == nullptr) return;
  showMessageBox(window_, msg::caption::kAnalyserTitle, text, icon);
}

bool SevraneWindow::counterFrequency(int64_t& ticksPerSecond) {
  return clocks_.counterFrequency(ticksPerSecond);
}

int64_t SevraneWindow::counterNow() {
  return clocks_.counterNow();
}

int32_t SevraneWindow::clockMillis() {
  return clocks_.clockMillis();
}

bool SevraneWindow::openProgressWindow() {
  if (window_ == nullptr) return false;
  closeProgressWindow();
  progress_ = createDialog(dialogs::k_sevrane_progress, kProgressStyle, window_,
                           &SevraneWindow::progressProc, reinterpret_cast<LPARAM>(this));
  return progress_ != nullptr;
}

void SevraneWindow::closeProgressWindow() {
  if (progress_ == nullptr) return;
  HWND progress = progress_;
  progress_ = nullptr;
  dismissingProgress_ = true;
  DestroyWindow(progress);
  dismissingProgress_ = false;
}

bool SevraneWindow::progressWindowOpen() const {
  return progress_ != nullptr;
}

void SevraneWindow::refreshProgress(std::string_view label, double fractionDone) {
  if (progress_ == nullptr) return;
  win32::setControlText(progress_, kProgressLabel, label);
  if (fractionDone >= 0 && fractionDone <= 1) {  // also false for NaN
    SendDlgItemMessageW(progress_, kProgressBar, PBM_SETPOS,
                        static_cast<WPARAM>(fractionDone * kProgressSteps + 0.5), 0);
  }
}

void SevraneWindow::pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
      // The quit request belongs to the main loop: post it again and stop for this check.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    dispatchMessage(message, window_, progress_, true);
  }
}

INT_PTR CALLBACK SevraneWindow::mainProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, l);
    auto* self = reinterpret_cast<SevraneWindow*>(l);
    self->window_ = window;
    applyInitialState(window, dialogs::k_sevrane);
    setWindowIcons(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<SevraneWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->onMain(message, w) : FALSE;
}

INT_PTR SevraneWindow::onMain(UINT message, WPARAM w) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case analyser::kBrowseButton:
          browse();
          return TRUE;
        case analyser::kConvertButton:
          convert();
          return TRUE;
        case analyser::kExitButton:
          exitCommand();
          return TRUE;
        default:
          return TRUE;  // IDOK and IDCANCEL (Enter, Escape) are not commands here
      }
    case WM_CLOSE:
      if (command_.busy()) {
        // The close takes effect when the conversion has stopped (see convert()).
        cancelFromWindow();
        closeAfterConversion_ = true;
      } else {
        DestroyWindow(window_);
      }
      return TRUE;
    case WM_DESTROY:
      if (command_.busy()) cancelFromWindow();
      window_ = nullptr;
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK SevraneWindow::progressProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, l);
    SendDlgItemMessageW(window, kProgressBar, PBM_SETRANGE32, 0, kProgressSteps);
    ShowWindow(window, SW_SHOW);
    return TRUE;
  }
  auto* self = reinterpret_cast<SevraneWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->onProgress(window, message, w) : FALSE;
}

INT_PTR SevraneWindow::onProgress(HWND window, UINT message, WPARAM w) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == kRefreshCommand) return TRUE;
      // "キャンセル", Escape, any other command: cancel.
      DestroyWindow(window);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      // Destroyed by any route but the convert command's own closing: a cancel request.
      if (window == progress_) progress_ = nullptr;
      if (!dismissingProgress_) command_.requestCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

void SevraneWindow::browse() {
  const std::string path = openFileDialog(window_, msg::caption::kWaveFilter, "*.wav", "wav");
  if (!path.empty() && window_ != nullptr) {
    win32::setControlText(window_, analyser::kWaveFileField, path);
  }
}

void SevraneWindow::convert() {
  if (command_.busy()) return;
  command_.convert();
  if (window_ != nullptr && closeAfterConversion_) {
    closeAfterConversion_ = false;
    DestroyWindow(window_);
  }
}

void SevraneWindow::exitCommand() {
  if (command_.busy()) {
    cancelFromWindow();
    return;
  }
  DestroyWindow(window_);
}

void SevraneWindow::cancelFromWindow() {
  command_.requestCancel();
  closeProgressWindow();
}

}  // namespace win32
