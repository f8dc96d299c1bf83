// MPE: a lower zone whose member channels each play one voice, with per-note pitch bend and the
// level as per-note pressure. The zone is configured on its manager channel (1) at the head of
// the conductor track; each member channel is then set to the conversion's bend range.
#include "targets.h"

namespace midibuilder::targets {

namespace {

// Program 81 (Lead 2) is a sustained tone on a module that follows General MIDI; the sine
// SoundFont plays it as the sine whose level follows channel pressure.
constexpr std::array<SetupEvent, 8> kSetup{{
    pitchBend(8192),
    programChange(kMpeProgram),
    bendRange(48),
    attackTime(0),
    decayTime(0),
    releaseTime(0),
    reverbSend(0),
    channelVolume(100),
}};

constexpr std::array<ResetEvent, 2> kReset{{mpeConfiguration(0), masterVolume(0x7F << 7, 1)}};

// 48 semitones is what a member channel starts with once the zone is configured.
constexpr std::array<uint8_t, 4> kBendRanges{48, 2, 12, 24};

}  // namespace

const TargetProfile& mpe() {
  static constexpr TargetProfile profile{.name = "MPE",
                                         .spelling = "mpe",
                                         .radioValue = -1,
                                         .levelCurve = LevelCurve::SquareRoot,
                                         .segmentRangeLimit = 95,
                                         .noteCeiling = 95,
                                         .setup = kSetup,
                                         .reset = kReset,
                                         .bendRanges = kBendRanges,
                                         .channels = ChannelLayout::MpeLowerZone,
                                         .levelMessage = LevelMessage::ChannelPressure};
  return profile;
}

}  // namespace midibuilder::targets
