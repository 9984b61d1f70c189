#pragma once
// Logical row addressing shared by the raster operations: row 0 at the top,
// a flipped bitmap walked from its last stored row with a negated step.
#include <cstddef>
#include <cstdint>

#include "raster/bitmap.h"

namespace rast_detail {

struct RowCursor {
  unsigned char* first = nullptr;  // logical (x, y)
  ptrdiff_t step = 0;              // bytes from one logical row to the next
};

// The pixel at logical (x, y) of a bitmap with the given bits and span; x
// and y must lie inside the bitmap.
inline RowCursor logicalAt(RAST_IBitmap* bm, RAST_pixel* bits, int span, int x, int y) {
  RowCursor c;
  const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(span) * 4;
  if (bm->isFlipped()) {
    c.first = reinterpret_cast<unsigned char*>(bits) + static_cast<ptrdiff_t>(bm->getHeight() - 1 - y) * rowBytes +
              static_cast<ptrdiff_t>(x) * 4;
    c.step = -rowBytes;
  } else {
    c.first = reinterpret_cast<unsigned char*>(bits) + static_cast<ptrdiff_t>(y) * rowBytes +
              static_cast<ptrdiff_t>(x) * 4;
    c.step = rowBytes;
  }
  return c;
}

// Sets w pixels from d to the colour, with wide stores where it can.
void fillRow(RAST_pixel* d, int64_t w, RAST_pixel c);

}  // namespace rast_detail
