#include "raster/fills.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "raster/fillimpl.h"
#include "raster/lines.h"
#include "raster/rectops.h"
#include "raster/rows.h"
#include "raster/shapeutil.h"

using rast_detail::max64;
using rast_detail::min64;

namespace {

// Steps are limited to 2^29 per row in 16.16.
constexpr double kMaxStep = 536870912.0;

// Walks the rows of a clipped trapezoid and hands each non-empty run of
// pixels to op(first pixel, count).
template <class Op>
void walkRows(int width, int span, RAST_pixel* row, int rows, int64_t xl, int64_t xr, int dl, int dr, int fl, int fr,
              int sl, int sr, Op&& op) {
  const ptrdiff_t step = span;
  if (dl == 0 && dr == 0) {
    for (int y = 0; y < rows; ++y) op(row + y * step, xr);
    return;
  }
  for (int y = 0; y < rows; ++y, row += step) {
    const int64_t x0 = max64(xl, 0), x1 = min64(xr, width);
    if (x1 > x0) op(row + x0, x1 - x0);
    fl += dl;
    if (fl >= 65536) xl += int64_t{sl} * (fl >> 16), fl &= 0xffff;
    fr += dr;
    if (fr >= 65536) xr += int64_t{sr} * (fr >> 16), fr &= 0xffff;
  }
}

template <class C>
struct FillRun {
  static void run(int width, int span, RAST_pixel* row, int rows, int64_t xl, int64_t xr, int dl, int dr, int fl,
                  int fr, int sl, int sr, RAST_pixel color, int ia) {
    const rast_detail::Channels c(color);
    _RAST_Fill<C>::FillClippedTrapezoid(width, span, row, rows, xl, xr, dl, dr, fl, fr, sl, sr, c.r, c.g, c.b, c.a,
                                        ia);
  }
};

struct Vertex {
  int64_t x, y;
};

// Ascending y, ties by ascending x.
int _ysort(const void* a, const void* b) {
  const Vertex& p = *static_cast<const Vertex*>(a);
  const Vertex& q = *static_cast<const Vertex*>(b);
  if (p.y != q.y) return p.y < q.y ? -1 : 1;
  if (p.x != q.x) return p.x < q.x ? -1 : 1;
  return 0;
}

// The next vertex of a chain below vidx: the steepest outward one (dir < 0
// the left chain, > 0 the right), collinear ones passed over to the
// farthest; vidx itself when no later vertex lies on another row.
int FindNextEdgeVertex(const Vertex* va, int vidx, int nv, int dir) {
  if (vidx + 1 >= nv) return vidx;
  const Vertex& base = va[vidx];
  int best = vidx;
  float bestSlope = 0;
  for (int i = vidx + 1; i < nv; ++i) {
    if (va[i].y == base.y) continue;
    const float slope = static_cast<float>(va[i].x - base.x) / static_cast<float>(va[i].y - base.y);
    if (best == vidx || slope == bestSlope || (dir < 0 && slope < bestSlope) || (dir > 0 && slope > bestSlope)) {
      best = i;
      bestSlope = slope;
    }
  }
  return best;
}

// The x of the edge p-q at row t.
int64_t edgeX(const Vertex& p, const Vertex& q, int64_t t) {
  const Vertex& s = p.y <= q.y ? p : q;
  const Vertex& e = p.y <= q.y ? q : p;
  if (t <= s.y) return s.x;
  if (t >= e.y) return e.x;
  const float ratio = static_cast<float>(e.x - s.x) / static_cast<float>(e.y - s.y);
  const float off = static_cast<float>(t - s.y) * ratio;
  // the true offset lies between 0 and e.x - s.x
  return s.x + rast_detail::satInt64(std::clamp(off, -1.0e12f, 1.0e12f));
}

template <class T>
void polygon(RAST_IBitmap* dest, const T* x, const T* y, int npoints, RAST_pixel color, float alpha, int mode) {
  if (!dest || !x || !y || npoints < 3) return;
  const int ia = RAST_WeightFromAlpha(alpha);
  const int low = mode & RAST_BLIT_MODE_MASK;
  if (ia == 0 || low > 5 || (low == 0 && ia < 0)) return;
  const int64_t h = dest->getHeight();
  Vertex stackBuf[512];
  std::unique_ptr<Vertex[]> heapBuf;
  Vertex* v = stackBuf;
  if (npoints > 512) {
    heapBuf.reset(new (std::nothrow) Vertex[static_cast<size_t>(npoints)]);
    if (!heapBuf) return;
    v = heapBuf.get();
  }
  const bool flipped = dest->isFlipped();
  int64_t minx = x[0], maxx = x[0];
  for (int i = 0; i < npoints; ++i) {
    v[i].x = x[i];
    v[i].y = flipped ? (h - 1) - int64_t{y[i]} : int64_t{y[i]};
    minx = min64(minx, v[i].x);
    maxx = max64(maxx, v[i].x);
  }
  std::qsort(v, static_cast<size_t>(npoints), sizeof(Vertex), _ysort);
  const int n = npoints;
  int64_t row = v[0].y;
  if (row == v[n - 1].y) {
    if (row >= 0 && row < h && minx <= maxx) rast_detail::fillTrapezoid(dest, minx, maxx, row, minx, maxx, row, color, alpha, mode);
    return;
  }
  int a = 0, b = 0;
  for (int i = 0; i < n && v[i].y == row; ++i) {
    b = i;
    if (v[i].x == v[0].x) a = i;
  }
  int la = FindNextEdgeVertex(v, a, n, -1), rb = FindNextEdgeVertex(v, b, n, +1);
  // Chain indices only grow, so the walk ends; the bound keeps that plain.
  for (int64_t guard = 2 * int64_t{n} + 4; (a != la || b != rb) && guard > 0; --guard) {
    const int64_t ye = min64(v[la].y, v[rb].y);
    rast_detail::fillTrapezoid(dest, edgeX(v[a], v[la], row), edgeX(v[b], v[rb], row), row, edgeX(v[a], v[la], ye),
                               edgeX(v[b], v[rb], ye), ye, color, alpha, mode);
    if (v[la].y == ye) {
      a = la;
      la = FindNextEdgeVertex(v, a, n, -1);
    }
    if (v[rb].y == ye) {
      b = rb;
      rb = FindNextEdgeVertex(v, b, n, +1);
    }
    row = ye + 1;
  }
}

}  // namespace

