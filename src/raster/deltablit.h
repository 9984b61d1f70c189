#pragma once
// Blits along an affine or bilinear mapping: the source position of each
// destination pixel steps in 16.16 fixed point, per pixel and per row, with
// a second-order term that changes the pixel step from row to row. Combined
// with the blend mode and opacity of the plain blits (source-alpha flag
// included); the filter field 0x100 samples bilinearly, anything else the
// nearest pixel. Both bitmaps are addressed in logical rows.
#include <cstddef>

#include "raster/bitmap.h"
#include "raster/pixel.h"

// Destination pixel (i, j) of the rectangle reads the source at
// s = srcx + i (dsdx + j dsdxdy) + j dsdy, t = srcy + i (dtdx + j dtdxdy) + j dtdy.
// clipToSource limits reading to the source rectangle; a negative dstw or
// dsth moves the rectangle and starts at srcx + srcw (srcy + srch). A value
// that is not finite, or a position or step that leaves 16.16 int range,
// draws nothing.
void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double dsdxdy, double dtdxdy, bool clipToSource, float alpha, int mode);
// The source rectangle scaled into the destination rectangle and turned by
// angle (radians) about its centre moved by (rotxcent, rotycent) source
// pixels. A negative dstw or dsth mirrors that axis.
void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSource, float alpha, int mode,
                      float rotxcent, float rotycent);
// srcpoints holds div_w x div_h source (s, t) pairs, row by row, one for each
// grid point of the destination rectangle; every cell is a delta blit.
void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int div_w, int div_h, float alpha, int mode);
void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int div_w, int div_h, float alpha, int mode);

template <class T>
struct RAST_TransformBlit_class {
  static void blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, const T* srcpoints,
                   int div_w, int div_h, float alpha, int mode);
};

// The inner loop: w x h destination pixels from dest (rows dest_span bytes
// apart), reading src (logical row 0, rows src_span bytes apart) inside
// minx..maxx-1 by miny..maxy-1. Positions and steps are 16.16; the caller
// guarantees that every position the loop reads fits an int.
template <class COMBFUNC>
struct _RAST_Template_Blit3 {
  static void deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int isx, int isy, int idsdx,
                        int idtdx, int idsdy, int idtdy, int idsdxdy, int idtdxdy, int minx, int miny, int maxx,
                        int maxy, ptrdiff_t src_span, ptrdiff_t dest_span, int ia, int filter);
};
