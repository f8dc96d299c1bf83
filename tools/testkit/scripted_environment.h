// A front end for the convert commands made of plain data: control texts and checked radio
// buttons start from a control model (or empty) and are set by the caller, message boxes are
// recorded, the clocks move by a set step on every read, the progress window is a flag, and a
// callback sees every message pump (to raise a cancel, for instance).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "control_model.h"
#include "environment.h"

namespace testkit {

struct ShownMessage {
  std::string text;
  common::MessageIcon icon;
};

class ScriptedEnvironment : public common::MapEnvironment<common::ProgressEnvironment> {
 public:
  ScriptedEnvironment() = default;
  explicit ScriptedEnvironment(const common::ControlModel& model) : MapEnvironment(model) {}

  std::vector<ShownMessage> messages;
  bool hasCounter = true;
  bool progressOpen = false;
  int pumps = 0;
  // How far the clocks move on every read: the counter in microseconds, the clock in ms.
  int64_t counterStep = 10;
  int32_t clockStep = 1;
  // Called on every message pump (for instance to request a cancel).
  std::function<void(int pumpCount)> onPump;

  std::string lastMessage() const {
    return messages.empty() ? std::string() : messages.back().text;
  }

  void showMessage(std::string_view text, common::MessageIcon icon) override {
    messages.push_back({std::string(text), icon});
  }

  bool counterFrequency(int64_t& ticksPerSecond) override {
    ticksPerSecond = 1000000;
    return hasCounter;
  }
  int64_t counterNow() override { return counter_ += counterStep; }
  int32_t clockMillis() override { return clock_ += clockStep; }
  bool openProgressWindow() override { return progressOpen = true; }
  void closeProgressWindow() override { progressOpen = false; }
  bool progressWindowOpen() const override { return progressOpen; }
  void refreshProgress(std::string_view, double) override {}
  void pumpMessages() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }

 private:
  int64_t counter_ = 0;
  int32_t clock_ = 0;
};

}  // namespace testkit
