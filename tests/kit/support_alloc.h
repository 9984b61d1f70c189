#pragma once
// Heap-buffer allocation hooks that run out, installed for a guard's
// lifetime: allocations fail once `left` more have succeeded (-1: never);
// with reallocOnly every in-place growth fails, so the buffer has to
// allocate, copy and free instead.
#include <cstdlib>

#include "kit/heapbuf.h"

namespace kittest {

class FailingAllocator {
 public:
  explicit FailingAllocator(int left, bool reallocOnly = false) {
    s_left = left, s_reallocOnly = reallocOnly, s_reallocCalls = 0;
    KIT_HeapBuf::SetAllocator(&kHooks);
  }
  ~FailingAllocator() { KIT_HeapBuf::SetAllocator(nullptr); }
  static int reallocCalls() { return s_reallocCalls; }

 private:
  static bool take() { return s_left != 0 && (s_left < 0 || s_left-- > 0); }
  static void* grow(void* p, size_t n) {
    ++s_reallocCalls;
    return !s_reallocOnly && take() ? std::realloc(p, n) : nullptr;
  }
  static void* allocate(size_t n) { return take() ? std::malloc(n) : nullptr; }
  static inline int s_left = -1, s_reallocCalls = 0;
  static inline bool s_reallocOnly = false;
  static inline const KIT_HeapBuf::Allocator kHooks = {grow, allocate, std::free};
};

}  // namespace kittest
