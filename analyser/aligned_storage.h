// Storage that starts on a cache-line boundary, left uninitialised. The vector kernels read whole
// 64-byte blocks; from storage aligned only as malloc aligns it (16 bytes), every such block
// straddles two cache lines and costs two loads, which halves the speed of the byte dot products.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace analyser {

inline constexpr std::size_t kCacheLine = 64;

template <typename T>
struct CacheLineAllocator {
  using value_type = T;
  CacheLineAllocator() = default;
  template <typename U>
  CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{kCacheLine}));
  }
  void deallocate(T* p, std::size_t) noexcept {
    ::operator delete (p, std::align_val_t{kCacheLine});
  }
  // Elements are default-initialised: scratch of plain numbers is not written (nor are its
  // pages touched) until it is used.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const CacheLineAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using AlignedVector = std::vector<T, CacheLineAllocator<T>>;

// Storage from calloc, left as calloc leaves it: zero, and not even mapped in until written.
template <typename T>
struct ZeroedAllocator {
  using value_type = T;
  ZeroedAllocator() = default;
  template <typename U>
  ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) {
    void* p = std::calloc(count, sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U>
  bool operator==(const ZeroedAllocator<U>&) const noexcept {
    return true;
  }
};

// Zeroed memory from calloc (pages never written are never mapped in), handed out from the
// first cache-line boundary inside it.
class ZeroedBlock {
 public:
  explicit ZeroedBlock(std::size_t bytes) : base_(std::calloc(bytes + kCacheLine, 1)) {
    if (base_ == nullptr) throw std::bad_alloc();
    void* p = base_.get();
    std::size_t space = bytes + kCacheLine;
    aligned_ = std::align(kCacheLine, bytes, p, space);
  }
  void* data() const { return aligned_; }

 private:
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<void, Free> base_;
  void* aligned_ = nullptr;
};

}  // namespace analyser
