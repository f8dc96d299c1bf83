#include "live_play.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "alloc_registry.h"
#include "file_io.h"
#include "midi_player.h"

namespace terminal {

namespace {

std::string minutes(double seconds) {
  const auto whole = static_cast<long>(std::clamp(std::floor(seconds), 0.0, 1e9));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

int listPortsCommand(std::string_view program, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> names = ports::listMidiPorts();
  if (names.empty()) err << program << ": no MIDI output port found\n";
  for (std::size_t i = 0; i < names.size(); ++i) out << i + 1 << ": " << names[i] << "\n";
  out << std::flush;
  return 0;
}

int playMidiFileCommand(std::string_view program, ports::MidiOut& port, const std::string& midiPath,
                        ProgressLine& bar, std::ostream& err) {
  std::vector<uint8_t> smf;
  {
    common::AllocationRegistry registry;
    uint8_t* image = nullptr;
    int32_t length = 0;
    const std::string failure = common::readWholeFile(registry, midiPath, 0, image, length);
    if (!failure.empty()) {
      err << program << ": cannot read " << midiPath << "\n";
      return 1;
    }
    if (length > 0) smf.assign(image, image + length);
  }
  installInterruptHandler();
  ports::PlayOptions options;
  options.stop = &interruptFlag();
  const std::string label = " on " + port.name();
  options.progress = [&](double seconds, double total) {
    bar.draw(minutes(seconds) + " / " + minutes(total) + label, total > 0 ? seconds / total : 1);
  };
  const ports::PlayOutcome outcome = ports::playMidi(port, smf, options);
  bar.clear();
  switch (outcome.ending) {
    case ports::PlayEnding::Finished:
      return 0;
    case ports::PlayEnding::Stopped:
      err << program << ": playing stopped; every channel reset\n" << std::flush;
      return 130;
    case ports::PlayEnding::PortGone:
      err << program << ": " << outcome.message << "\n" << std::flush;
      return 1;
    case ports::PlayEnding::Unreadable:
      err << program << ": " << midiPath
          << " is not a MIDI file that can be played: " << outcome.message << "\n"
          << std::flush;
      return 1;
  }
  return 1;
}

bool isMidiPath(std::string_view path) {
  std::string lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.ends_with(".mid") || lower.ends_with(".midi");
}

}  // namespace terminal
