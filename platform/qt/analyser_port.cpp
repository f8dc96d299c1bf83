// Sevrane's own convert command behind the window's port (a file of its own, so a program that
// uses only Quorvel's window does not pull in the analyser).
#include "analyser_window.h"
#include "command_ports.h"

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

}  // namespace

AnalyserFactory analyserCommandFactory(int threads) {
  return [threads](common::ProgressEnvironment& env) -> std::unique_ptr<AnalyserPort> {
    return std::make_unique<RealAnalyser>(env, threads);
  };
}

}  // namespace qtfront
