#include "raster/deltablit.h"

#include <cmath>
#include <cstdint>

#include "raster/shapeutil.h"

using rast_detail::allFinite;
using rast_detail::satInt;

namespace {

// Source position and steps in pixels.
struct Walk {
  double sx, sy, dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy;
};

struct SourceClip {
  int minx, miny, maxx, maxy;
};

SourceClip sourceClip(RAST_IBitmap* src, bool clipToSource, float srcx, float srcy, float srcw, float srch) {
  const int w = src->getWidth(), h = src->getHeight();
  if (!clipToSource) return {0, 0, w, h};
  return {satInt(srcx > 0 ? srcx : 0.0f), satInt(srcy > 0 ? srcy : 0.0f),
          satInt(srcx + srcw < w ? srcx + srcw : static_cast<float>(w)),
          satInt(srcy + srch < h ? srcy + srch : static_cast<float>(h))};
}

template <class C>
struct DeltaRun {
  static void run(unsigned char* dest, const unsigned char* src, int w, int h, const int* v, const SourceClip& c,
                  ptrdiff_t src_span, ptrdiff_t dest_span, int ia, int filter) {
    _RAST_Template_Blit3<C>::deltaBlit(dest, src, w, h, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], c.minx, c.miny,
                                       c.maxx, c.maxy, src_span, dest_span, ia, filter);
  }
};

bool fitsInt(__int128 v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The cut to the destination bitmap and the run: steps 4 and 5 of the
// delta blit, shared with the rotated blit.
void runDelta(RAST_IBitmap* dest, RAST_IBitmap* src, int64_t dstx, int64_t dsty, int64_t dstw, int64_t dsth, Walk k,
              const SourceClip& clip, float alpha, int mode) {
  if (!allFinite({k.sx, k.sy, k.dsdx, k.dtdx, k.dsdy, k.dtdy, k.dsdxdy, k.dtdxdy})) return;
  if (dstx < 0) {
    // the cut columns move the start, and with them the later rows' starts
    const double c = -static_cast<double>(dstx);
    k.sx += c * k.dsdx, k.sy += c * k.dtdx;
    k.dsdy += c * k.dsdxdy, k.dtdy += c * k.dtdxdy;
    dstw += dstx, dstx = 0;
  }
  if (dsty < 0) {
    const double m = -static_cast<double>(dsty);
    k.sx += m * k.dsdy, k.sy += m * k.dtdy;
    k.dsdx += m * k.dsdxdy, k.dtdx += m * k.dtdxdy;
    dsth += dsty, dsty = 0;
  }
  const int64_t W = dest->getWidth(), H = dest->getHeight();
  if (dstw > W - dstx) dstw = W - dstx;
  if (dsth > H - dsty) dsth = H - dsty;
  if (dstw < 1 || dsth < 1) return;
  RAST_pixel* dbits = dest->getBits();
  RAST_pixel* sbits = src->getBits();
  if (!dbits || !sbits || src->getWidth() < 1 || src->getHeight() < 1) return;
  const int ia = RAST_WeightFromAlpha(alpha);
  if (ia == 0) return;

  // Everything in 16.16, checked in 64 bits: the start, the steps of the
  // first and last rows and the positions at the four corners (the walk is
  // bilinear in the pixel and row counts, so the corners bound it).
  const double vals[8] = {k.sx, k.sy, k.dsdx, k.dtdx, k.dsdy, k.dtdy, k.dsdxdy, k.dtdxdy};
  int v[8];
  for (int i = 0; i < 8; ++i) {
    const double f = vals[i] * 65536.0;
    if (!(f > -2147483649.0 && f < 2147483648.0)) return;
    v[i] = static_cast<int>(f);
  }
  const int64_t lastI = dstw - 1, lastJ = dsth - 1;
  for (int axis = 0; axis < 2; ++axis) {
    const __int128 start = v[axis], step = v[2 + axis], rowStep = v[4 + axis], second = v[6 + axis];
    if (!fitsInt(step + lastJ * second)) return;
    for (__int128 j : {__int128{0}, __int128{lastJ}})
      for (__int128 i : {__int128{0}, __int128{lastI}})
        if (!fitsInt(start + j * rowStep + i * (step + j * second))) return;
  }

  const ptrdiff_t srow = static_cast<ptrdiff_t>(src->getRowSpan()) * 4;
  const ptrdiff_t drow = static_cast<ptrdiff_t>(dest->getRowSpan()) * 4;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(sbits);
  unsigned char* d = reinterpret_cast<unsigned char*>(dbits) + dstx * 4;
  ptrdiff_t sstep = srow, dstep = drow;
  if (src->isFlipped()) s += (src->getHeight() - 1) * srow, sstep = -srow;
  if (dest->isFlipped()) d += (H - 1 - dsty) * drow, dstep = -drow;
  else d += dsty * drow;
  RAST_DispatchCombiner<DeltaRun>(mode, ia, d, s, static_cast<int>(dstw), static_cast<int>(dsth), v, clip, sstep,
                                  dstep, ia, mode & RAST_BLIT_FILTER_MASK);
}

// The delta blit with its source position in double.
void deltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int64_t dstx, int64_t dsty, int64_t dstw, int64_t dsth,
               double srcx, double srcy, double srcw, double srch, const Walk& steps, bool clipToSource, float alpha,
               int mode) {
  if (!dest || !src || dstw == 0 || dsth == 0) return;
  if (!allFinite({srcx, srcy, srcw, srch})) return;
  const SourceClip clip = sourceClip(src, clipToSource, static_cast<float>(srcx), static_cast<float>(srcy),
                                     static_cast<float>(srcw), static_cast<float>(srch));
  if (dstw < 0) dstx += dstw, dstw = -dstw, srcx += srcw;
  if (dsth < 0) dsty += dsth, dsth = -dsth, srcy += srch;
  Walk k = steps;
  k.sx = srcx, k.sy = srcy;
  runDelta(dest, src, dstx, dsty, dstw, dsth, k, clip, alpha, mode);
}

}  // namespace

