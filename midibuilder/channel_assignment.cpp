#include "channel_assignment.h"

#include <algorithm>

#include "builder_math.h"
#include "targets/targets.h"

namespace midibuilder {

namespace {

struct Assigner {
  BuilderTables& tables;
  FrameSet& frames;
  const BuilderOptions& options;
  const TargetProfile& profile;
  int32_t rangeLimit;  // segmentRangeLimitOf(options)

  // The centre of a segment whose notes run from `low` to `high`: the rounded-up middle, kept
  // within 1 ... noteCeiling so that it is always a valid note byte. The sum is formed in 64
  // bits (notes of extreme frequencies are far from 0 ... 127).
  int32_t centreOf(int32_t low, int32_t high) const {
    const int64_t centre = (static_cast<int64_t>(low) + high + 1) / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(centre, 1, profile.noteCeiling));
  }

  // Closes voice v's segment over frames s ... f-1 (f is the split or silent frame), moving it
  // to the first channel that is free from s to f + 2 when there are spare channels.
  void close(int32_t v, int32_t s, int32_t f, int32_t centre) {
    int32_t target = v;
    if (options.usedChannels > options.polyphony) {
      for (int32_t k = 0; k < options.usedChannels; ++k) {
        bool free = true;
        for (int32_t g = s; g <= f + 2; ++g) {
          if (tables.busy(g, k) != 0) {
            free = false;
            break;
          }
        }
        if (!free) continue;
        for (int32_t g = s; g < f; ++g) {
          tables.busy(g, v) = 0;
          tables.busy(g, k) = 1;
          const int32_t level = frames.level(g, v);
          const int32_t frequency = frames.frequency(g, v);
          frames.setLevel(g, v, frames.level(g, k));
          frames.setFrequency(g, v, frames.frequency(g, k));
          frames.setLevel(g, k, level);
          frames.setFrequency(g, k, frequency);
        }
        for (int32_t g = s; g < s + 3; ++g) tables.busy(g, v) = 1;
        // The three resting frames may be the one or two rows after the last frame, which lie
        // in the zeroed slack of the frame buffer.
        for (int32_t g = f; g < f + 3; ++g) {
          tables.busy(g, k) = 1;
          frames.setLevel(g, k, 0);
          frames.setFrequency(g, k, 0);
        }
        target = k;
        break;
      }
    }
    tables.segmentNote(s, target) = centre;
  }

  void walk(int32_t v) {
    int32_t segmentStart = 0;
    int32_t low = 1000;
    int32_t high = 0;
    int32_t previousLow = 0;
    int32_t previousHigh = 0;
    bool havePrevious = false;
    bool open = false;
    for (int32_t f = 0; f < frames.frameCount; ++f) {
      if (isSounding(frames, f, v, profile.levelCurve)) {
        const int32_t note = noteOfFrequency(frames.frequency(f, v));
        if (!havePrevious) {
          // Before the voice's first sounding frame there is no earlier range; a split there
          // (only for notes far below audible) records the first note itself.
          previousLow = previousHigh = note;
          havePrevious = true;
        }
        if (note < low) low = note;
        if (note > high) high = note;
        if (static_cast<int64_t>(high) - low >= rangeLimit) {
          const int32_t centre = centreOf(previousLow, previousHigh);
          low = high = note;
          close(v, segmentStart, f, centre);
          segmentStart = f;
        }
        previousLow = low;
        previousHigh = high;
        open = true;
      } else if (open) {
        if (high != 0) close(v, segmentStart, f, centreOf(low, high));
        segmentStart = f + 1;
        low = 1000;
        high = 0;
        open = false;
      }
    }
    if (high != 0) tables.segmentNote(segmentStart, v) = centreOf(low, high);
  }
};

}  // namespace

bool isSounding(const FrameSet& frames, int32_t frame, int32_t slot, LevelCurve curve) {
  return frames.frequency(frame, slot) > 0 &&
         expressionOfLevel(frames.level(frame, slot), frames.peakLevel, curve) >= 1;
}

void assignChannels(BuilderTables& tables, FrameSet& frames, const BuilderOptions& options) {
  std::fill(tables.segmentNoteTable.begin(), tables.segmentNoteTable.end(), 0);
  std::fill(tables.channelBusy.begin(), tables.channelBusy.end(), 0);
  for (int32_t f = 0; f < frames.frameCount; ++f) {
    for (int32_t v = 0; v < options.polyphony; ++v) tables.busy(f, v) = 1;
  }
  Assigner assigner{tables, frames, options, targetOf(options), segmentRangeLimitOf(options)};
  for (int32_t v = 0; v < options.polyphony; ++v) assigner.walk(v);
}

}  // namespace midibuilder
