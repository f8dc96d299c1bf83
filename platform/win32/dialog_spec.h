// A dialog as data, in dialog units: the Win32 form of the templates in resources/dialogs/.
// dialog_tables.h (generated at build time) holds the three dialogs of the programs.
#pragma once

#include <span>

namespace win32 {

// In the order of dialog_tables.cmake's kind list.
enum class ControlKind { Label, Edit, Button, GroupBox, Radio, Progress };

struct ControlSpec {
  int id;
  ControlKind kind;
  const char* caption;  // UTF-8
  int rect[4];          // x, y, width, height
  bool selected;
  bool disabled;
  bool groupStart;
  bool autoHScroll;
};

struct DialogSpec {
  const char* title;  // UTF-8
  int width;          // client size
  int height;
  const char* fontFamily;
  int fontPointSize;
  std::span<const ControlSpec> controls;
};

}  // namespace win32
