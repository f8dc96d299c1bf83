// Halvoran: levels on a linear scale, wide note segments.
#include "builder_tables.h"
#include "gs_sine.h"
#include "targets.h"

namespace midibuilder::targets {

namespace {
constexpr auto kSetup = gsSineSetup(100);
}  // namespace

const TargetProfile& halvoran() {
  static constexpr TargetProfile profile{.name = "Halvoran",
                                         .spelling = "halvoran",
                                         .radioValue = kDeviceHalvoran,
                                         .levelCurve = LevelCurve::Linear,
                                         .segmentRangeLimit = 47,
                                         .noteCeiling = 95,
                                         .setup = kSetup,
                                         .reset = kGsReset,
                                         .bendRanges = kGsBendRanges};
  return profile;
}

}  // namespace midibuilder::targets
