#pragma once
// Internal entry points shared by the blit sources.
#include <cstddef>
#include <cstdint>

#include "raster/bitmap.h"

namespace rast_detail {

// The plain blit with its source rectangle and position in 64 bits, so that
// callers can pass sums of ints without overflow.
void blitRect(RAST_IBitmap* dest, RAST_IBitmap* src, int64_t dstx, int64_t dsty, int64_t left, int64_t top,
              int64_t right, int64_t bottom, float alpha, int mode);

// Copy by source alpha at full weight: the combiner of the window's bitmap
// drawing, over w x h pixels.
void sourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                     ptrdiff_t dest_step);

}  // namespace rast_detail
