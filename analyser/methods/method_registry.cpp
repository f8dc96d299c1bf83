#include <vector>

#include "analysis_method.h"
#include "seed_method.h"

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

}  // namespace analyser
