#include "targets.h"

#include <algorithm>
#include <array>
#include <vector>

#include "builder_tables.h"

namespace midibuilder {

namespace targets {

std::span<const TargetProfile* const> all() {
  static const std::array<const TargetProfile*, 4> list{&halvoran(), &sc88(), &sc8850(), &msgs()};
  return list;
}

std::span<const TargetProfile* const> extra() {
  static const std::array<const TargetProfile*, 2> list{&gm(), &mpe()};
  return list;
}

const TargetProfile* forSpelling(std::string_view spelling) {
  for (const auto list : {all(), extra()}) {
    for (const TargetProfile* target : list) {
      if (target->spelling == spelling) return target;
    }
  }
  return nullptr;
}

const TargetProfile* extraForValue(std::string_view value) {
  std::string lower(value);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const TargetProfile* target : extra()) {
    if (target->spelling == lower) return target;
  }
  return nullptr;
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

int32_t bendRangeOf(const BuilderOptions& options) {
  if (options.bendRange > 0) return options.bendRange;
  const TargetProfile& target = targetOf(options);
  return target.bendRanges.empty() ? 24 : target.bendRanges.front();
}

bool allowsBendRange(const TargetProfile& target, int32_t semitones) {
  return std::find(target.bendRanges.begin(), target.bendRanges.end(), semitones) !=
         target.bendRanges.end();
}

std::string bendRangeList(const TargetProfile& target) {
  std::vector<int32_t> values(target.bendRanges.begin(), target.bendRanges.end());
  std::sort(values.begin(), values.end());
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += i + 1 == values.size() ? " or " : ", ";
    text += std::to_string(values[i]);
  }
  return text;
}

std::string bendRangeRefusal(const TargetProfile& target, int32_t semitones) {
  if (allowsBendRange(target, semitones)) return {};
  return "--bend-range " + std::to_string(semitones) + " is not for --device " +
         std::string(target.spelling) + " (choose " + bendRangeList(target) + ")";
}

int32_t segmentRangeLimitOf(const BuilderOptions& options) {
  // 2 x 127 - 1 at most: a range beyond the notes there are never binds.
  const int32_t range = std::clamp(bendRangeOf(options), 1, 127);
  return std::min(targetOf(options).segmentRangeLimit, 2 * range - 1);
}

}  // namespace midibuilder
