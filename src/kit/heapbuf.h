#pragma once
// Growable heap buffers: the storage under every list, keyed array, string
// and glyph pool of the program.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

// Granularities used across the program.
enum : int {
  KIT_GRAN_DEFAULT = 4096,   // lists, keyed arrays, typed buffers
  KIT_GRAN_STRING = 128,     // KIT_String
  KIT_GRAN_GLYPHPOOL = 65536 // coverage pool of the cached font
};

class KIT_HeapBuf {
 public:
  explicit KIT_HeapBuf(int granularity = KIT_GRAN_DEFAULT, int minAlloc = 0);
  ~KIT_HeapBuf();
  KIT_HeapBuf(const KIT_HeapBuf&) = delete;
  KIT_HeapBuf& operator=(const KIT_HeapBuf&) = delete;
  KIT_HeapBuf(KIT_HeapBuf&& other) noexcept;
  KIT_HeapBuf& operator=(KIT_HeapBuf&& other) noexcept;

  // Sets the used size to newSize bytes, growing (or, with allowShrink,
  // shrinking) the allocation as needed. Returns the buffer's address, null
  // for a new size of 0. When memory cannot be had the used size stays as it
  // was and the old address comes back (null when the old used size was 0):
  // callers detect a failed growth by reading GetSize() back.
  void* Resize(int newSize, bool allowShrink = false);

  void* Get() const { return m_buf; }
  int GetSize() const { return m_size; }
  int GetAlloc() const { return m_alloc; }
  int GetGranularity() const { return m_gran; }
  int GetMinAlloc() const { return m_minAlloc; }
  void SetMinAlloc(int n) { m_minAlloc = n < 0 ? 0 : n; }
  // Frees the storage; the used size becomes 0.
  void Free();

  // The allocation a reallocation to newSize asks for, or -1 when it cannot be
  // represented. Exposed for tests and benchmarks.
  static int64_t AllocationFor(int64_t newSize, int granularity, int minAlloc);

  // Allocation hooks, replaceable by tests to simulate exhausted memory.
  struct Allocator {
    void* (*realloc_fn)(void* p, size_t n);
    void* (*malloc_fn)(size_t n);
    void (*free_fn)(void* p);
  };
  static void SetAllocator(const Allocator* a);  // null restores the C library's

 private:
  bool Reallocate(int64_t want, int keep);

  void* m_buf = nullptr;
  int m_gran;
  int m_alloc = 0;
  int m_size = 0;
  int m_minAlloc;
};

// A growable array of trivially copyable elements over KIT_HeapBuf.
template <class T>
class KIT_TypedBuf {
  static_assert(std::is_trivially_copyable_v<T>, "KIT_TypedBuf holds plain records");

 public:
  explicit KIT_TypedBuf(int granularity = KIT_GRAN_DEFAULT) : m_hb(granularity) {}
  // Resizes to n elements; returns the first element (null for 0 or on a
  // failed growth from empty). Compare GetSize() with n to detect failure.
  T* Resize(int n, bool allowShrink = false) {
    if (n < 0 || static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(T)) > INT32_MAX)
      return GetSize() ? Get() : nullptr;
    return static_cast<T*>(m_hb.Resize(n * static_cast<int>(sizeof(T)), allowShrink));
  }
  T* Get() const { return static_cast<T*>(m_hb.Get()); }
  int GetSize() const { return m_hb.GetSize() / static_cast<int>(sizeof(T)); }
  T& operator[](int i) const { return Get()[i]; }
  void Free() { m_hb.Free(); }
  KIT_HeapBuf& Heap() { return m_hb; }

 private:
  KIT_HeapBuf m_hb;
};
