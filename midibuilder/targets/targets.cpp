#include "targets.h"

#include <array>

#include "builder_tables.h"

namespace midibuilder {

namespace targets {

std::span<const TargetProfile* const> all() {
  static const std::array<const TargetProfile*, 4> list{&halvoran(), &sc88(), &sc8850(), &msgs()};
  return list;
}

const TargetProfile* forRadioValue(int32_t value) {
  for (const TargetProfile* target : all()) {
    if (target->radioValue == value) return target;
  }
  return nullptr;
}

}  // namespace targets

const TargetProfile& targetOf(const BuilderOptions& options) {
  if (options.target != nullptr) return *options.target;
  const TargetProfile* target = targets::forRadioValue(options.device);
  return target != nullptr ? *target : targets::halvoran();
}

}  // namespace midibuilder
