// Quorvel's native window: the dialog of resources/dialogs/quorvel.json and the convert
// command driven from "変換". The conversion lets no messages through while it runs.
#pragma once

#include <windows.h>

#include <string>

#include "converter_window.h"
#include "environment.h"

namespace win32 {

class QuorvelWindow final : public common::Environment {
 public:
  QuorvelWindow();
  ~QuorvelWindow() override;
  QuorvelWindow(const QuorvelWindow&) = delete;
  QuorvelWindow& operator=(const QuorvelWindow&) = delete;

  bool create(int show);
  int run();

  std::string controlText(int id) const override;
  void setControlText(int id, std::string_view text) override;
  bool isRadioChecked(int id) const override;
  void showMessage(std::string_view text, common::MessageIcon icon) override;

 private:
  static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
  INT_PTR onMessage(UINT message, WPARAM w);
  void browse();

  HWND window_ = nullptr;
  std::string messageTitle_;
  midibuilder::ConverterCommand command_;
};

}  // namespace win32
