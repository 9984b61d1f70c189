#pragma once
// The raster library's core: pixels and combiners, bitmaps, blits, rectangle
// operations and PNG loading.
#include "raster/bitmap.h"
#include "raster/blit.h"
#include "raster/pixel.h"
#include "raster/png.h"
#include "raster/rectops.h"
