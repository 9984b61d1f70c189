#pragma once
// The raster library: pixels and combiners, bitmaps, blits, rectangle
// operations and PNG loading; lines, circles, fills, curves, glyph masks and
// the delta, rotated and transform blits.
#include "raster/bezier.h"
#include "raster/bitmap.h"
#include "raster/blit.h"
#include "raster/circles.h"
#include "raster/deltablit.h"
#include "raster/fills.h"
#include "raster/glyphs.h"
#include "raster/lines.h"
#include "raster/pixel.h"
#include "raster/png.h"
#include "raster/rectops.h"
