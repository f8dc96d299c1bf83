#include <vector>

#include "analysis_method.h"
#include "seed_method.h"
#include "wide_frames.h"

namespace analyser {

namespace {

// The seed's method is always there; layers above the core append theirs at start-up. The
// entries hold no state, so a second registration of a name is simply refused.
std::vector<MethodEntry>& methods() {
  static std::vector<MethodEntry> entries{{kSeedMethodName, &makeSeedMethod}};
  return entries;
}

}  // namespace

std::span<const MethodEntry> analysisMethods() {
  return methods();
}

bool registerAnalysisMethod(const MethodEntry& entry) {
  if (entry.make == nullptr || findMethod(entry.name) != nullptr) return false;
  methods().push_back(entry);
  return true;
}

const MethodEntry* findMethod(std::string_view name) {
  for (const MethodEntry& entry : methods()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::string checkMethodRequest(std::string_view method, int32_t unitRate, int32_t& voices,
                               int32_t& framesPerSecond) {
  if (findMethod(method) == nullptr) {
    std::string names;
    for (const MethodEntry& entry : analysisMethods()) {
      if (!names.empty()) names.push_back('|');
      names.append(entry.name);
    }
    return "unknown analysis method '" + std::string(method) + "' (choose " + names + ")";
  }
  if (method == kSeedMethodName) {
    if (voices != 0 && voices != 6) {
      return "--voices must be 6 for the seed method, not " + std::to_string(voices);
    }
    if (framesPerSecond != 0 && framesPerSecond != unitRate) {
      return "--frame-rate must be the unit's " + std::to_string(unitRate) +
             " for the seed method, not " + std::to_string(framesPerSecond);
    }
    return {};
  }
  if (voices == 0) voices = 6;
  if (framesPerSecond == 0) framesPerSecond = 60;
  if (voices < 4 || voices > common::kWideMaxVoices) {
    return "--voices must be 4 to 15 for the " + std::string(method) + " method, not " +
           std::to_string(voices);
  }
  return {};
}

}  // namespace analyser
