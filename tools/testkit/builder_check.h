// What every MIDI file written by the builder must satisfy beyond being a well-formed Standard
// MIDI File: the header, the conductor track and the channel set-up blocks exactly as fixed, and
// in the channel tracks only this channel's note, bend and expression events, every release
// for the note that is held, no note left on, and every track ending at the same tick.
#pragma once

#include <cstdint>
#include <string>

#include "smf_check.h"

namespace smfcheck {

struct BuilderOptions {
  int usedChannels = 6;
  int device = 0;  // 0 Halvoran, 1 SC-88, 2 SC-8850, 3 MSGS
  double tempo = 120.0;
  int32_t timeBase = 480;
  int32_t noteStartTime = 1920;
  int32_t frameCount = 0;
};

// Ticks from frame 0 to the end of the last of `frameCount` frames, accumulated frame by frame
// with the carried fraction exactly as the builder's clock does.
int64_t framesToTicks(int32_t frameCount, int32_t timeBase, double tempo);

// The empty text when `file` is what the builder must produce for `options`, else the first
// difference found.
std::string checkBuilderOutput(const File& file, const BuilderOptions& options);

}  // namespace smfcheck
