#include "command_ports.h"

#include "analyser_window.h"
#include "converter_window.h"

namespace qtfront {

namespace {

class RealAnalyser final : public AnalyserPort {
 public:
  RealAnalyser(common::ProgressEnvironment& env, int threads) : command_(env) {
    command_.setThreadCount(threads);
  }
  void convert() override { command_.convert(); }
  bool busy() const override { return command_.busy(); }
  void requestCancel() override { command_.requestCancel(); }

 private:
  analyser::AnalyserCommand command_;
};

class RealConverter final : public ConverterPort {
 public:
  explicit RealConverter(common::Environment& env) : command_(env) {}
  void convert() override { command_.convert(); }

 private:
  midibuilder::ConverterCommand command_;
};

}  // namespace

AnalyserFactory analyserCommandFactory(int threads) {
  return [threads](common::ProgressEnvironment& env) -> std::unique_ptr<AnalyserPort> {
    return std::make_unique<RealAnalyser>(env, threads);
  };
}

ConverterFactory converterCommandFactory() {
  return [](common::Environment& env) -> std::unique_ptr<ConverterPort> {
    return std::make_unique<RealConverter>(env);
  };
}

}  // namespace qtfront
