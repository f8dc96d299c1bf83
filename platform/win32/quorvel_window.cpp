#include "quorvel_window.h"

#include "dialog_builder.h"
#include "dialog_tables.h"
#include "messages.h"
#include "services.h"

namespace win32 {

QuorvelWindow::QuorvelWindow() : messageTitle_(programName()), command_(*this) {}

QuorvelWindow::~QuorvelWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool QuorvelWindow::create(int show) {
  window_ = createDialog(dialogs::k_quorvel, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER,
                         nullptr, &QuorvelWindow::proc, reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, show);
  return true;
}

int QuorvelWindow::run() {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    // The dialog manager gives Enter and Escape their meaning: Enter presses the focused push
    // button or else sends IDOK, Escape sends IDCANCEL; both of those close the window.
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

std::string QuorvelWindow::controlText(int id) const {
  return window_ != nullptr ? win32::controlText(window_, id) : std::string();
}

void QuorvelWindow::setControlText(int id, std::string_view text) {
  if (window_ != nullptr) win32::setControlText(window_, id, text);
}

bool QuorvelWindow::isRadioChecked(int id) const {
  return window_ != nullptr && IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

void QuorvelWindow::showMessage(std::string_view text, common::MessageIcon icon) {
  if (window_ != nullptr) showMessageBox(window_, messageTitle_, text, icon);
}

INT_PTR CALLBACK QuorvelWindow::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, l);
    auto* self = reinterpret_cast<QuorvelWindow*>(l);
    self->window_ = window;
    applyInitialState(window, dialogs::k_quorvel);
    win32::setControlText(window, midibuilder::kTempoField, midibuilder::kDefaultTempoText);
    win32::setControlText(window, midibuilder::kTimeBaseField, midibuilder::kDefaultTimeBaseText);
    win32::setControlText(window, midibuilder::kNoteStartField, midibuilder::kDefaultNoteStartText);
    setWindowIcons(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<QuorvelWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->onMessage(message, w) : FALSE;
}

INT_PTR QuorvelWindow::onMessage(UINT message, WPARAM w) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case midibuilder::kBrowseButton:
          browse();
          return TRUE;
        case midibuilder::kConvertButton:
          command_.convert();
          return TRUE;
        case midibuilder::kExitButton:
        case IDOK:      // Enter with the focus on anything but a push button
        case IDCANCEL:  // Escape
          DestroyWindow(window_);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      DestroyWindow(window_);
      return TRUE;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

void QuorvelWindow::browse() {
  const std::string path = openFileDialog(window_, msg::caption::kDatFilter, "*.dat", "dat");
  if (!path.empty()) win32::setControlText(window_, midibuilder::kDatFileField, path);
}

}  // namespace win32
