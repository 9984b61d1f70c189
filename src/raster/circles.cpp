#include "raster/circles.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "raster/fills.h"
#include "raster/glyphs.h"
#include "raster/lines.h"
#include "raster/shapeutil.h"

using rast_detail::allFinite;
using rast_detail::satInt;

namespace {

const unsigned char kPlain15[16] = {
    0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0xFF, 0x00,
};
const unsigned char kAA15[16] = {
    0x4F, 0xFF, 0xFF, 0x4F,
    0xFF, 0x0F, 0x0F, 0xFF,
    0xFF, 0x0F, 0x0F, 0xFF,
    0x4F, 0xFF, 0xFF, 0x4F,
};
const unsigned char kPlain20[25] = {
    0x00, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0x00, 0x00,
};
const unsigned char kAA20[25] = {
    0x0F, 0xBF, 0xFF, 0xBF, 0x0F,
    0xBF, 0xD1, 0x4F, 0xD1, 0xBF,
    0xFF, 0x4F, 0x00, 0x4F, 0xFF,
    0xBF, 0xD1, 0x4F, 0xD1, 0xBF,
    0x0F, 0xBF, 0xFF, 0xBF, 0x0F,
};
const unsigned char kPlain25[36] = {
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
};
const unsigned char kAA25[36] = {
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F,
    0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F,
};
const unsigned char kPlain30[49] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const unsigned char kAA30[49] = {
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00,
    0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
    0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF,
    0xFF, 0x30, 0x00, 0x00, 0x00, 0x30, 0xFF,
    0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF,
    0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00,
};
const unsigned char kPlain35[64] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const unsigned char kAA35[64] = {
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00,
};
const unsigned char kPlain40[81] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const unsigned char kAA40[81] = {
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00,
    0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0, 0x1F,
    0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0,
    0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF,
    0xFF, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF,
    0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF,
    0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0,
    0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0, 0x1F,
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00,
};

// Centres and radii beyond this draw nothing, so that every coordinate a
// circle computes stays far inside the int range and its loops stay short.
constexpr int kMaxCoord = 1 << 24;
constexpr double kTwoPi = 6.2831854820251465;
constexpr double kHalfPi = 1.5707963705062866;

bool inRange(int64_t v) { return v >= -kMaxCoord && v <= kMaxCoord; }

// The pixel writers of one combiner over one bitmap.
template <class C>
struct Plot {
  RAST_pixel* bits;
  ptrdiff_t span;
  const int* clip;
  bool doclip;
  rast_detail::Channels c;

  Plot(RAST_IBitmap* dest, const int* clip_, bool doclip_, int r, int g, int b, int a)
      : bits(dest->getBits()), span(dest->getRowSpan()), clip(clip_), doclip(doclip_), c(RAST_RGBA(r, g, b, a)) {}
  Plot(RAST_IBitmap* dest, const int* clip_, bool doclip_, RAST_pixel color)
      : bits(dest->getBits()), span(dest->getRowSpan()), clip(clip_), doclip(doclip_), c(color) {}

