#include "raster/bitmap.h"

#include "shim/wingdi.h"

#include <climits>
#include <cstddef>
#include <cstdlib>

namespace {

constexpr uintptr_t kRowAlign = 64;

RAST_pixel* alignedStart(void* raw) {
  if (!raw) return nullptr;
  const uintptr_t p = reinterpret_cast<uintptr_t>(raw);
  return reinterpret_cast<RAST_pixel*>((p + kRowAlign - 1) & ~(kRowAlign - 1));
}

int maskFromAlignment(unsigned int linealign) {
  if (linealign < 2) return 0;
  const unsigned int lowest = linealign & (~linealign + 1u);
  // An alignment of 2^31 pixels cannot be a row span; it takes the widest
  // mask an int holds, so that any bitmap of it is refused as too large.
  return lowest > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(lowest - 1u);
}

int64_t spanFor(int64_t width, int64_t mask) { return (width + mask) & ~mask; }

}  // namespace

// ---------------------------------------------------------------------------
// RAST_MemBitmap

RAST_MemBitmap::RAST_MemBitmap(int w, int h, unsigned int linealign) : m_linealign(maskFromAlignment(linealign)) {
  if (w || h) resize(w, h);
}

RAST_MemBitmap::~RAST_MemBitmap() { std::free(m_fb); }

RAST_pixel* RAST_MemBitmap::getBits() { return alignedStart(m_fb); }

int RAST_MemBitmap::getRowSpan() {
  // A bitmap with pixels has a span that fitted its allocation.
  const int64_t span = spanFor(m_width, m_linealign);
  return span > INT_MAX ? 0 : static_cast<int>(span);
}

bool RAST_MemBitmap::resize(int w, int h) {
  if (w == m_width && h == m_height) return false;

  // Sizes in 64 bits: a dimension of 0 or below is an empty bitmap, and a
  // byte size that an int cannot hold is refused like a failed allocation.
  // A row of more than INT_MAX bytes is too large before the product with
  // the height is formed, which keeps that product inside 64 bits.
  int64_t size = 0;
  if (w > 0 && h > 0) {
    const int64_t rowBytes = spanFor(w, m_linealign) * 4;
    size = rowBytes > INT_MAX ? INT64_MAX : rowBytes * h;
  }
  if (size < 1 || size > INT_MAX) {
    std::free(m_fb);
    m_fb = nullptr;
    m_allocsize = 0;
    m_width = m_height = 0;
    return true;
  }
  m_width = w;
  m_height = h;

  if (m_fb && size <= m_allocsize) return true;

  if (m_fb) {
    int64_t grown = size + size / 4;
    if (grown > INT_MAX) grown = INT_MAX;
    void* p = std::realloc(m_fb, static_cast<size_t>(grown) + kRowAlign - 1);
    if (p) {
      m_fb = p;
      m_allocsize = static_cast<int>(grown);
      return true;
    }
    std::free(m_fb);
    m_fb = nullptr;
  }
  m_allocsize = static_cast<int>(size);
  m_fb = std::malloc(static_cast<size_t>(size) + kRowAlign - 1);
  if (!m_fb) {
    m_allocsize = 0;
    m_width = m_height = 0;
  }
  return true;
}

// ---------------------------------------------------------------------------
// RAST_SysBitmap

RAST_SysBitmap::RAST_SysBitmap(int w, int h) { resize(w, h); }

RAST_SysBitmap::~RAST_SysBitmap() { deleteSurface(); }

bool RAST_SysBitmap::createSurface(int w, int h) {
  m_dc = SHIM_CreateMemContext(nullptr, w, h);
  return m_dc != nullptr;
}

void RAST_SysBitmap::deleteSurface() {
  SHIM_DeleteGfxContext(m_dc);
  m_dc = nullptr;
}

RAST_pixel* RAST_SysBitmap::surfacePixels() const {
  return static_cast<RAST_pixel*>(SHIM_GetCtxFrameBuffer(m_dc));
}

bool RAST_SysBitmap::resize(int w, int h) {
  // Negative sizes are empty sizes.
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == m_width && h == m_height) return false;
  m_width = w;
  m_height = h;

  if (w && h && m_allocw >= w && m_alloch >= h && m_bits) {
    // The surface still holds the new size; a flipped bitmap shows its
    // last h rows.
    if (isFlipped()) m_bits = surfacePixels() + static_cast<ptrdiff_t>(m_alloch - h) * m_allocw;
    return true;
  }

  int64_t allocw = (static_cast<int64_t>(w) + 3) & ~int64_t(3);
  if (allocw > INT_MAX) allocw = 0;  // no surface can be that wide: a failed allocation
  deleteSurface();
  m_bits = nullptr;
  if (h == 0 || w == 0) {
    m_allocw = static_cast<int>(allocw);
    m_alloch = h;
    return false;
  }
  if (allocw == 0 || !createSurface(static_cast<int>(allocw), h)) {
    m_allocw = m_alloch = 0;
    m_width = m_height = 0;
    return true;
  }
  m_allocw = static_cast<int>(allocw);
  m_alloch = h;
  m_bits = surfacePixels();
  return true;
}
