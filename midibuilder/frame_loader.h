// Loading a DAT note-frame file and preparing its frames: peak level, level floor and voice
// limit, the pitch-bend gain table and the pitch table.
#pragma once

#include <cstdint>
#include <string>

#include "alloc_registry.h"
#include "builder_tables.h"
#include "targets/target_profile.h"

namespace midibuilder {

// Zero bytes read after the file's data; later stages look up to three records past the end.
inline constexpr int32_t kFrameSlack = 1024;

// Reads the DAT file whole into a registry block. On success `frames` holds the block and the
// number of whole records; a file of more whole records than the tables hold is refused.
std::string loadFrames(common::AllocationRegistry& registry, const std::string& path,
                       FrameSet& frames);

// The largest level of every slot of every record (all 8 of a DAT record), at least 1.
int32_t findPeakLevel(const FrameSet& frames);

// Silences levels below peakLevel / 256 and slots from `polyphony` on, in slots below
// `usedChannels`.
void normaliseLevels(FrameSet& frames, int32_t polyphony, int32_t usedChannels);

// The gain of every bend value for a target's bend correction, and its reference gain.
void buildBendGainTable(BuilderTables& tables, const BendCorrection& correction);

// Pitch of every slot below `usedChannels` of every frame.
void buildPitchTable(BuilderTables& tables, const FrameSet& frames, int32_t usedChannels);

// The steps above after loading, in their order; the gain table only for a target that corrects
// its levels under bend (targetOf(options)).
void prepareFrames(BuilderTables& tables, FrameSet& frames, const BuilderOptions& options);

}  // namespace midibuilder
