// MIDI event generation: the note, pitch-bend and expression events of one channel track.
#pragma once

#include <cstdint>
#include <vector>

#include "builder_tables.h"

namespace midibuilder {

// The largest delta time a variable-length quantity holds.
inline constexpr uint32_t kMaxDeltaTime = 0x0FFFFFFF;

// Appends `value` as a variable-length quantity (7 bits per byte, most significant group first).
// Values above kMaxDeltaTime are written as kMaxDeltaTime.
void writeVarLen(std::vector<uint8_t>& out, uint32_t value);

// Ticks per frame (1/60 s, or 1/framesPerSecond s) carried with their fraction: the frame clock
// of every channel track.
double frameStepTicks(int32_t timeBase, double tempo, int32_t framesPerSecond = 60);

// The MIDI channel (0-based) that channel track `channel` plays on: 0 ... 8, then 10 ... 15, so
// that the drum channel 10 (9 counted from 0) is never used.
inline int32_t midiChannelOf(int32_t channel) {
  return channel < 9 ? channel : channel + 1;
}

struct TargetProfile;
// The MIDI channel that channel track `channel` plays on for `target`: midiChannelOf(channel),
// or for an MPE lower zone its member channels 2 ... 16 (1 ... 15 counted from 0). In an MPE
// zone channel 10 is a member like any other: no drums are implied there.
int32_t midiChannelFor(const TargetProfile& target, int32_t channel);

// Equal-tempered frequency (Hz) of MIDI note n.
double noteFrequencyHz(int32_t note);

// The 14-bit pitch-bend value that bends a note of `noteHz` to `frequency` (tenths of a hertz),
// over `range` semitones each way (two octaves by default).
int32_t bendValueFor(int32_t frequency, double noteHz, int32_t range = 24);

// Appends the events of channel track `channel` (on midiChannelFor(target, channel)) and its End of
// Track to `out`. `startDelta` is the ticks from the track's last set-up event to frame 0.
void emitChannelEvents(const BuilderTables& tables, const FrameSet& frames,
                       const BuilderOptions& options, int32_t channel, int64_t startDelta,
                       std::vector<uint8_t>& out);

}  // namespace midibuilder