template <class C>
void _RAST_Template_Blit3<C>::deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int isx, int isy,
                                        int idsdx, int idtdx, int idsdy, int idtdy, int idsdxdy, int idtdxdy,
                                        int minx, int miny, int maxx, int maxy, ptrdiff_t src_span,
                                        ptrdiff_t dest_span, int ia, int filter) {
  const bool bilinear = filter == RAST_BLIT_FILTER_BILINEAR;
  int64_t rs = isx, rt = isy, ds = idsdx, dt = idtdx;
  for (int j = 0; j < h; ++j, rs += idsdy, rt += idtdy, ds += idsdxdy, dt += idtdxdy) {
    unsigned char* d = dest + j * dest_span;
    int64_t s = rs, t = rt;
    for (int i = 0; i < w; ++i, d += 4, s += ds, t += dt) {
      // truncation toward zero; a bilinear position just below 0 reads
      // pixel 0 without fraction
      const int64_t sx = s / 65536, sy = t / 65536;
      if (sx < minx || sy < miny || sx >= maxx || sy >= maxy) continue;
      const unsigned char* p = src + sy * src_span + sx * 4;
      if (!bilinear) {
        C::doPix(d, p[1], p[2], p[3], p[0], ia);
        continue;
      }
      const int fx = s < 0 ? 0 : static_cast<int>(s & 0xffff), fy = t < 0 ? 0 : static_cast<int>(t & 0xffff);
      const bool innerCol = sx < maxx - 1, innerRow = sy < maxy - 1;
      int ch[4];
      if (innerCol && innerRow) {
        const int f11 = static_cast<int>((int64_t{fx} * fy) >> 16);
        const unsigned char* q = p + src_span;
        for (int c = 0; c < 4; ++c)
          ch[c] = (p[c] * (65536 - fx - fy + f11) + p[c + 4] * (fx - f11) + q[c] * (fy - f11) + q[c + 4] * f11) / 65536;
      } else if (innerRow) {
        const unsigned char* q = p + src_span;
        for (int c = 0; c < 4; ++c) ch[c] = (q[c] * fy + p[c] * (65536 - fy)) >> 16;
      } else if (innerCol) {
        for (int c = 0; c < 4; ++c) ch[c] = (p[c + 4] * fx + p[c] * (65536 - fx)) >> 16;
      } else {
        for (int c = 0; c < 4; ++c) ch[c] = p[c];
      }
      C::doPix(d, ch[1], ch[2], ch[3], ch[0], ia);
    }
  }
}

