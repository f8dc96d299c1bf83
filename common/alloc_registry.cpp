#include "alloc_registry.h"

#include <cstdlib>

namespace common {

AllocationRegistry::AllocationRegistry(AllocFn alloc, FreeFn release)
    : alloc_(alloc ? alloc : &std::malloc), release_(release ? release : &std::free) {}

AllocationRegistry::~AllocationRegistry() {
  freeAll();
}

void* AllocationRegistry::trackedAlloc(int32_t size) {
  if (size == 0) {
    freeAll();
    return nullptr;
  }
  if (count_ >= kCapacity) return nullptr;
  void* block = size > 0 ? alloc_(static_cast<std::size_t>(size)) : nullptr;
  blocks_[static_cast<std::size_t>(count_)] = block;
  ++count_;
  return block;
}

void AllocationRegistry::freeAll() {
  while (count_ > 0) {
    --count_;
    void*& slot = blocks_[static_cast<std::size_t>(count_)];
    if (slot != nullptr) release_(slot);
    slot = nullptr;
  }
}

}  // namespace common