namespace rast_detail {

void fillTrapezoid(RAST_IBitmap* dest, int64_t x1a, int64_t x1b, int64_t y1, int64_t x2a, int64_t x2b, int64_t y2,
                   RAST_pixel color, float alpha, int mode) {
  if (!dest) return;
  RAST_pixel* bits = dest->getBits();
  const int w = dest->getWidth(), h = dest->getHeight(), span = dest->getRowSpan();
  if (!bits || w < 1 || h < 1 || span < w) return;
  if (y2 < y1) {
    std::swap(y1, y2);
    std::swap(x1a, x2a);
    std::swap(x1b, x2b);
  }
  const int64_t TL = min64(x1a, x1b), TR = max64(x1a, x1b), BL = min64(x2a, x2b), BR = max64(x2a, x2b);
  int64_t ytop = y1;
  const int64_t ybot = y2;
  if ((TR < 0 && BR < 0) || (TL >= w && BL >= w) || ybot < 0 || ytop >= h) return;
  const bool lvert = TL <= 0 && BL <= 0, rvert = TR >= w - 1 && BR >= w - 1;
  int64_t xl = lvert ? 0 : TL, xr = rvert ? w - 1 : TR;
  const double k = ybot == ytop ? 0.0 : 65536.0 / static_cast<double>(ybot - ytop);
  auto stepOf = [k](bool vert, int64_t top, int64_t bottom) {
    if (vert) return 0;
    return static_cast<int>(std::clamp(static_cast<double>(bottom - top) * k, -kMaxStep, kMaxStep));
  };
  const int ls = stepOf(lvert, TL, BL), rs = stepOf(rvert, TR, BR);
  const int dl = std::abs(ls), dr = std::abs(rs), sl = ls < 0 ? -1 : 1, sr = rs < 0 ? -1 : 1;
  int fl = 0, fr = 0;
  if (ytop < 0) {
    const int64_t pl = int64_t{dl} * -ytop, pr = int64_t{dr} * -ytop;
    xl += sl * (pl / 65536), fl = static_cast<int>(pl % 65536);
    xr += sr * (pr / 65536), fr = static_cast<int>(pr % 65536);
    ytop = 0;
  }
  const int rows = static_cast<int>(min64(ybot, h - 1) - ytop + 1);
  RAST_pixel* row = bits + static_cast<ptrdiff_t>(ytop) * span;
  const int rowStep = span;
  int64_t right = xr + 1;
  if (dl == 0 && dr == 0) {
    const int64_t xs = max64(0, xl), xe = min64(w, xr + 1);
    if (xe <= xs) return;
    row += xs;
    right = xe - xs;
  }
  const int ia = RAST_WeightFromAlpha(alpha);
  if ((mode & RAST_BLIT_MODE_MASK) == 0) {
    switch (ia) {
      case 256:
        return _RAST_FillFast<_RAST_CombinePixelsClobberFAST>::FillClippedTrapezoidFAST(w, rowStep, row, rows, xl, right,
                                                                                        dl, dr, fl, fr, sl, sr, color);
      case 128:
        return _RAST_FillFast<_RAST_CombinePixelsHalfMix2FAST>::FillClippedTrapezoidFAST(
            w, rowStep, row, rows, xl, right, dl, dr, fl, fr, sl, sr, color);
      case 64:
        return _RAST_FillFast<_RAST_CombinePixelsQuarterMix2FAST>::FillClippedTrapezoidFAST(
            w, rowStep, row, rows, xl, right, dl, dr, fl, fr, sl, sr, color);
      case 192:
        return _RAST_FillFast<_RAST_CombinePixelsThreeQuarterMix2FAST>::FillClippedTrapezoidFAST(
            w, rowStep, row, rows, xl, right, dl, dr, fl, fr, sl, sr, color);
      default: break;
    }
  }
  RAST_DispatchShape<FillRun, false>(mode, ia, w, rowStep, row, rows, xl, right, dl, dr, fl, fr, sl, sr, color, ia);
}

void fillPolygon(RAST_IBitmap* dest, const int64_t* x, const int64_t* y, int npoints, RAST_pixel color, float alpha,
                 int mode) {
  polygon(dest, x, y, npoints, color, alpha, mode);
}

}  // namespace rast_detail

