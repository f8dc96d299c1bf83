// An output target: everything the builder does differently for one sound module, as data. The
// stages read a profile and never ask which module it is, so a new target is a new profile.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "builder_math.h"

namespace midibuilder {

// One step of a channel's set-up block, named by what it sets. A step becomes one channel
// message, or (parameters) the controller messages that select the parameter and enter its
// value; every message gets its own time slot in the block.
enum class SetupKind : uint8_t { PitchBend, Controller, ProgramChange, Rpn, Nrpn };

struct SetupEvent {
  SetupKind kind = SetupKind::Controller;
  uint8_t number = 0;     // controller number; parameter number MSB
  uint8_t numberLsb = 0;  // parameter number LSB
  uint8_t value = 0;      // controller value, program, data entry MSB, pitch bend MSB
  uint8_t valueLsb = 0;   // data entry LSB, pitch bend LSB
  bool selectMsb = true;  // parameters: send the number's MSB (else the one selected before)
  bool sendLsb = false;   // parameters: send the data entry LSB as well
};

// Controller numbers of the set-up steps.
namespace cc {
inline constexpr uint8_t kBankSelect = 0;
inline constexpr uint8_t kDataEntry = 6;
inline constexpr uint8_t kChannelVolume = 7;
inline constexpr uint8_t kExpression = 11;
inline constexpr uint8_t kDataEntryLsb = 38;
inline constexpr uint8_t kReleaseTime = 72;
inline constexpr uint8_t kAttackTime = 73;
inline constexpr uint8_t kDecayTime = 75;
inline constexpr uint8_t kReverbSend = 91;
inline constexpr uint8_t kNrpnLsb = 98;
inline constexpr uint8_t kNrpnMsb = 99;
inline constexpr uint8_t kRpnLsb = 100;
inline constexpr uint8_t kRpnMsb = 101;
}  // namespace cc

constexpr SetupEvent pitchBend(uint16_t value) {
  return {.kind = SetupKind::PitchBend,
          .value = static_cast<uint8_t>(value >> 7 & 0x7F),
          .valueLsb = static_cast<uint8_t>(value & 0x7F)};
}
constexpr SetupEvent controller(uint8_t number, uint8_t value) {
  return {.kind = SetupKind::Controller, .number = number, .value = value};
}
constexpr SetupEvent bankSelect(uint8_t msb) {
  return controller(cc::kBankSelect, msb);
}
constexpr SetupEvent channelVolume(uint8_t v) {
  return controller(cc::kChannelVolume, v);
}
constexpr SetupEvent attackTime(uint8_t v) {
  return controller(cc::kAttackTime, v);
}
constexpr SetupEvent decayTime(uint8_t v) {
  return controller(cc::kDecayTime, v);
}
constexpr SetupEvent releaseTime(uint8_t v) {
  return controller(cc::kReleaseTime, v);
}
constexpr SetupEvent reverbSend(uint8_t v) {
  return controller(cc::kReverbSend, v);
}
constexpr SetupEvent programChange(uint8_t program) {
  return {.kind = SetupKind::ProgramChange, .value = program};
}
// RPN 0/0, pitch-bend sensitivity, in whole semitones (no cents).
constexpr SetupEvent bendRange(uint8_t semitones) {
  return {.kind = SetupKind::Rpn, .value = semitones};
}
// A non-registered parameter with both data entry bytes.
constexpr SetupEvent nrpn(uint8_t msb, uint8_t lsb, uint8_t value, uint8_t valueLsb) {
  return {.kind = SetupKind::Nrpn,
          .number = msb,
          .numberLsb = lsb,
          .value = value,
          .valueLsb = valueLsb,
          .sendLsb = true};
}
// A non-registered parameter with the data entry MSB only.
constexpr SetupEvent nrpnCoarse(uint8_t msb, uint8_t lsb, uint8_t value) {
  return {.kind = SetupKind::Nrpn, .number = msb, .numberLsb = lsb, .value = value};
}
// GS envelope times (NRPN 1/99 attack, 1/102 release), 64 being the tone's own.
constexpr SetupEvent gsEnvelopeAttack(uint8_t v) {
  return nrpnCoarse(1, 99, v);
}
constexpr SetupEvent gsEnvelopeRelease(uint8_t v) {
  return nrpnCoarse(1, 102, v);
}
// The same parameter step, relying on the number MSB that the step before selected.
constexpr SetupEvent sameMsb(SetupEvent e) {
  e.selectMsb = false;
  return e;
}

// The module resets at the head of the conductor track, each `quartersAfter` quarter notes
// after the one before (the first after tick 0).
enum class ResetKind : uint8_t { GsReset, MasterVolume, GmSystemOn, MpeConfiguration };

struct ResetEvent {
  ResetKind kind = ResetKind::GsReset;
  uint16_t value = 0;  // MasterVolume: 14 bits
  int32_t quartersAfter = 0;
};

constexpr ResetEvent gsReset(int32_t quartersAfter) {
  return {.kind = ResetKind::GsReset, .quartersAfter = quartersAfter};
}
// Universal real-time master volume for all devices.
constexpr ResetEvent masterVolume(uint16_t value, int32_t quartersAfter) {
  return {.kind = ResetKind::MasterVolume, .value = value, .quartersAfter = quartersAfter};
}

// Universal non-real-time General MIDI System On for all devices.
constexpr ResetEvent gmSystemOn(int32_t quartersAfter) {
  return {.kind = ResetKind::GmSystemOn, .quartersAfter = quartersAfter};
}
// The MPE Configuration Message of a lower zone (RPN 6 on channel 1), its member count being the
// conversion's channels.
constexpr ResetEvent mpeConfiguration(int32_t quartersAfter) {
  return {.kind = ResetKind::MpeConfiguration, .quartersAfter = quartersAfter};
}

// Which MIDI channels the channel tracks play on.
enum class ChannelLayout : uint8_t {
  AvoidDrums,    // 1 to 9, then 11 to 16: a General MIDI module's channel 10 plays drums
  MpeLowerZone,  // 2 to 16, the member channels of a lower zone whose manager is channel 1
};

// How a channel's level is sent.
enum class LevelMessage : uint8_t {
  Expression,       // control change 11; notes start at velocity 127
  ChannelPressure,  // per-note pressure; notes start at the velocity of their first level
};

// The module's level change under pitch bend, which the builder undoes when `enabled`: the
// output gain at every 512 bend steps from the centre (8192) up and down, interpolated between,
// and the gain that corrected levels are scaled to.
struct BendCorrection {
  bool enabled = false;
  std::array<double, 9> gainUp{};
  std::array<double, 9> gainDown{};
  double reference = 0.0;
};

struct TargetProfile {
  std::string_view name;      // as a person names the module
  std::string_view spelling;  // on the command line (--device)
  int32_t radioValue = 0;     // the value of the converter's device radio button
  LevelCurve levelCurve = LevelCurve::Linear;
  BendCorrection bendCorrection{};
  int32_t segmentRangeLimit = 47;  // a note segment splits when its range of notes reaches this
  int32_t noteCeiling = 95;        // the highest centre note
  // Each channel's set-up block, in order; its messages must fit before the earliest note start
  // (two quarter notes), that is at most 51 of them.
  std::span<const SetupEvent> setup;
  std::span<const ResetEvent> reset;  // after the tempo on the conductor track
  // The bend ranges (semitones) the target takes, the first being its default. A set-up step
  // that sets RPN 0 carries the conversion's range.
  std::span<const uint8_t> bendRanges;
  ChannelLayout channels = ChannelLayout::AvoidDrums;
  LevelMessage levelMessage = LevelMessage::Expression;
};

}  // namespace midibuilder
