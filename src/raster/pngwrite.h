#pragma once
// PNG files from raster pixels: 8-bit RGBA (with alpha) or RGB (alpha
// dropped), through the platform's one PNG writer (no time chunk, so the same
// pixels always give the same file). Used by the tools and the tests. Any
// thread; no shared state.
#include "raster/bitmap.h"

// pixels: rows of rowSpan RAST_pixel values. False when the file cannot be
// written (a partly written file is removed).
bool RAST_WritePNG(const char* path, const RAST_pixel* pixels, int w, int h, int rowSpan, bool withAlpha);
bool RAST_WritePNG(const char* path, RAST_IBitmap* bitmap, bool withAlpha);
