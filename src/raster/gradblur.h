#pragma once
// Gradient fill and blur: two rectangle operations that produce pixels.
#include <cstddef>

#include "raster/bitmap.h"
#include "raster/pixel.h"

// Fills a rectangle with a colour that changes linearly across it. Red,
// green and blue are given with 1.0 as full intensity, alpha with 1.0 as the
// full weight; each channel has a start value at the top-left pixel and
// increments per pixel to the right (d?dx) and per row downward (d?dy). Only
// the low byte of mode counts: 0 copy (mixes each pixel in with the running
// alpha as its weight; a constant full alpha writes it outright), 1 add, 2 colour dodge, 3 multiply, 4 overlay, 5 HSV adjust; above 5
// draws nothing. Values whose 16.16 fixed-point form would leave the int
// range anywhere in the rectangle draw nothing.
void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode);

// Softens the source rectangle into dest at (dstx, dsty) with a small fixed
// kernel of byte-wise shifts (all four bytes alike). dest and src may be the
// same bitmap with the destination at the source's own position: the result
// is then the same as blurring into another bitmap. Rectangles that clip to
// less than 2 x 2 pixels draw nothing. Widths above 1024 pixels take their
// row buffer from the heap; when none can be had the rectangle is left as it
// was.
void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch);

// The fill loop of the gradient, one instance per combiner: w x h pixels
// from dest, logical rows dest_step bytes apart, the twelve values in 16.16.
template <class COMBFUNC>
struct _RAST_Template_GradBlit {
  static void gradBlit(unsigned char* dest, int w, int h, int r, int g, int b, int a, int drdx, int dgdx, int dbdx,
                       int dadx, int drdy, int dgdy, int dbdy, int dady, ptrdiff_t dest_step) {
    for (int y = 0; y < h; ++y, dest += dest_step) {
      int cr = r, cg = g, cb = b, ca = a;
      unsigned char* d = dest;
      for (int x = 0; x < w; ++x, d += 4) {
        const int av = ca / 65536;
        COMBFUNC::doPix(d, cr / 65536, cg / 65536, cb / 65536, av, av);
        // The last step of a row is never read; the caller has checked that
        // it stays in range.
        cr += drdx;
        cg += dgdx;
        cb += dbdx;
        ca += dadx;
      }
      r += drdy;
      g += dgdy;
      b += dbdy;
      a += dady;
    }
  }
};
