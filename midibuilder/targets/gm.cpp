// General MIDI: any module that follows General MIDI, set up with standard messages only. The
// program is the one whose rendering with a General MIDI SoundFont was the most intelligible
// (scripts/gm-program measures it: program 78, Whistle, a near-sine with no attack of its own);
// levels on a square-root scale, wide note segments.
#include "targets.h"

namespace midibuilder::targets {

namespace {

constexpr std::array<SetupEvent, 8> kSetup{{
    pitchBend(8192),
    programChange(kGmProgram),
    bendRange(24),
    attackTime(0),
    decayTime(0),
    releaseTime(0),
    reverbSend(0),
    channelVolume(100),
}};

// General MIDI System On at tick 0, full master volume a quarter note later.
constexpr std::array<ResetEvent, 2> kReset{{gmSystemOn(0), masterVolume(0x7F << 7, 1)}};

// GM Level 2 asks a module to take bend ranges up to 24 semitones; Level 1 says nothing.
constexpr std::array<uint8_t, 3> kBendRanges{24, 2, 12};

}  // namespace

const TargetProfile& gm() {
  static constexpr TargetProfile profile{.name = "General MIDI",
                                         .spelling = "gm",
                                         .radioValue = -1,
                                         .levelCurve = LevelCurve::SquareRoot,
                                         .segmentRangeLimit = 47,
                                         .noteCeiling = 95,
                                         .setup = kSetup,
                                         .reset = kReset,
                                         .bendRanges = kBendRanges};
  return profile;
}

}  // namespace midibuilder::targets
