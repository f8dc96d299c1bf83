// SC-8850: levels on a square-root scale, wide note segments.
#include "builder_tables.h"
#include "gs_sine.h"
#include "targets.h"

namespace midibuilder::targets {

namespace {
constexpr auto kSetup = gsSineSetup(100);
}  // namespace

const TargetProfile& sc8850() {
  static constexpr TargetProfile profile{.name = "SC-8850",
                                         .spelling = "sc-8850",
                                         .radioValue = kDeviceSc8850,
                                         .levelCurve = LevelCurve::SquareRoot,
                                         .segmentRangeLimit = 47,
                                         .noteCeiling = 95,
                                         .setup = kSetup,
                                         .reset = kGsReset,
                                         .bendRanges = kGsBendRanges};
  return profile;
}

}  // namespace midibuilder::targets
