#pragma once
// Quadratic and cubic Bezier curves as chains of float lines, trimmed to the
// bitmap's columns, and fills between a cubic curve and a row or a column.
// tol is the segment length in pixels (0 or less means 1); a value that is
// not finite draws nothing, and a curve takes at most 65,536 segments.
#include "raster/bitmap.h"
#include "raster/pixel.h"

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      RAST_pixel color, float alpha, int mode, bool aa, float tol);
// y of the quadratic Bezier (x0,y0)-(x2,y2) with control point (x1,y1)
// where its x equals x; the parameter goes to *t when t is not null. NaN
// when the curve never reaches x.
template <class T>
T RAST_Bezier_GetY(T x0, T x1, T x2, T y0, T y1, T y2, T x, double* t);
extern template float RAST_Bezier_GetY<float>(float, float, float, float, float, float, float, double*);

void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, RAST_pixel color, float alpha, int mode, bool aa, float tol);
// Fills between the curve and row yfill, column by column.
void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, RAST_pixel color, float alpha, int mode,
                      float tol);
// Fills between the curve and column xfill, row by row.
void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, RAST_pixel color, float alpha, int mode,
                       float tol);