  void put(int64_t x, int64_t y, int w) const {
    C::doPix(reinterpret_cast<unsigned char*>(bits + y * span + x), c.r, c.g, c.b, c.a, w);
  }
  void pt(int x, int y, int w) const {
    if (doclip && (x < clip[0] || x >= clip[2] || y < clip[1] || y >= clip[3])) return;
    put(x, y, w);
  }
  void vline(int x, int y1, int y2, int w) const {
    if (doclip) {
      if (x < clip[0] || x >= clip[2]) return;
      y1 = std::max(y1, clip[1]);
      y2 = std::min(y2, clip[3] - 1);
    }
    for (int y = y1; y <= y2; ++y) put(x, y, w);
  }
  void hline(int y, int x1, int x2, int w) const {
    if (doclip) {
      if (y < clip[1] || y >= clip[3]) return;
      x1 = std::max(x1, clip[0]);
      x2 = std::min(x2, clip[2] - 1);
    }
    unsigned char* d = reinterpret_cast<unsigned char*>(bits + y * span + x1);
    for (int x = x1; x <= x2; ++x, d += 4) C::doPix(d, c.r, c.g, c.b, c.a, w);
  }
};

// The smallest y >= 0 with y (y + 1) >= t.
int64_t smallestRoot(int64_t t) {
  if (t <= 0) return 0;
  int64_t y = static_cast<int64_t>((std::sqrt(4.0 * static_cast<double>(t) + 1) - 1) / 2);
  while (y * (y + 1) < t) ++y;
  while (y > 0 && (y - 1) * y >= t) --y;
  return y;
}

// The first x in [lo, hi] where pred, true up to some x and false after,
// is false (hi when it never is before).
template <class Pred>
int64_t firstFalse(int64_t lo, int64_t hi, Pred&& pred) {
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (pred(mid)) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

// Calls fn(x) for every x in [lo, hi] whose step can reach the clip
// rectangle: every pixel of step x lies in column X +- x or row Y +- x.
template <class Fn>
void forVisibleSteps(int64_t lo, int64_t hi, int64_t X, int64_t Y, const int* clip, Fn&& fn) {
  struct Range {
    int64_t a, b;
  };
  Range rs[4] = {{X - clip[2] + 1, X - clip[0]}, {clip[0] - X, clip[2] - 1 - X},
                 {Y - clip[3] + 1, Y - clip[1]}, {clip[1] - Y, clip[3] - 1 - Y}};
  for (Range& r : rs) r.a = std::max(r.a, lo), r.b = std::min(r.b, hi);
  std::sort(std::begin(rs), std::end(rs), [](const Range& p, const Range& q) { return p.a < q.a; });
  int64_t next = lo;  // the first x not yet visited
  for (const Range& r : rs)
    for (int64_t x = std::max(r.a, next); x <= r.b; ++x, next = x) fn(x);
}

template <class C>
struct PlainCircle {
  static void run(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip, RAST_pixel color, int ia,
                  bool filled, bool doclip) {
    _RAST_CircleDrawer<C>::DrawClippedCircle(dest, cx, cy, r, clip, color, ia, filled, doclip);
  }
};
template <class C>
struct AACircle {
  static void run(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip, RAST_pixel color, int ia,
                  bool filled, bool doclip) {
    _RAST_CircleDrawer<C>::DrawClippedCircleAA(dest, cx, cy, r, clip, color, ia, filled, doclip);
  }
};

// Steps 2-4 of the circle entries: orientation, weight, clipping.
void circle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, float alpha, int mode, bool aa,
            bool filled) {
  const int w = dest->getWidth(), h = dest->getHeight();
  if (dest->isFlipped()) cy = static_cast<float>(h - 1) - cy;
  const int ia = RAST_WeightFromAlpha(alpha);
  if (ia == 0 || r < 0 || w <= 0 || h <= 0) return;
  const int clip[4] = {0, 0, w, h};
  bool doclip = cx - r - 2 < 0 || cy - r - 2 < 0 || cx + r + 2 >= w || cy + r + 2 >= h;
  // the same in double, where float rounding of large values could hide an edge
  doclip = doclip || double(cx) - r - 3 < 0 || double(cy) - r - 3 < 0 || double(cx) + r + 3 >= w ||
           double(cy) + r + 3 >= h;
  __DrawCircleClipped(dest, cx, cy, r, color, ia, aa, filled, mode, clip, doclip);
}

}  // namespace

