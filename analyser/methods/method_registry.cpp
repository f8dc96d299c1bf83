#include "analysis_method.h"

#include "seed_method.h"

namespace analyser {

namespace {

constexpr MethodEntry kMethods[] = {
    {kSeedMethodName, &makeSeedMethod},
};

}  // namespace

std::span<const MethodEntry> analysisMethods() {
  return kMethods;
}

const MethodEntry* findMethod(std::string_view name) {
  for (const MethodEntry& entry : kMethods) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace analyser
