#pragma once
// The trapezoid and polygon fills with 64-bit coordinates, for the shape
// sources that build their corners from sums of ints. Coordinates must lie
// within +-2^40. The polygon takes logical rows; the trapezoid takes rows in
// memory order (the polygon mirrors its vertices on a flipped bitmap).
#include <cstdint>

#include "raster/bitmap.h"
#include "raster/pixel.h"

namespace rast_detail {

void fillTrapezoid(RAST_IBitmap* dest, int64_t x1a, int64_t x1b, int64_t y1, int64_t x2a, int64_t x2b, int64_t y2,
                   RAST_pixel color, float alpha, int mode);
void fillPolygon(RAST_IBitmap* dest, const int64_t* x, const int64_t* y, int npoints, RAST_pixel color, float alpha,
                 int mode);

}  // namespace rast_detail
