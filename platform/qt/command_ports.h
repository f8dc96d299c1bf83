// What the windows need of the two convert commands. The programs plug in the real commands
// (command_ports.cpp); window tests can plug in scripted ones.
#pragma once

#include <functional>
#include <memory>

#include "environment.h"

namespace qtfront {

class AnalyserPort {
 public:
  virtual ~AnalyserPort() = default;
  virtual void convert() = 0;
  virtual bool busy() const = 0;
  virtual void requestCancel() = 0;
};
using AnalyserFactory =
    std::function<std::unique_ptr<AnalyserPort>(common::ProgressEnvironment& env)>;

class ConverterPort {
 public:
  virtual ~ConverterPort() = default;
  virtual void convert() = 0;
};
using ConverterFactory = std::function<std::unique_ptr<ConverterPort>(common::Environment& env)>;

// Sevrane's and Quorvel's own convert commands. `threads` as AnalyserCommand::setThreadCount.
AnalyserFactory analyserCommandFactory(int threads = 0);
ConverterFactory converterCommandFactory();

}  // namespace qtfront