const RAST_CircleMask RAST_CircleMasks[6] = {
    {1.5f, 4, kPlain15, kAA15}, {2.0f, 5, kPlain20, kAA20}, {2.5f, 6, kPlain25, kAA25},
    {3.0f, 7, kPlain30, kAA30}, {3.5f, 8, kPlain35, kAA35}, {4.0f, 9, kPlain40, kAA40},
};

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedPt(RAST_IBitmap* dest, int x, int y, const int* clip, int r, int g, int b,
                                          int a, int ia, bool doclip) {
  if (dest && dest->getBits()) Plot<C>(dest, clip, doclip, r, g, b, a).pt(x, y, ia);
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedVertLine(RAST_IBitmap* dest, int x, int y1, int y2, const int* clip, int r,
                                                int g, int b, int a, int ia, bool doclip) {
  if (dest && dest->getBits()) Plot<C>(dest, clip, doclip, r, g, b, a).vline(x, y1, y2, ia);
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedHorzLine(RAST_IBitmap* dest, int y, int x1, int x2, const int* clip, int r,
                                                int g, int b, int a, int ia, bool doclip) {
  if (dest && dest->getBits()) Plot<C>(dest, clip, doclip, r, g, b, a).hline(y, x1, x2, ia);
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedCircle(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip,
                                              RAST_pixel color, int ia, bool filled, bool doclip) {
  if (!dest || !dest->getBits()) return;
  const int X = satInt(cx + 0.5), Y = satInt(cy + 0.5), R = satInt(r + 0.5);
  if (!inRange(X) || !inRange(Y) || !inRange(R)) return;
  const Plot<C> p(dest, clip, doclip, color);
  if (filled) {
    p.vline(X, Y - R, Y - 1, ia);
    p.vline(X, Y + 1, Y + R, ia);
    p.hline(Y, X - R, X + R, ia);
  } else {
    p.pt(X, Y - R, ia);
    p.pt(X + R, Y, ia);
    p.pt(X, Y + R, ia);
    p.pt(X - R, Y, ia);
  }
  if (R < 2) return;
  // One step of the octant: column x and row y, mirrored eight ways.
  auto step = [&](int x, int y) {
    if (filled) {
      for (int col : {X - x, X + x}) {
        p.vline(col, Y - y, Y - x - 1, ia);
        p.vline(col, Y + x + 1, Y + y, ia);
      }
      for (int row : {Y - x, Y + x}) {
        p.hline(row, X - y, X - x, ia);
        p.hline(row, X + x, X + y, ia);
      }
      return;
    }
    p.pt(X - x, Y - y, ia);
    p.pt(X - x, Y + y, ia);
    p.pt(X + x, Y - y, ia);
    p.pt(X + x, Y + y, ia);
    if (x != y) {
      p.pt(X - y, Y - x, ia);
      p.pt(X - y, Y + x, ia);
      p.pt(X + y, Y - x, ia);
      p.pt(X + y, Y + x, ia);
    }
  };
  if (!doclip) {
    int x = 0, y = R, e = -R, k = 3;
    do {
      if (e >= 0) e -= 2 * (y - 1), --y;
      const int xn = x + 1;
      step(xn, y);
      e += k, k += 2, x = xn;
    } while (x + 1 < y);
    return;
  }
  // Clipped: only the steps that reach the clip rectangle, with the row of
  // step x in closed form (the midpoint stepping gives the smallest y with
  // y (y + 1) >= R^2 + 1 - x^2 while the octant lasts).
  const int64_t R2 = int64_t{R} * R;
  auto rowAt = [R2](int64_t x) { return smallestRoot(R2 + 1 - x * x); };
  const int64_t last = firstFalse(1, R, [&](int64_t x) { return x + 1 < rowAt(x); });
  forVisibleSteps(1, last, X, Y, clip, [&](int64_t x) { step(static_cast<int>(x), static_cast<int>(rowAt(x))); });
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedCircleAA(RAST_IBitmap* dest, float cx, float cy, float r, const int* clip,
                                                RAST_pixel color, int ia, bool filled, bool doclip) {
  if (!dest || !dest->getBits()) return;
  const int X = satInt(cx + 0.5), Y = satInt(cy + 0.5), Ri = satInt(static_cast<double>(r));
  if (!inRange(X) || !inRange(Y) || !inRange(Ri)) return;
  const int w0 = satInt((static_cast<double>(r) - std::floor(static_cast<double>(r))) * ia);
  const Plot<C> p(dest, clip, doclip, color);
  p.pt(X, Y - Ri - 1, w0);
  p.pt(X, Y + Ri + 1, w0);
  p.pt(X - Ri - 1, Y, w0);
  p.pt(X + Ri + 1, Y, w0);
  if (filled) {
    p.vline(X, Y - Ri, Y - 1, ia);
    p.vline(X, Y + 1, Y + Ri, ia);
    p.hline(Y, X - Ri, X + Ri, ia);
  } else {
    const int wi = satInt(int64_t{ia} - w0);
    p.pt(X, Y - Ri, wi);
    p.pt(X + Ri, Y, wi);
    p.pt(X, Y + Ri, wi);
    p.pt(X - Ri, Y, wi);
  }
  // The distance of the edge from the centre row at column x, and its
  // rounding; a negative radicand ends the circle.
  const double r2 = static_cast<double>(r * r);
  auto radicand = [r2](int64_t x) { return r2 - static_cast<double>(x) * static_cast<double>(x); };
  auto rounded = [&](int64_t x) { return satInt(std::sqrt(radicand(x)) + 0.5); };
  if (radicand(1) < 0 || rounded(1) <= 0) return;
  // One column: x, the edge distance d there and its rounding n.
  auto column = [&](int x, double d, int n) {
    const int yi = satInt(d);
    const int w = satInt((d - std::floor(d)) * ia);
    p.pt(X - x, Y - yi - 1, w);
    p.pt(X - x, Y + yi + 1, w);
    p.pt(X + x, Y - yi - 1, w);
    p.pt(X + x, Y + yi + 1, w);
    if (x != n) {
      p.pt(X - yi - 1, Y - x, w);
      p.pt(X + yi + 1, Y - x, w);
      p.pt(X - yi - 1, Y + x, w);
      p.pt(X + yi + 1, Y + x, w);
    }
    if (filled) {
      for (int col : {X - x, X + x}) {
        p.vline(col, Y - yi, Y - x - 1, ia);
        p.vline(col, Y + x + 1, Y + yi, ia);
      }
      for (int row : {Y - x, Y + x}) {
        p.hline(row, X - yi, X - x, ia);
        p.hline(row, X + x, X + yi, ia);
      }
      return;
    }
    const int wi = satInt(int64_t{ia} - w);
    p.pt(X - yi, Y - x, wi);
    p.pt(X + yi, Y - x, wi);
    p.pt(X - x, Y + yi, wi);
    p.pt(X + x, Y + yi, wi);
    if (x != n) {
      p.pt(X - x, Y - yi, wi);
      p.pt(X + x, Y - yi, wi);
      p.pt(X - yi, Y + x, wi);
      p.pt(X + yi, Y + x, wi);
    }
  };
  // Column x + 1 follows while x is below its rounded distance.
  auto more = [&](int64_t x) { return radicand(x + 1) >= 0 && x < rounded(x + 1); };
  if (!doclip) {
    double d = std::sqrt(radicand(1));
    int n = rounded(1);
    for (int x = 1;; ++x) {
      column(x, d, n);
      if (!more(x)) return;
      d = std::sqrt(radicand(x + 1));
      n = rounded(x + 1);
    }
  }
  const int64_t last = firstFalse(1, int64_t{Ri} + 2, more);
  forVisibleSteps(1, last, X, Y, clip, [&](int64_t x) {
    column(static_cast<int>(x), std::sqrt(radicand(x)), rounded(x));
  });
}

#define RAST_CIRCLE_INSTANCES(C) template struct _RAST_CircleDrawer<C>;
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsCopyNoClamp)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsAdd)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsColorDodge)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsMulNoClamp)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsOverlay)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsHSVAdjust)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsClobberNoClamp)
RAST_CIRCLE_INSTANCES(_RAST_CombinePixelsHalfMixNoClamp)

