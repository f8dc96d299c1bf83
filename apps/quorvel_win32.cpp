// Quorvel for Windows: the DAT -> Standard MIDI File converter's native window.
#include <windows.h>

#include "quorvel_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  win32::QuorvelWindow window;
  if (!window.create(show)) return 1;
  return window.run();
}
