// The build stage: note frames and validated options in, a Standard MIDI File in memory out.
// The convert command, the command line and the studio are adapters over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "alloc_registry.h"
#include "builder_tables.h"
#include "note_frames.h"

namespace midibuilder {

enum class BuildStatus {
  Written,  // `midi` holds the file
  Refused,  // the frames are more than the builder takes
  Failed,   // memory ran out
};

struct BuildOutcome {
  BuildStatus status = BuildStatus::Failed;
  std::string_view message;   // a fixed text: msg::kFinished when written
  std::vector<uint8_t> midi;  // the Standard MIDI File, when written
};

// One conversion of `frames` for targetOf(options): preparation, optional pitch sort, channel
// assignment and the file. Frames that fit neither a DAT file nor the builder's channels (1 to
// kMaxChannels voices at 60, 120 or 240 frames a second) are refused (kUnsupportedFile), as are
// more frames than the tables hold (kDatTooLong); options.usedChannels may be up to kMaxChannels.
// The frame image is a registry block; the caller frees the registry.
BuildOutcome buildMidi(BuilderTables& tables, common::AllocationRegistry& registry,
                       const common::NoteFrames& frames, const BuilderOptions& options);

// The same over a DAT file image in memory: exactly what converting a file of these bytes gives.
BuildOutcome buildMidiFromDat(BuilderTables& tables, common::AllocationRegistry& registry,
                              const uint8_t* bytes, std::size_t size,
                              const BuilderOptions& options);

// The stages over frames already loaded (as loadFrames leaves them). On success the file is in
// tables.smfImage and the outcome's `midi` is left empty, so callers that write it need no copy.
BuildOutcome buildLoadedFrames(BuilderTables& tables, FrameSet& frames,
                               const BuilderOptions& options);

}  // namespace midibuilder
