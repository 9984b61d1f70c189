#pragma once
// Filled trapezoids, convex polygons and triangles, rectangle outlines and
// bordered rectangles. Only the blend mode's low byte counts; a null bitmap,
// a weight of 0, a low byte above 5 or a copy at a negative weight draws
// nothing. Rows are logical (row 0 at the top). Every pixel of a filled
// shape is combined once.
#include <cstdint>

#include "raster/bitmap.h"
#include "raster/pixel.h"

// The rows y1 to y2 (either order), each filled between its two ends: x1a
// and x1b on row y1, x2a and x2b on row y2 (each pair in either order), the
// edges stepped in 16.16.
void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, RAST_pixel color,
                        float alpha, int mode);
// The convex polygon of the points (x[i], y[i]) in any order, as one
// trapezoid per band between vertex rows. Up to 512 points need no memory;
// more take a heap buffer, and nothing is drawn when it cannot be had.
void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int npoints, RAST_pixel color,
                            float alpha, int mode);
void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, RAST_pixel color,
                       float alpha, int mode);
// The outline of w + 1 by h + 1 pixels from (x, y), as four lines.
void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_pixel color, float alpha, int mode);
// The interior (x + 1, y + 1, w - 1, h - 1) in bgcolor, then the outline in
// fgcolor.
void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_pixel bgcolor, RAST_pixel fgcolor,
                       float alpha, int mode);

// The row fillers. row is the first row's first pixel, span the signed
// distance in pixels to the next row; xl is the left x and xr one past the
// right x (64 bits, since an edge may run far outside the bitmap), dl/dr
// the 16.16 step magnitudes, fl/fr their accumulators, sl/sr the directions
// (+1 or -1). With both steps 0, row points at the first column to fill and
// xr is the pixel count of every row.
template <class COMBFUNC>
struct _RAST_Fill {
  static void FillClippedTrapezoid(int width, int span, RAST_pixel* row, int rows, int64_t xl, int64_t xr, int dl,
                                   int dr, int fl, int fr, int sl, int sr, int r, int g, int b, int a, int ia);
};
// The same with a whole-word combiner of the plain copies.
template <class COMBFUNC>
struct _RAST_FillFast {
  static void FillClippedTrapezoidFAST(int width, int span, RAST_pixel* row, int rows, int64_t xl, int64_t xr, int dl,
                                       int dr, int fl, int fr, int sl, int sr, RAST_pixel c);
};