template <class T>
void RAST_TransformBlit_class<T>::blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                                       const T* srcpoints, int div_w, int div_h, float alpha, int mode) {
  if (!dest || !src || !srcpoints || dstw < 1 || dsth < 1 || div_w < 2 || div_h < 2) return;
  const float xadv = static_cast<float>(dstw) / static_cast<float>(div_w - 1);
  const float yadv = static_cast<float>(dsth) / static_cast<float>(div_h - 1);
  auto point = [&](int64_t r, int64_t c) { return srcpoints + (r * div_w + c) * 2; };
  int64_t top = dsty;
  float ypos = static_cast<float>(dsty);
  for (int64_t r = 0; r <= div_h - 2; ++r) {
    ypos += yadv;
    const int64_t bottom = satInt(ypos), ch = bottom - top;
    if (ch == 0) continue;
    int64_t left = dstx;
    float xpos = static_cast<float>(dstx);
    for (int64_t c = 1; c <= div_w - 1; ++c) {
      xpos += xadv;
      const int64_t right = satInt(xpos), cw = right - left;
      if (cw == 0) continue;
      const T* p00 = point(r, c - 1);
      const T* p10 = point(r, c);
      const T* p01 = point(r + 1, c - 1);
      const T* p11 = point(r + 1, c);
      const double ds = double(p10[0]) - p00[0], dt = double(p10[1]) - p00[1];
      Walk k;
      k.dsdx = ds / cw, k.dtdx = dt / cw;
      k.dsdy = (double(p01[0]) - p00[0]) / ch, k.dtdy = (double(p01[1]) - p00[1]) / ch;
      k.dsdxdy = ((double(p11[0]) - p01[0]) / cw - ds / cw) / ch;
      k.dtdxdy = ((double(p11[1]) - p01[1]) / cw - dt / cw) / ch;
      deltaBlit(dest, src, left, top, cw, ch, p00[0], p00[1], ds, dt, k, false, alpha, mode);
      left = right;
    }
    top = bottom;
  }
}

template struct RAST_TransformBlit_class<float>;
template struct RAST_TransformBlit_class<double>;

void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double dsdxdy, double dtdxdy, bool clipToSource, float alpha, int mode) {
  deltaBlit(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, Walk{0, 0, dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy},
            clipToSource, alpha, mode);
}

void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSource, float alpha, int mode,
                      float rotxcent, float rotycent) {
  if (!dest || !src || dstw == 0 || dsth == 0) return;
  if (!allFinite({srcx, srcy, srcw, srch, angle, rotxcent, rotycent})) return;
  const SourceClip clip = sourceClip(src, clipToSource, srcx, srcy, srcw, srch);
  int64_t X = dstx, Y = dsty, W = dstw, H = dsth;
  const bool mirrorX = W < 0, mirrorY = H < 0;
  if (mirrorX) X += W, W = -W, srcx += srcw, srcw = -srcw;
  if (mirrorY) Y += H, H = -H, srcy += srch, srch = -srch;
  const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
  const float xs = srcw / static_cast<float>(W), ys = srch / static_cast<float>(H);
  Walk k{0, 0, xs * c, -ys * s, xs * s, ys * c, 0, 0};
  k.sx = srcx - ((H * k.dsdy + W * k.dsdx - srcw) * 0.5 - rotxcent);
  k.sy = srcy - ((H * k.dtdy + W * k.dtdx - srch) * 0.5 - rotycent);
  // A mirrored axis starts one step inside, so that it reads exactly the
  // pixels of the unmirrored blit in reverse.
  if (mirrorX) k.sx += k.dsdx, k.sy += k.dtdx;
  if (mirrorY) k.sx += k.dsdy, k.sy += k.dtdy;
  runDelta(dest, src, X, Y, W, H, k, clip, alpha, mode);
}

void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int div_w, int div_h, float alpha, int mode) {
  RAST_TransformBlit_class<float>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}

void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int div_w, int div_h, float alpha, int mode) {
  RAST_TransformBlit_class<double>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}
