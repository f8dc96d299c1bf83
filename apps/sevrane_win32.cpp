// Sevrane for Windows: the WAVE -> DAT note-frame analyser's native window.
// --demo-progress opens the progress window with a sample estimate (for screenshots).
#include <windows.h>

#include <cwchar>

#include "sevrane_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  win32::SevraneWindow window;
  if (!window.create(show)) return 1;
  if (std::wcsstr(GetCommandLineW(), L"--demo-progress") != nullptr) window.showProgressPreview();
  return window.run();
}
