// The output targets the builder knows, and how a conversion picks one.
#pragma once

#include <cstdint>
#include <span>

#include "target_profile.h"

namespace midibuilder {

struct BuilderOptions;

namespace targets {

const TargetProfile& halvoran();
const TargetProfile& sc88();
const TargetProfile& sc8850();
const TargetProfile& msgs();

// Every profile, in the order of the converter's device radio group.
std::span<const TargetProfile* const> all();

// The profile of a device radio value; null when there is none.
const TargetProfile* forRadioValue(int32_t value);

}  // namespace targets

// The profile a conversion builds for: options.target, else the profile of options.device
// (Halvoran's, the window's default, for a value that names none).
const TargetProfile& targetOf(const BuilderOptions& options);

}  // namespace midibuilder
