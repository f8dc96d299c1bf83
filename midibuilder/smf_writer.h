// Standard MIDI File assembly: header, one track per used channel with its set-up block and
// events, and the conductor track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder_tables.h"

namespace midibuilder {

// Microseconds per quarter note for a tempo of 30 ... 1000.
int32_t tempoMicroseconds(double tempo);

// The input path without its last three characters, followed by "mid".
std::string outputPathFor(const std::string& inputPath);

// Appends a channel's 36-event set-up block (first delta time timeBase).
void writeSetupBlock(std::vector<uint8_t>& out, int32_t channel, int32_t timeBase, int32_t device);

// Appends the conductor track chunk.
void writeConductorTrack(std::vector<uint8_t>& out, double tempo, int32_t timeBase);

// Builds the whole file in tables.smfImage.
void assembleMidiFile(BuilderTables& tables, const FrameSet& frames, const BuilderOptions& options);

// Builds the file and writes it beside the input; returns the write's message text.
std::string buildMidiFile(BuilderTables& tables, const FrameSet& frames,
                          const BuilderOptions& options, const std::string& inputPath);

}  // namespace midibuilder
