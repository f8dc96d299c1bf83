// Stand-ins for the convert commands in window tests. The scripted analyser follows the real
// command's protocol with the environment (refuse without a "wav" name, open the progress window,
// refresh and pump at most every 100 ms, stop at a raised cancel flag, close the window and
// report) while taking a fixed time, so the window's side of every interaction can be timed.
#pragma once

#include <QString>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "command_ports.h"
#include "messages.h"
#include "platform_services.h"

struct ShownMessage {
  QWidget* owner;
  QString title;
  QString text;
  common::MessageIcon icon;
};

struct MessageLog {
  std::vector<ShownMessage> shown;
  qtfront::MessageSink sink() {
    return [this](QWidget* owner, const QString& title, const QString& text,
                  common::MessageIcon icon) {
      shown.push_back({owner, title, text, icon});
    };
  }
  QStringList texts() const {
    QStringList out;
    for (const ShownMessage& m : shown) out << m.text;
    return out;
  }
};

struct AnalyserScript {
  int runMillis = 1500;  // how long an uncancelled conversion takes
  // When set, the conversion instead runs until `released` (at most 20 s), so a test's timed
  // actions land inside it however slowly the machine runs.
  bool holdUntilReleased = false;
  bool released = false;
  int convertCalls = 0;
  int conversionsStarted = 0;
  bool lastCancelled = false;
  bool lastCompleted = false;
};

class ScriptedAnalyser final : public qtfront::AnalyserPort {
 public:
  ScriptedAnalyser(common::ProgressEnvironment& env, AnalyserScript& script)
      : env_(env), script_(script) {}

  void convert() override {
    if (busy_) return;
    ++script_.convertCalls;
    int64_t frequency = 0;
    if (!env_.counterFrequency(frequency)) {
      env_.showMessage(msg::kNoCounter, common::MessageIcon::Exclamation);
      return;
    }
    const std::string path = env_.controlText(1000);
    if (path.size() < 3 || path.compare(path.size() - 3, 3, "wav") != 0) {
      env_.showMessage(msg::kSpecifyWave, common::MessageIcon::Exclamation);
      return;
    }
    ++script_.conversionsStarted;
    env_.openProgressWindow();
    cancel_ = false;
    busy_ = true;
    const int32_t start = env_.clockMillis();
    int32_t lastRefresh = start;
    bool cancelled = false;
    for (;;) {
      const int32_t now = env_.clockMillis();
      if (script_.holdUntilReleased ? (script_.released || now - start >= 20000)
                                    : now - start >= script_.runMillis)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // one "estimate"
      if (env_.clockMillis() > lastRefresh + 100) {
        if (cancel_) {
          cancelled = true;
          break;
        }
        const int remaining = (script_.runMillis - (now - start)) / 1000 + 1;
        env_.refreshProgress(std::string(msg::kRemainingPrefix) + std::to_string(remaining) +
                                 std::string(msg::kRemainingSuffix),
                             double(now - start) / script_.runMillis);
        env_.pumpMessages();
        lastRefresh = env_.clockMillis();
      }
    }
    script_.lastCancelled = cancelled;
    script_.lastCompleted = !cancelled;
    if (cancelled) {
      env_.showMessage(msg::kCancelled, common::MessageIcon::None);
      busy_ = false;
      return;
    }
    env_.closeProgressWindow();
    env_.showMessage(msg::kFinished, common::MessageIcon::None);
    busy_ = false;
  }
  bool busy() const override { return busy_; }
  void requestCancel() override { cancel_ = true; }

 private:
  common::ProgressEnvironment& env_;
  AnalyserScript& script_;
  bool busy_ = false;
  bool cancel_ = false;
};

inline qtfront::AnalyserFactory scriptedAnalyser(AnalyserScript& script) {
  return [&script](common::ProgressEnvironment& env) -> std::unique_ptr<qtfront::AnalyserPort> {
    return std::make_unique<ScriptedAnalyser>(env, script);
  };
}

struct ConverterScript {
  int convertCalls = 0;
};

class ScriptedConverter final : public qtfront::ConverterPort {
 public:
  explicit ScriptedConverter(ConverterScript& script) : script_(script) {}
  void convert() override { ++script_.convertCalls; }

 private:
  ConverterScript& script_;
};

inline qtfront::ConverterFactory scriptedConverter(ConverterScript& script) {
  return [&script](common::Environment&) -> std::unique_ptr<qtfront::ConverterPort> {
    return std::make_unique<ScriptedConverter>(script);
  };
}
