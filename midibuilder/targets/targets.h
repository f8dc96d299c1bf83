// The output targets the builder knows, and how a conversion picks one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "target_profile.h"

namespace midibuilder {

struct BuilderOptions;

namespace targets {

const TargetProfile& halvoran();
const TargetProfile& sc88();
const TargetProfile& sc8850();
const TargetProfile& msgs();
const TargetProfile& gm();
const TargetProfile& mpe();

// The programs the General MIDI and MPE set-ups select (the sine SoundFont has both): 78,
// Whistle, measured the most intelligible (scripts/gm-program), and 81, Lead 2.
inline constexpr uint8_t kGmProgram = 78;
inline constexpr uint8_t kMpeProgram = 81;

// Every profile, in the order of the converter's device radio group.
std::span<const TargetProfile* const> all();
// The profiles beyond the radio group's buttons (radio value -1), offered by name only.
std::span<const TargetProfile* const> extra();
// The profile of a --device spelling among all() and extra(); null when there is none.
const TargetProfile* forSpelling(std::string_view spelling);

// The profile beyond the radio group of a --device value in any case ("gm", "MPE"); null when
// the value names none of extra().
const TargetProfile* extraForValue(std::string_view value);

// The profile of a device radio value; null when there is none.
const TargetProfile* forRadioValue(int32_t value);

}  // namespace targets

// The profile a conversion builds for: options.target, else the profile of options.device
// (Halvoran's, the window's default, for a value that names none).
const TargetProfile& targetOf(const BuilderOptions& options);

// The bend range (semitones) of a conversion: options.bendRange, else the target's default.
int32_t bendRangeOf(const BuilderOptions& options);
// Whether `target` takes a bend range of `semitones`.
bool allowsBendRange(const TargetProfile& target, int32_t semitones);
// The target's allowed bend ranges as a person reads them: "2, 12 or 24".
std::string bendRangeList(const TargetProfile& target);

// The refusal of a bend range of `semitones` that `target` does not take ("" when it takes it):
// "--bend-range 48 is not for --device gm (choose 2, 12 or 24)".
std::string bendRangeRefusal(const TargetProfile& target, int32_t semitones);

// The range of notes at which a segment splits: the target's limit, narrowed so that every note
// of a segment lies within the bend range of its centre. A segment spans at most 2R - 2 whole
// notes (R the range); its rounded-up middle is then R - 1 notes from either end, and a note
// number is truncated from a pitch less than one semitone above it: every pitch stays within R.
int32_t segmentRangeLimitOf(const BuilderOptions& options);

}  // namespace midibuilder
