#include "raster/pngwrite.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/pngwrite.h"

// The pixel layout in memory is the surface's (alpha, red, green, blue bytes),
// so the platform's writer takes the rows as they are.
bool RAST_WritePNG(const char* path, const RAST_pixel* pixels, int w, int h, int rowSpan, bool withAlpha) {
  if (!path || !pixels || w <= 0 || h <= 0 || rowSpan < w || rowSpan > INT_MAX / 4) return false;
  return platform::writePNG(path, reinterpret_cast<const uint8_t*>(pixels), w, h, rowSpan * 4, withAlpha);
}

bool RAST_WritePNG(const char* path, RAST_IBitmap* bitmap, bool withAlpha) {
  if (!bitmap || !bitmap->getBits()) return false;
  if (!bitmap->isFlipped())
    return RAST_WritePNG(path, bitmap->getBits(), bitmap->getWidth(), bitmap->getHeight(), bitmap->getRowSpan(),
                         withAlpha);
  // A flipped bitmap keeps row 0 last in memory.
  const int w = bitmap->getWidth(), h = bitmap->getHeight(), span = bitmap->getRowSpan();
  std::vector<RAST_pixel> rows((size_t)w * (size_t)h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[(size_t)y * w + x] = bitmap->getBits()[(std::ptrdiff_t)(h - 1 - y) * span + x];
  return RAST_WritePNG(path, rows.data(), w, h, w, withAlpha);
}
