// A scripted front end for the analyser's tests: controls are plain maps, the clocks advance by
// fixed steps at every reading, and everything shown is recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "control_model.h"
#include "environment.h"

namespace fakeenv {

struct Shown {
  std::string text;
  common::MessageIcon icon;
  bool progressWindowWasOpen;
};

class FakeEnvironment : public common::MapEnvironment<common::ProgressEnvironment> {
 public:
  std::vector<Shown> messages;

  bool hasCounter = true;
  int64_t frequency = 1000000;
  int64_t counter = 0;
  int64_t counterStep = 0;  // added after every counter reading
  int32_t clock = 0;
  int32_t clockStep = 0;  // added after every clock reading

  bool windowCanOpen = true;
  bool windowOpen = false;
  int windowOpens = 0;
  int windowCloses = 0;
  std::vector<std::pair<std::string, double>> refreshes;
  int pumps = 0;
  std::function<void()> onPump;

  void showMessage(std::string_view text, common::MessageIcon icon) override {
    messages.push_back({std::string(text), icon, windowOpen});
  }

  bool counterFrequency(int64_t& ticksPerSecond) override {
    if (!hasCounter) return false;
    ticksPerSecond = frequency;
    return true;
  }
  int64_t counterNow() override {
    const int64_t now = counter;
    counter += counterStep;
    return now;
  }
  int32_t clockMillis() override {
    const int32_t now = clock;
    clock += clockStep;
    return now;
  }

  bool openProgressWindow() override {
    ++windowOpens;
    windowOpen = windowCanOpen;
    return windowOpen;
  }
  void closeProgressWindow() override {
    if (windowOpen) ++windowCloses;
    windowOpen = false;
  }
  bool progressWindowOpen() const override { return windowOpen; }
  void refreshProgress(std::string_view label, double fractionDone) override {
    refreshes.emplace_back(std::string(label), fractionDone);
  }
  void pumpMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
};

}  // namespace fakeenv
