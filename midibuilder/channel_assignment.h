// Channel assignment: cuts every voice into note segments with a centre note and moves closed
// segments onto spare channels.
#pragma once

#include <cstdint>

#include "builder_tables.h"

namespace midibuilder {

struct DeviceLimits {
  int32_t noteCeiling;        // highest centre note
  int32_t segmentRangeLimit;  // a segment splits when its range of notes reaches this
};

DeviceLimits deviceLimits(int32_t device);

// Whether voice slot `slot` of frame `frame` sounds: a frequency above 0 and an expression of at
// least 1.
bool isSounding(const FrameSet& frames, int32_t frame, int32_t slot, int32_t device);

// Fills segmentNoteTable and channelBusy and rearranges the slots of `frames` so that slot k of
// a frame holds what channel k plays there.
void assignChannels(BuilderTables& tables, FrameSet& frames, const BuilderOptions& options);

}  // namespace midibuilder
