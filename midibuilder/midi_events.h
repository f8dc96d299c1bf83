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

// Ticks per frame (1/60 s) carried with their fraction: the frame clock of every channel track.
double frameStepTicks(int32_t timeBase, double tempo);

// Equal-tempered frequency (Hz) of MIDI note n.
double noteFrequencyHz(int32_t note);

// The 14-bit pitch-bend value that bends a note of `noteHz` to `frequency` (tenths of a hertz),
// over two octaves each way.
int32_t bendValueFor(int32_t frequency, double noteHz);

// Appends the events of channel track `channel` and its End of Track to `out`. `startDelta` is
// the ticks from the track's last set-up event to frame 0.
void emitChannelEvents(const BuilderTables& tables, const FrameSet& frames,
                       const BuilderOptions& options, int32_t channel, int64_t startDelta,
                       std::vector<uint8_t>& out);

}  // namespace midibuilder
