// quorvel-cli's live MIDI output: listing the ports and playing a MIDI file to one.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "cli_common.h"
#include "midi_port.h"

namespace terminal {

// Prints the output ports numbered from 1 on `out` (none: a line on `err`). Returns 0.
int listPortsCommand(std::string_view program, std::ostream& out, std::ostream& err);

// Plays the MIDI file at `midiPath` to `port`, drawing the progress on `bar`; Ctrl-C stops it.
// Returns the exit status: 0 played to the end, 130 stopped by Ctrl-C, 1 a failure (told on
// `err`). Every channel the file uses is reset at the end and on Ctrl-C.
int playMidiFileCommand(std::string_view program, ports::MidiOut& port, const std::string& midiPath,
                        ProgressLine& bar, std::ostream& err);

// Whether FILE is a MIDI file to play as it is (".mid" or ".midi", any case).
bool isMidiPath(std::string_view path);

}  // namespace terminal
