#pragma once
// Alpha-mask glyphs and small bitmap utilities: painting a colour through
// an 8-bit coverage mask, colour keys to alpha, a span seed fill, a half-size
// averaging copy, bitmap comparison, and y of a cubic Bezier at a given x.
#include "raster/bitmap.h"
#include "raster/pixel.h"

// Paints colour through glyph_h rows of glyph_w coverage bytes (rows
// glyph_span bytes apart) with the mask's top-left corner at (x, y): each
// non-zero byte v combines the colour with weight (v x weight) / 256, weight
// being alpha x 256. Modes 1-5 take any non-zero weight, copy a positive
// one. Clipped to the bitmap, logical rows; a null mask draws nothing.
void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, RAST_pixel color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode);
void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, RAST_pixel color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode);

// The painter of one combiner: w x h mask bytes (rows alpha_span bytes
// apart) over pixels whose rows lie dest_span pixels apart.
template <class COMBFUNC>
struct GlyphDrawImpl {
  static void DrawGlyph(const unsigned char* alphas, RAST_pixel* dest, int w, int h, RAST_pixel color, int dest_span,
                        int alpha_span, int weight);
};

// Alpha 0 where the pixel without its alpha byte equals colour (all 32 bits,
// so the key has alpha 0), 255 elsewhere. Memory rows.
void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, RAST_pixel colour);
// Fills the runs connected through column x, downward from row y and then
// upward, while pixels match (value AND comparemask equal to the seed's); a
// filled pixel becomes (value AND keepmask) OR newcolour. Memory rows.
void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, RAST_pixel newcolour, RAST_pixel comparemask,
                     RAST_pixel keepmask);
// Each destination pixel is the sum of its four source pixels shifted right
// by 2 per byte. Memory rows.
void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src);
// Compares two bitmaps in logical rows. Null or size differences give a
// non-zero result; without coords, memcmp's result of the first differing
// row; with coords, 1 and the left, top, width and height of the differing
// pixels, or 0 and four zeros.
int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coords);
// y of the cubic Bezier (x0,y0)-(x3,y3) with control points (x1,y1) and
// (x2,y2) where its x equals x, by up to 8 halvings of the parameter and a
// straight line inside the bracket found. Optional outputs: the x at the
// bracket's upper end, the slope across it, and its parameters.
float RAST_CBezier_GetY(float x0, float x1, float x2, float x3, float y0, float y1, float y2, float y3, float x,
                        float* nextx, float* dydx, double* tlo, double* thi);
