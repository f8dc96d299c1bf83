// What the four GS modules share: the set-up that turns a channel into a plain sine voice for
// pitch-bend-driven notes, and the reset at the head of the file. Only the channel volume
// differs between them.
#pragma once

#include <array>

#include "target_profile.h"

namespace midibuilder::targets {

// Bends span two octaves each way unless a conversion asks for another range. A GS module takes
// at most 24 semitones.
inline constexpr uint8_t kGsBendRange = 24;
inline constexpr std::array<uint8_t, 3> kGsBendRanges{kGsBendRange, 2, 12};

constexpr std::array<SetupEvent, 16> gsSineSetup(uint8_t volume) {
  return {{
      pitchBend(8192),
      bankSelect(8),
      programChange(80),  // with bank 8, the sine variation of the square lead
      bendRange(kGsBendRange),
      nrpn(2, 0, 0, 0),
      nrpn(3, 1, 0, 0),
      attackTime(0),
      decayTime(0),
      releaseTime(0),
      nrpn(6, 0, 0, 0),
      nrpn(6, 1, 127, 0),
      reverbSend(0),
      gsEnvelopeAttack(0),
      sameMsb(gsEnvelopeRelease(0)),
      channelVolume(volume),
      nrpn(2, 2, 60, 0),
  }};
}

// GS reset at tick 0, full master volume a quarter note later (with the channels' set-up).
inline constexpr std::array<ResetEvent, 2> kGsReset{{gsReset(0), masterVolume(0x7F << 7, 1)}};

}  // namespace midibuilder::targets
