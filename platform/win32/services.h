// What the Win32 windows need besides their controls: message boxes, the file-open dialog,
// the program's name, the clocks and the message loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "environment.h"

namespace win32 {

// OK only, owned by `owner`, with the exclamation icon or none.
void showMessageBox(HWND owner, std::string_view title, std::string_view text,
                    common::MessageIcon icon);

// The system's file-open dialog with one filter (`label`, `pattern`), a default extension and
// the read-only box hidden. Returns the chosen file's full path (UTF-8), or "" on cancel.
std::string openFileDialog(HWND owner, std::string_view label, std::string_view pattern,
                           std::string_view defaultExtension);

// The base name of the running executable without its extension ("quorvel").
std::string programName();

// The performance counter and a millisecond clock since the object was made.
class Clocks {
 public:
  Clocks();
  bool counterFrequency(int64_t& ticksPerSecond) const;
  int64_t counterNow() const;
  // Stays at the top of the int32 range after 24 days rather than wrapping negative.
  int32_t clockMillis() const;

 private:
  ULONGLONG startTick_;
};

// The icon of the executable's resources, set as the window's large and small icon.
void setWindowIcons(HWND window);

// Dispatches one message taken from the queue the way the main loop does: dialog keyboard
// handling for `dialogs`, except that `swallowEnterEscape` drops Enter and Escape key presses
// aimed at them first.
void dispatchMessage(MSG& message, HWND mainDialog, HWND progressDialog, bool swallowEnterEscape);

}  // namespace win32
