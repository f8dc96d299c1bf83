// Quorvel's own convert command behind the window's port.
#include "command_ports.h"
#include "converter_window.h"

namespace qtfront {

namespace {

class RealConverter final : public ConverterPort {
 public:
  explicit RealConverter(common::Environment& env) : command_(env) {}
  void convert() override { command_.convert(); }

 private:
  midibuilder::ConverterCommand command_;
};

}  // namespace

ConverterFactory converterCommandFactory() {
  return [](common::Environment& env) -> std::unique_ptr<ConverterPort> {
    return std::make_unique<RealConverter>(env);
  };
}

}  // namespace qtfront
