// A build without a MIDI library: there are no ports.
#include "midi_port.h"

namespace ports {

PunctualThread::PunctualThread() = default;
PunctualThread::~PunctualThread() = default;

std::vector<std::string> listMidiPorts() {
  return {};
}

OpenedPort openMidiPort(std::string_view) {
  return {nullptr, "this program was built without MIDI output ports"};
}

}  // namespace ports
