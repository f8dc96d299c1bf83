// Storage for the analyser's scratch and tables: vectors that start on a cache-line boundary,
// and vectors of zeroed storage, both left uninitialised by their constructors. The vector
// kernels read whole 64-byte blocks; from storage aligned only as malloc aligns it (16 bytes),
// every such block straddles two cache lines and costs two loads, which halves the speed of the
// byte dot products.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace analyser {

inline constexpr std::size_t kCacheLine = 64;

// An allocator over a raw storage policy whose elements are default-initialised: scratch of
// plain numbers is not written (nor are its pages touched) until it is used.
template <typename T, typename Storage>
struct RawAllocator {
  using value_type = T;
  RawAllocator() = default;
  template <typename U>
  RawAllocator(const RawAllocator<U, Storage>&) noexcept {}
  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(Storage::allocate(count * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { Storage::release(p); }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const RawAllocator<U, Storage>&) const noexcept {
    return true;
  }
};

struct CacheLineStorage {
  static void* allocate(std::size_t bytes) {
    return ::operator new (bytes, std::align_val_t{kCacheLine});
  }
  static void release(void* p) noexcept { ::operator delete (p, std::align_val_t{kCacheLine}); }
};

// From calloc, left as calloc leaves it: zero, and not even mapped in until written.
struct ZeroedStorage {
  static void* allocate(std::size_t bytes) {
    void* p = std::calloc(bytes, 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  static void release(void* p) noexcept { std::free(p); }
};

template <typename T>
using AlignedVector = std::vector<T, RawAllocator<T, CacheLineStorage>>;
template <typename T>
using ZeroedVector = std::vector<T, RawAllocator<T, ZeroedStorage>>;

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
