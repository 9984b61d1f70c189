#pragma once
// Test bitmaps for the raster tests: exact-size pixel storage (so that the
// sanitizer catches any access past it), an optional padded row span whose
// padding must stay untouched, and an optional bottom-up row order.
#include <cstdint>
#include <random>
#include <vector>

#include "raster/bitmap.h"

namespace rastertest {

constexpr RAST_pixel kPad = 0xDEADBEEFu;

inline RAST_pixel splat(int v) { return RAST_RGBA(v, v, v, v); }

// Pixel (x, y) of a bitmap in storage order.
inline RAST_pixel& px(RAST_IBitmap& b, int x, int y) { return b.getBits()[y * b.getRowSpan() + x]; }

// The pixels of any bitmap in logical order (row 0 at the top).
inline std::vector<RAST_pixel> logicalPixels(RAST_IBitmap& bm) {
  std::vector<RAST_pixel> v;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) v.push_back(px(bm, x, bm.isFlipped() ? bm.getHeight() - 1 - y : y));
  return v;
}

// True when every logical pixel of the bitmap is v.
inline bool allAre(RAST_IBitmap& bm, RAST_pixel v) {
  for (RAST_pixel p : logicalPixels(bm))
    if (p != v) return false;
  return true;
}

class TestBitmap : public RAST_IBitmap {
 public:
  TestBitmap(int w, int h, int span = -1, bool flipped = false)
      : m_w(w), m_h(h), m_span(span < 0 ? w : span), m_flipped(flipped),
        m_px(static_cast<size_t>(m_span) * static_cast<size_t>(h), kPad) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) at(x, y) = 0;
  }
  RAST_pixel* getBits() override { return m_px.empty() ? nullptr : m_px.data(); }
  int getWidth() override { return m_w; }
  int getHeight() override { return m_h; }
  int getRowSpan() override { return m_span; }
  bool isFlipped() override { return m_flipped; }
  bool resize(int, int) override { return false; }

  // Logical pixel (row 0 at the top whatever the storage order).
  RAST_pixel& at(int x, int y) { return m_px[static_cast<size_t>(memRow(y)) * m_span + x]; }
  int memRow(int y) const { return m_flipped ? m_h - 1 - y : y; }

  void fillRandom(std::mt19937& rng) {
    for (int y = 0; y < m_h; ++y)
      for (int x = 0; x < m_w; ++x) at(x, y) = static_cast<RAST_pixel>(rng());
  }
  // True when every padding pixel past the width still holds kPad.
  bool paddingIntact() const {
    for (int y = 0; y < m_h; ++y)
      for (int x = m_w; x < m_span; ++x)
        if (m_px[static_cast<size_t>(y) * m_span + x] != kPad) return false;
    return true;
  }
  std::vector<RAST_pixel> logical() { return logicalPixels(*this); }

 private:
  int m_w, m_h, m_span;
  bool m_flipped;
  std::vector<RAST_pixel> m_px;
};

// Applies a combiner's per-pixel function to one pixel word, with the
// channels given separately (so that out-of-range values can be passed).
template <class C>
RAST_pixel apply(RAST_pixel dest, int r, int g, int b, int a, int weight) {
  unsigned char c[4];
  for (int k = 0; k < 4; ++k) c[k] = static_cast<unsigned char>(dest >> (8 * k));
  C::doPix(c, r, g, b, a, weight);
  return RAST_RGBA(c[1], c[2], c[3], c[0]);
}

// Applies a combiner to one pixel word.
template <class C>
RAST_pixel combine(RAST_pixel dest, RAST_pixel src, int weight) {
  return apply<C>(dest, RAST_GETR(src), RAST_GETG(src), RAST_GETB(src), RAST_GETA(src), weight);
}

}  // namespace rastertest
