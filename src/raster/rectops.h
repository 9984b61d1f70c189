#pragma once
// Rectangle and single-pixel operations. Rectangles are clipped to the
// bitmap; a null bitmap, one without pixels or an empty rectangle does
// nothing. Flipped bitmaps are addressed in logical rows.
#include <cstddef>

#include "raster/bitmap.h"
#include "raster/pixel.h"

// Sets every pixel of the bitmap.
void RAST_Clear(RAST_IBitmap* bm, RAST_pixel colour);

// Combines the colour into every pixel of the rectangle under the blend
// mode's low byte; with RAST_BLIT_USE_SOURCE_ALPHA the opacity is first
// scaled by the colour's alpha byte / 255. Plain copies at opacities 1/4,
// 1/2, 3/4 and 1 are whole-word mixes.
void RAST_FillRect(RAST_IBitmap* bm, int x, int y, int w, int h, RAST_pixel colour, float alpha, int mode);

// Each pixel becomes (pixel AND mask) OR orbits.
void RAST_ClearRect(RAST_IBitmap* bm, int x, int y, int w, int h, RAST_pixel mask, RAST_pixel orbits);

// Each channel becomes (channel x trunc(scale x 256) + trunc(add x 256)) >> 8,
// clamped to 0-255.
void RAST_MultiplyAddRect(RAST_IBitmap* bm, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd);

// Calls procfunc(pixel, parm) for each pixel of the rectangle.
void RAST_ProcessRect(RAST_IBitmap* bm, int x, int y, int w, int h, void (*procfunc)(RAST_pixel* p, void* parm),
                      void* parm);

// 0 outside the bitmap.
RAST_pixel RAST_GetPixel(RAST_IBitmap* bm, int x, int y);
void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, RAST_pixel colour, float alpha, int mode);

// The inner loop of the fills, one instance per combiner: w x h pixels from
// dest, rows span bytes apart, the weight ia passed as source alpha too.
template <class COMBFUNC>
struct _RAST_Template_Blit1 {
  static void solidBlit(unsigned char* dest, int w, int h, int r, int g, int b, int ia, ptrdiff_t span) {
    for (int y = 0; y < h; ++y) {
      unsigned char* d = dest + y * span;
      for (int x = 0; x < w; ++x, d += 4) COMBFUNC::doPix(d, r, g, b, ia, ia);
    }
  }
};
