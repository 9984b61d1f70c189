#pragma once
// Helpers of the shape tests. Weights are read through the add combiner on
// black with a colour of 255 in every channel, where weight w shows as
// 255 x w / 256; multiplicity through add with channel 1 at full weight.
#include <algorithm>
#include <functional>
#include <vector>

#include "rastertest.h"

namespace shapetest {

using rastertest::TestBitmap;

constexpr RAST_pixel kWhite = 0xffffffffu;
constexpr RAST_pixel kOne = 0x01010101u;
constexpr int kAdd = RAST_BLIT_MODE_ADD;

// The red channel that weight w leaves on black through add with 255.
inline int shown(int w) { return 255 * w / 256; }

inline int red(TestBitmap& bm, int x, int y) { return RAST_GETR(bm.at(x, y)); }

inline int total(TestBitmap& bm) {
  int n = 0;
  for (RAST_pixel p : bm.logical()) n += RAST_GETR(p);
  return n;
}
inline int most(TestBitmap& bm) {
  int n = 0;
  for (RAST_pixel p : bm.logical()) n = std::max(n, RAST_GETR(p));
  return n;
}

// Draws with draw(bitmap, dx, dy) once into a w x h bitmap and once moved by
// (m, m) into one larger by 2m each way; true when the larger one, cropped
// back, equals the smaller one and holds nothing outside the crop.
inline bool clipInvariant(int w, int h, int m, const std::function<void(RAST_IBitmap*, int, int)>& draw,
                          bool flipped = false) {
  TestBitmap small(w, h, w + 3, flipped), big(w + 2 * m, h + 2 * m, w + 2 * m, flipped);
  draw(&small, 0, 0);
  draw(&big, m, m);
  if (!small.paddingIntact()) return false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (small.at(x, y) != big.at(x + m, y + m)) return false;
  return true;
}

}  // namespace shapetest
