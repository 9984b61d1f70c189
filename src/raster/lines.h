#pragma once
// Lines: clipping, integer lines with their straight runs and general-slope
// stepper, anti-aliased float lines and dashed lines.
//
// The drawing calls take the bitmap, the geometry, the colour, the opacity
// (1.0 opaque) and the blend-mode word, of which only the low byte counts;
// a null bitmap, a weight of 0, a low byte above 5, a plain copy at a
// negative weight or a coordinate that is not finite draws nothing. Rows are
// logical (row 0 at the top) except for dashed lines, which count memory
// rows.
#include "raster/bitmap.h"
#include "raster/pixel.h"

// Clips the line to columns xlo..xhi-1 and rows ylo..yhi-1; true when some of
// it is left. The four coordinates are written back in every case (on false
// they are partly clipped and must not be drawn).
bool RAST_ClipLine(int* x1, int* y1, int* x2, int* y2, int xlo, int ylo, int xhi, int yhi);
// The same for float points: the window is xlo <= x < xlo + w - 1 with w the
// width truncated to an int (likewise in y), and a cut at the right or bottom
// lands one pixel inside the last column or row.
bool RAST_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xlo, float ylo, float xhi, float yhi);

// A one-pixel line; aa shades 45-degree and general-slope lines.
void RAST_Line(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, RAST_pixel color, float alpha, int mode, bool aa);
// A line between float points. Without aa the coordinates are truncated and
// drawn by RAST_Line; with aa every integer position of the major axis gets
// a pair of pixels weighted by the fractional minor coordinate.
void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, RAST_pixel color, float alpha, int mode,
                bool aa);
// A horizontal or vertical line of pxon-pixel dashes and pxoff-pixel gaps,
// anchored at its smaller end, the larger end excluded; aa is ignored.
void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, RAST_pixel color,
                     float alpha, int mode, bool aa);

// The straight runs of one combiner; pixel counts must not be negative.
template <class COMBFUNC>
struct __RAST_LineClassSimple {
  static void RAST_HorizLine(RAST_pixel* px, int n, RAST_pixel color, int alpha);
  static void RAST_VertLine(RAST_pixel* px, int rowspan, int n, RAST_pixel color, int alpha);
  // n + 1 pixels, each xstep + ystep from the last.
  static void RAST_DiagLine(RAST_pixel* px, int rowspan, int n, int xstep, int ystep, RAST_pixel color, int alpha);
  // n + 1 main pixels at 3/4 of the weight and the 2n corner pixels between
  // them at 1/4.
  static void RAST_DiagLineAA(RAST_pixel* px, int rowspan, int n, int xstep, int ystep, RAST_pixel color, int alpha);
};

// The steppers of one combiner.
template <class COMBFUNC>
struct __RAST_LineClass {
  // From both ends toward the middle: px the start, px2 the end, n the major
  // length (n + 1 positions), slope the minor step per major step in 16.16.
  static void RAST_LineImpl(RAST_pixel* px, RAST_pixel* px2, int slope, int majorstep, int n, int minorstep,
                            RAST_pixel color, int alpha, bool aa);
  // n + 1 weighted pairs from px: err is the 16.16 fraction of the first
  // position, the partner lies at px + minorstep.
  static void RAST_FLineImpl(RAST_pixel* px, int n, int err, int slope, int majorstep, int minorstep,
                             RAST_pixel color, int alpha);
  // Expects x1 <= x2 and y1 <= y2 inside the bitmap; draws nothing for a
  // line that is neither horizontal nor vertical.
  static void DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, RAST_pixel color,
                         int alpha);
};
