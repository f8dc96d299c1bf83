// MSGS: levels on a square-root scale, short note segments up to a higher centre note.
#include "builder_tables.h"
#include "gs_sine.h"
#include "targets.h"

namespace midibuilder::targets {

namespace {
constexpr auto kSetup = gsSineSetup(100);
}  // namespace

const TargetProfile& msgs() {
  static constexpr TargetProfile profile{.name = "MSGS",
                                         .spelling = "msgs",
                                         .radioValue = kDeviceMsgs,
                                         .levelCurve = LevelCurve::SquareRoot,
                                         .segmentRangeLimit = 12,
                                         .noteCeiling = 113,
                                         .setup = kSetup,
                                         .reset = kGsReset,
                                         .bendRanges = kGsBendRanges};
  return profile;
}

}  // namespace midibuilder::targets
