// The allocation registry: every block a conversion obtains is recorded here and released
// together by freeAll() when the conversion ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace common {

class AllocationRegistry {
 public:
  static constexpr int32_t kCapacity = 256;

  using AllocFn = void* (*)(std::size_t);
  using FreeFn = void (*)(void*);

  // The allocator pair defaults to the C heap; tests pass one that refuses on demand.
  explicit AllocationRegistry(AllocFn alloc = nullptr, FreeFn release = nullptr);
  ~AllocationRegistry();
  AllocationRegistry(const AllocationRegistry&) = delete;
  AllocationRegistry& operator=(const AllocationRegistry&) = delete;

  // size != 0: allocate and record the result (a refused request records null and still takes
  // an entry). A negative size is refused. When all 256 entries are taken the request returns
  // null and records nothing.
  // size == 0: the same as freeAll(); returns null.
  void* trackedAlloc(int32_t size);
  // Releases every recorded block, newest first.
  void freeAll();

  int32_t count() const { return count_; }
  void* entry(int32_t index) const { return blocks_[static_cast<std::size_t>(index)]; }

 private:
  std::array<void*, kCapacity> blocks_{};
  int32_t count_ = 0;
  AllocFn alloc_;
  FreeFn release_;
};

}  // namespace common
