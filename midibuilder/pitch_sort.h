// Pitch-sort voice ordering: reorders the first `polyphony` slots of every frame so that each
// slot continues the same slot of the previous frame as closely as possible in pitch and
// loudness.
#pragma once

#include <cstdint>

#include "builder_tables.h"

namespace midibuilder {

// Fills the first n! entries of tables.permutationTable with the orderings of slots 0 ... n-1
// in lexicographic order, 3 bits per position (position k in bits 3k ... 3k+2); positions n to 7
// hold their own number.
void buildPermutationTable(BuilderTables& tables, int32_t polyphony);

// The cost of pairing a candidate slot (level a, pitch pa) of a frame with a slot (level b,
// pitch pb) of the frame before.
int32_t pairingCost(int32_t levelA, int32_t pitchA, int32_t levelB, int32_t pitchB);

// Matches frames 1 ... frameCount-1 in turn to the frame before, rewriting slots 0 ... n-1 of
// the frames and their pitchTable entries. Returns nothing; the frames change in place. Up to six
// voices every ordering is searched (the first of equal costs wins); more voices (up to
// kMaxChannels) are matched by leastCostOrdering.
void sortVoicesByPitch(BuilderTables& tables, FrameSet& frames, int32_t polyphony);

// The least-cost ordering of n candidates (1 to kMaxChannels) for the costs term[i * n + j] of
// putting candidate j at position i, by the assignment method: order[i] is the candidate at
// position i. The unchanged order is kept whenever it is one of the least-cost orderings.
void leastCostOrdering(const int64_t* term, int32_t n, int32_t* order);

}  // namespace midibuilder
