#pragma once
// Circle outlines, filled discs, arcs and rounded-rectangle outlines, plain
// or anti-aliased. Only the blend mode's low byte counts; a null bitmap, a
// weight of 0, a low byte above 5, a plain copy at a negative weight, a
// value that is not finite, or a centre or radius beyond 2^24 draws
// nothing. Rows are logical; angles are radians clockwise from straight up.
#include "raster/bitmap.h"
#include "raster/pixel.h"

// Radii 1.5, 2, 2.5, 3, 3.5 and 4 are stamped from fixed coverage masks.
void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, float alpha, int mode, bool aa);
void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, float alpha, int mode,
                     bool aa);
// The outline from the smaller angle to the larger, one clip rectangle per
// quarter turn; a range of a whole turn or more is the full circle.
void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, RAST_pixel color,
              float alpha, int mode, bool aa);
// Four edges and four quarter arcs of the corner radius (lowered to half
// the width and height); a radius below 2 gives a plain rectangle outline.
void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int cornerradius, RAST_pixel color,
                    float alpha, int mode, bool aa);

// Draws the circle through the clip rectangle (left, top, right, bottom;
// right and bottom exclusive, inside the bitmap) in memory rows; without
// doclip the shape must lie inside the bitmap.
void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, int ia, bool aa,
                         bool filled, int mode, const int* clip, bool doclip);

template <class COMBFUNC>
struct _RAST_CircleDrawer {
  static void DrawClippedPt(RAST_IBitmap* dest, int x, int y, const int* clip, int r, int g, int b, int a, int ia,
                            bool doclip);
  // Rows y1 to y2 of column x, inclusive.
  static void DrawClippedVertLine(RAST_IBitmap* dest, int x, int y1, int y2, const int* clip, int r, int g, int b,
                                  int a, int ia, bool doclip);
  // Columns x1 to x2 of row y, inclusive.
  static void DrawClippedHorzLine(RAST_IBitmap* dest, int y, int x1, int x2, const int* clip, int r, int g, int b,
                                  int a, int ia, bool doclip);
  static void DrawClippedCircle(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip, RAST_pixel color,
                                int ia, bool filled, bool doclip);
  static void DrawClippedCircleAA(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip, RAST_pixel color,
                                  int ia, bool filled, bool doclip);
};

// The coverage masks of the small circles: (2r + 1) pixels square, rows
// from the top, for r = 1.5, 2, 2.5, 3, 3.5 and 4.
struct RAST_CircleMask {
  float r;
  int size;
  const unsigned char* plain;
  const unsigned char* aa;
};
extern const RAST_CircleMask RAST_CircleMasks[6];