void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, int ia, bool aa,
                         bool filled, int mode, const int* clip, bool doclip) {
  if (!dest || !clip) return;
  if (aa) RAST_DispatchShape<AACircle, false>(mode, ia, dest, cx, cy, r, clip, color, ia, filled, doclip);
  else RAST_DispatchShape<PlainCircle, true>(mode, ia, dest, cx, cy, r, clip, color, ia, filled, doclip);
}

void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, float alpha, int mode, bool aa) {
  if (!dest || !allFinite({cx, cy, r})) return;
  for (const RAST_CircleMask& m : RAST_CircleMasks) {
    if (r != m.r) continue;
    RAST_DrawGlyph(dest, satInt(cx - r), satInt(cy - r), color, aa ? m.aa : m.plain, m.size, m.size, alpha, mode);
    return;
  }
  circle(dest, cx, cy, r, color, alpha, mode, aa, false);
}

void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_pixel color, float alpha, int mode,
                     bool aa) {
  if (!dest || !allFinite({cx, cy, r})) return;
  circle(dest, cx, cy, r, color, alpha, mode, aa, true);
}

void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, RAST_pixel color,
              float alpha, int mode, bool aa) {
  if (!dest || !allFinite({cx, cy, r, minAngle, maxAngle})) return;
  const float callerCy = cy;
  const int w = dest->getWidth(), h = dest->getHeight();
  if (dest->isFlipped()) {
    cy = static_cast<float>(h - 1) - cy;
    minAngle = 3.1415927f - minAngle;
    maxAngle = 3.1415927f - maxAngle;
  }
  float amin = std::min(minAngle, maxAngle), amax = std::max(minAngle, maxAngle);
  if (amax - amin >= 6.2831855f) {
    RAST_Circle(dest, cx, callerCy, r, color, alpha, mode, aa);
    return;
  }
  if (amax >= kTwoPi) {
    const double m = std::fmod(static_cast<double>(amax), kTwoPi);
    amin = static_cast<float>(amin - (amax - m));
    amax = static_cast<float>(m);
  } else if (amin <= -kTwoPi) {
    const double m = std::fmod(static_cast<double>(amin), kTwoPi);
    amax = static_cast<float>(amax - (amin - m));
    amin = static_cast<float>(m);
  }
  const int ia = RAST_WeightFromAlpha(alpha);
  if (ia == 0) return;
  const double a0 = amin + kTwoPi, a1 = amax + kTwoPi;
  if (!(a1 > a0)) return;
  auto xAt = [&](double a) { return satInt(std::sin(a) * r + cx + 0.5); };
  auto yAt = [&](double a) { return satInt(cy - std::cos(a) * r + 0.5); };
  int px = xAt(a0), py = yAt(a0);
  if (!inRange(px) || !inRange(py) || !inRange(satInt(static_cast<double>(r)))) return;
  double q = a0 - std::fmod(a0, kHalfPi), a;
  do {
    q += kHalfPi;
    a = std::min(q, a1);
    const int ex = xAt(a), ey = yAt(a);
    const int right = std::max(px, ex), bottom = std::max(py, ey);
    const int clip[4] = {std::max(0, std::min(px, ex)), std::max(0, std::min(py, ey)),
                         std::min(w, static_cast<float>(right) == cx ? right : right + 1),
                         std::min(h, static_cast<float>(bottom) == cy ? bottom : bottom + 1)};
    __DrawCircleClipped(dest, cx, cy, r, color, ia, aa, false, mode, clip, true);
    px = ex, py = ey;
  } while (a < a1);
}

