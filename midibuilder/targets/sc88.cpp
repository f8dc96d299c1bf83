// SC-88: levels on a square-root scale, corrected for the module's level change under pitch
// bend; short note segments up to a higher centre note; full channel volume.
#include "builder_tables.h"
#include "gs_sine.h"
#include "targets.h"

namespace midibuilder::targets {

namespace {
constexpr auto kSetup = gsSineSetup(127);
}  // namespace

const TargetProfile& sc88() {
  static constexpr TargetProfile profile{
      .name = "SC-88",
      .spelling = "sc-88",
      .radioValue = kDeviceSc88,
      .levelCurve = LevelCurve::SquareRoot,
      // Measured output gains, every 1.5 semitones up to an octave each way; levels are scaled
      // to the gain at six semitones up.
      .bendCorrection = {.enabled = true,
                         .gainUp = {1.0, 0.898, 0.8108, 0.725, 0.6435, 0.5686, 0.4988, 0.4358,
                                    0.379},
                         .gainDown = {1.0, 1.0826, 1.1761, 1.2672, 1.3586, 1.4449, 1.5258, 1.6027,
                                      1.6736},
                         .reference = 0.6435},
      .segmentRangeLimit = 12,
      .noteCeiling = 113,
      .setup = kSetup,
      .reset = kGsReset,
      .bendRanges = kGsBendRanges};
  return profile;
}

}  // namespace midibuilder::targets
