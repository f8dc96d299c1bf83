// Standard MIDI File assembly: header, one track per used channel with its set-up block and
// events, and the conductor track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder_tables.h"
#include "targets/target_profile.h"

namespace midibuilder {

// Microseconds per quarter note for a tempo of 30 ... 1000.
int32_t tempoMicroseconds(double tempo);

// The input path without its last three characters (four for a ".wdat" name), followed by "mid".
std::string outputPathFor(const std::string& inputPath);

// The number of channel messages in the target's set-up block.
int32_t setupMessageCount(const TargetProfile& target);

// Appends a channel's set-up block for the target: its first message one quarter note after the
// track's start, message M at timeBase + trunc(timeBase x M / 50), in running status. A
// `bendRange` above 0 replaces the range that the block's RPN 0 step sets.
void writeSetupBlock(std::vector<uint8_t>& out, int32_t channel, int32_t timeBase,
                     const TargetProfile& target, int32_t bendRange = 0);

// Appends the conductor track chunk: the tempo, then the target's reset events (an MPE zone
// configured for `channels` member channels).
void writeConductorTrack(std::vector<uint8_t>& out, double tempo, int32_t timeBase,
                         const TargetProfile& target, int32_t channels = 0);

// Builds the whole file for targetOf(options) in tables.smfImage.
void assembleMidiFile(BuilderTables& tables, const FrameSet& frames, const BuilderOptions& options);

// Builds the file and writes it beside the input; returns the write's message text.
std::string buildMidiFile(BuilderTables& tables, const FrameSet& frames,
                          const BuilderOptions& options, const std::string& inputPath);

}  // namespace midibuilder