void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int cornerradius, RAST_pixel color,
                    float alpha, int mode, bool aa) {
  if (!dest || !allFinite({x, y, w, h})) return;
  for (double v : {double(x), double(y), double(x) + w, double(y) + h})
    if (std::fabs(v) > kMaxCoord) return;
  const int X0 = satInt(x), Y0 = satInt(y);
  if (cornerradius > 0) {
    float c = static_cast<float>(cornerradius);
    if (c > w * 0.5f) c = w * 0.5f;
    if (c > h * 0.5f) c = h * 0.5f;
    c = std::floor(c);
    if (c >= 2) {
      const int right = satInt(x + w), bottom = satInt(y + h);
      RAST_Line(dest, satInt(x + c), Y0, satInt(x + w - c), Y0, color, alpha, mode, aa);
      RAST_Line(dest, satInt(x + c - 1), bottom, satInt(x + w - c), bottom, color, alpha, mode, aa);
      RAST_Line(dest, right, satInt(y + c), right, satInt(y + h - c), color, alpha, mode, aa);
      RAST_Line(dest, X0, satInt(y + c - 1), X0, satInt(y + h - c), color, alpha, mode, aa);
      RAST_Arc(dest, x + c, y + c, c, -1.5707964f, 0.0f, color, alpha, mode, aa);
      RAST_Arc(dest, x + w - c, y + c, c, 0.0f, 1.5707964f, color, alpha, mode, aa);
      RAST_Arc(dest, x + w - c, y + h - c, c, 1.5707964f, 3.1415927f, color, alpha, mode, aa);
      RAST_Arc(dest, x + c, y + h - c, c, 3.1415927f, 4.712389f, color, alpha, mode, aa);
      return;
    }
  }
  RAST_DrawRect(dest, X0, Y0, satInt(w), satInt(h), color, alpha, mode);
}
