#include "kit/heapbuf.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>

namespace {
const KIT_HeapBuf::Allocator kLibcAllocator = {std::realloc, std::malloc, std::free};
std::atomic<const KIT_HeapBuf::Allocator*> g_alloc{&kLibcAllocator};
}  // namespace

void KIT_HeapBuf::SetAllocator(const Allocator* a) { g_alloc.store(a ? a : &kLibcAllocator); }

KIT_HeapBuf::KIT_HeapBuf(int granularity, int minAlloc)
    : m_gran(granularity > 0 ? granularity : 1), m_minAlloc(minAlloc < 0 ? 0 : minAlloc) {}

KIT_HeapBuf::~KIT_HeapBuf() { Free(); }

KIT_HeapBuf::KIT_HeapBuf(KIT_HeapBuf&& o) noexcept
    : m_buf(o.m_buf), m_gran(o.m_gran), m_alloc(o.m_alloc), m_size(o.m_size), m_minAlloc(o.m_minAlloc) {
  o.m_buf = nullptr;
  o.m_alloc = o.m_size = 0;
}

KIT_HeapBuf& KIT_HeapBuf::operator=(KIT_HeapBuf&& o) noexcept {
  if (this != &o) {
    Free();
    m_buf = o.m_buf;
    m_gran = o.m_gran;
    m_alloc = o.m_alloc;
    m_size = o.m_size;
    m_minAlloc = o.m_minAlloc;
    o.m_buf = nullptr;
    o.m_alloc = o.m_size = 0;
  }
  return *this;
}

void KIT_HeapBuf::Free() {
  if (m_buf) g_alloc.load()->free_fn(m_buf);
  m_buf = nullptr;
  m_alloc = 0;
  m_size = 0;
}

int64_t KIT_HeapBuf::AllocationFor(int64_t newSize, int gran, int minAlloc) {
  if (newSize < 0) return -1;
  int64_t extra = std::max<int64_t>(newSize / 2, gran);
  // A request whose size plus extra leaves the int range is refused, even
  // where the extra would be capped below.
  if (newSize + extra > INT_MAX) return -1;
  int64_t total;
  if (gran >= 4096) {
    extra = (extra / 4096) * 4096;
    extra = std::clamp<int64_t>(extra, 4096, 4194304);
    total = newSize + extra;
    // Leave room for the allocator's own header: total + 96 is a whole
    // number of pages.
    total = ((total + 96) / 4096) * 4096 - 96;
  } else {
    total = newSize + extra;
  }
  if (total < newSize) total = newSize;
  if (total < minAlloc) total = minAlloc;
  if (total > INT_MAX) return -1;
  return total;
}

bool KIT_HeapBuf::Reallocate(int64_t want, int keep) {
  const Allocator* a = g_alloc.load();
  void* p = a->realloc_fn(m_buf, static_cast<size_t>(want));
  if (!p) {
    // Retry as allocate, copy and free: some allocators fail to move a block
    // in place where a fresh one can still be had.
    p = a->malloc_fn(static_cast<size_t>(want));
    if (!p) return false;
    if (m_buf) {
      std::memcpy(p, m_buf, static_cast<size_t>(std::min<int64_t>(keep, want)));
      a->free_fn(m_buf);
    }
  }
  m_buf = p;
  m_alloc = static_cast<int>(want);
  return true;
}

void* KIT_HeapBuf::Resize(int newSize, bool allowShrink) {
  auto result = [this]() -> void* { return m_size ? m_buf : nullptr; };
  if (newSize < 0) return result();
  if (newSize == m_size) return result();

  if (newSize <= m_alloc) {
    const bool shrink = allowShrink && newSize < m_size && newSize < m_alloc / 2 &&
                        static_cast<int64_t>(m_alloc) - 4 * static_cast<int64_t>(m_gran) > newSize;
    if (shrink) {
      const int64_t want = AllocationFor(newSize, m_gran, m_minAlloc);
      // A shrink that cannot be had keeps the larger block, which still fits.
      if (want > 0 && want < m_alloc) Reallocate(want, newSize);
    }
    m_size = newSize;
    return result();
  }

  const int64_t want = AllocationFor(newSize, m_gran, m_minAlloc);
  if (want < newSize) return result();  // not representable: a failed growth
  if (!Reallocate(want, m_size)) return result();
  m_size = newSize;
  return result();
}
