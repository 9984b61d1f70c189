#pragma once
// Plain, copying and scaled blits between bitmaps.
//
// Both bitmaps are addressed in logical rows (row 0 at the top) whatever
// their storage order; a flipped bitmap is walked from its last stored row.
#include <cstddef>

#include "raster/bitmap.h"
#include "raster/pixel.h"
#include "shim/wintypes.h"

// Combines the source rectangle (null: the whole source; right and bottom
// exclusive) into dest at (dstx, dsty) with the opacity and blend mode.
// Everything is clipped against both bitmaps; the same bitmap as source and
// destination needs rectangles that do not overlap.
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, const RECT* srcrect, float alpha, int mode);
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode);

// Makes dest a copy of src (resizing dest to the source's size first).
void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src);

// Draws the source rectangle (in source pixels) into the destination
// rectangle (a negative width or height mirrors), sampling by nearest
// neighbour, bilinear (filter field 0x100) or, for reductions by 1.7 or more
// with the filter, a small box filter. Without scaling it is a plain blit.
void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode);

// The sampling setup of one scaled blit: 16.16 source coordinates and steps,
// the exclusive source bounds the loops may read, and the signed byte
// distances between logical rows.
struct _RAST_ScaleArgs {
  unsigned char* dest;       // first destination pixel
  const unsigned char* src;  // logical row 0 of the source
  int w, h;                  // destination size
  int x0, y0, dx, dy;        // 16.16
  int clipw, cliph;
  ptrdiff_t src_step, dest_step;
};

// The drawing loops of the blits, one instance per combiner.
template <class COMBFUNC>
struct _RAST_Template_Blit2 {
  // w x h pixels, row by row from the top, each from the left.
  static void blit(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                   ptrdiff_t dest_step, int weight) {
    for (int y = 0; y < h; ++y) {
      unsigned char* d = dest + y * dest_step;
      const unsigned char* s = src + y * src_step;
      for (int x = 0; x < w; ++x, d += 4, s += 4) COMBFUNC::doPix(d, s[1], s[2], s[3], s[0], weight);
    }
  }
  // Nearest neighbour, or bilinear when filter is 0x100.
  static void scaleBlit(const _RAST_ScaleArgs& a, int weight, int filter);
  // Box-filtered reduction with a size x size kernel of 16.16 weights.
  static void scaleBlitFilterDown(const _RAST_ScaleArgs& a, int weight, const int* kernel, int start, int size);
};
