// Channel assignment: cuts every voice into note segments with a centre note and moves closed
// segments onto spare channels.
#pragma once

#include <cstdint>

#include "builder_math.h"
#include "builder_tables.h"

namespace midibuilder {

// Whether voice slot `slot` of frame `frame` sounds: a frequency above 0 and an expression of at
// least 1 on the target's level curve.
bool isSounding(const FrameSet& frames, int32_t frame, int32_t slot, LevelCurve curve);

// Fills segmentNoteTable and channelBusy and rearranges the slots of `frames` so that slot k of
// a frame holds what channel k plays there. The segment limits are those of targetOf(options).
void assignChannels(BuilderTables& tables, FrameSet& frames, const BuilderOptions& options);

}  // namespace midibuilder