template <class C>
void _RAST_Fill<C>::FillClippedTrapezoid(int width, int span, RAST_pixel* row, int rows, int64_t xl, int64_t xr,
                                         int dl, int dr, int fl, int fr, int sl, int sr, int r, int g, int b, int a,
                                         int ia) {
  walkRows(width, span, row, rows, xl, xr, dl, dr, fl, fr, sl, sr, [&](RAST_pixel* p, int64_t n) {
    unsigned char* d = reinterpret_cast<unsigned char*>(p);
    for (int64_t i = 0; i < n; ++i, d += 4) C::doPix(d, r, g, b, a, ia);
  });
}

template <class C>
void _RAST_FillFast<C>::FillClippedTrapezoidFAST(int width, int span, RAST_pixel* row, int rows, int64_t xl,
                                                 int64_t xr, int dl, int dr, int fl, int fr, int sl, int sr,
                                                 RAST_pixel c) {
  if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberFAST>) {
    // Whole adjacent rows: one run.
    if (dl == 0 && dr == 0 && xr == span) return rast_detail::fillRow(row, xr * rows, c);
  }
  walkRows(width, span, row, rows, xl, xr, dl, dr, fl, fr, sl, sr, [&](RAST_pixel* p, int64_t n) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberFAST>) {
      rast_detail::fillRow(p, n, c);
    } else {
      for (int64_t i = 0; i < n; ++i) p[i] = C::mix(p[i], c);
    }
  });
}

template struct _RAST_Fill<_RAST_CombinePixelsClobberNoClamp>;
template struct _RAST_Fill<_RAST_CombinePixelsHalfMixNoClamp>;
template struct _RAST_Fill<_RAST_CombinePixelsCopyNoClamp>;
template struct _RAST_Fill<_RAST_CombinePixelsAdd>;
template struct _RAST_Fill<_RAST_CombinePixelsColorDodge>;
template struct _RAST_Fill<_RAST_CombinePixelsMulNoClamp>;
template struct _RAST_Fill<_RAST_CombinePixelsOverlay>;
template struct _RAST_Fill<_RAST_CombinePixelsHSVAdjust>;
template struct _RAST_FillFast<_RAST_CombinePixelsClobberFAST>;
template struct _RAST_FillFast<_RAST_CombinePixelsHalfMix2FAST>;
template struct _RAST_FillFast<_RAST_CombinePixelsQuarterMix2FAST>;
template struct _RAST_FillFast<_RAST_CombinePixelsThreeQuarterMix2FAST>;

void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2, RAST_pixel color,
                        float alpha, int mode) {
  if (!dest) return;
  int64_t Y1 = y1, Y2 = y2;
  if (dest->isFlipped()) {
    const int64_t last = int64_t{dest->getHeight()} - 1;
    Y1 = last - Y1, Y2 = last - Y2;
  }
  rast_detail::fillTrapezoid(dest, x1a, x1b, Y1, x2a, x2b, Y2, color, alpha, mode);
}

void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int npoints, RAST_pixel color,
                            float alpha, int mode) {
  polygon(dest, x, y, npoints, color, alpha, mode);
}

void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, RAST_pixel color,
                       float alpha, int mode) {
  const int xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
  polygon(dest, xs, ys, 3, color, alpha, mode);
}

void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_pixel color, float alpha, int mode) {
  using rast_detail::satInt;
  const int x2 = satInt(int64_t{x} + w), y2 = satInt(int64_t{y} + h);
  RAST_Line(dest, x, y, x2, y, color, alpha, mode, false);
  RAST_Line(dest, x2, y, x2, y2, color, alpha, mode, false);
  RAST_Line(dest, x2, y2, x, y2, color, alpha, mode, false);
  RAST_Line(dest, x, y2, x, y, color, alpha, mode, false);
}

void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_pixel bgcolor, RAST_pixel fgcolor,
                       float alpha, int mode) {
  using rast_detail::satInt;
  RAST_FillRect(dest, satInt(int64_t{x} + 1), satInt(int64_t{y} + 1), satInt(int64_t{w} - 1), satInt(int64_t{h} - 1),
                bgcolor, alpha, mode);
  RAST_DrawRect(dest, x, y, w, h, fgcolor, alpha, mode);
}
