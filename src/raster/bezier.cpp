#include "raster/bezier.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "raster/fillimpl.h"
#include "raster/glyphs.h"
#include "raster/lines.h"
#include "raster/shapeutil.h"

using rast_detail::allFinite;
using rast_detail::satInt;

namespace {

constexpr int kMaxSegments = 65536;

// The segment count of a curve: truncated, at least 1, at most 65,536, and
// 0 (nothing to draw) when it is not finite.
int segmentCount(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= kMaxSegments) return kMaxSegments;
  return v < 1 ? 1 : static_cast<int>(v);
}

// The length of a control-polygon leg: single-precision squares, summed,
// then a double square root.
double leg(float dx, float dy) { return std::sqrt(static_cast<double>(dx * dx + dy * dy)); }

// A cubic in power form with its range trimmed to the bitmap's columns.
struct Cubic {
  double ax, bx, cx, dx, ay, by, cy, dy;
  float xlo, xhi, ylo, yhi;
  double tlo, thi;
  double X(double t) const { return ax * t * t * t + bx * t * t + cx * t + dx; }
  double Y(double t) const { return ay * t * t * t + by * t * t + cy * t + dy; }
};

// Sets up the curve (reversed so that it runs toward larger x, or larger y
// without xbasis) and returns its segment count, 0 for nothing to draw.
int CBezPrep(RAST_IBitmap* dest, float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3,
             float tol, bool xbasis, Cubic& c) {
  if (!dest || !allFinite({x0, y0, x1, y1, x2, y2, x3, y3, tol})) return 0;
  if (tol <= 0) tol = 1;
  const int w = dest->getWidth();
  if (xbasis ? x0 > x3 : y0 > y3) {
    std::swap(x0, x3), std::swap(y0, y3);
    std::swap(x1, x2), std::swap(y1, y2);
  }
  c.cx = 3 * (double(x1) - x0), c.bx = 3 * (double(x2) - x1) - c.cx, c.ax = (double(x3) - x0) - c.cx - c.bx;
  c.cy = 3 * (double(y1) - y0), c.by = 3 * (double(y2) - y1) - c.cy, c.ay = (double(y3) - y0) - c.cy - c.by;
  c.dx = x0, c.dy = y0;
  c.xlo = x0, c.xhi = x3, c.ylo = y0, c.yhi = y3, c.tlo = 0, c.thi = 1;
  if (c.xlo < 0) {
    c.xlo = 0;
    c.ylo = RAST_CBezier_GetY(x0, x1, x2, x3, y0, y1, y2, y3, 0, nullptr, nullptr, nullptr, &c.tlo);
  }
  if (static_cast<float>(w) < c.xhi) {
    c.xhi = static_cast<float>(w);
    c.yhi = RAST_CBezier_GetY(x0, x1, x2, x3, y0, y1, y2, y3, c.xhi, nullptr, nullptr, &c.thi, nullptr);
  }
  if (xbasis ? c.xlo > c.xhi : c.ylo > c.yhi) return 0;
  return segmentCount((c.thi - c.tlo) * (leg(x3 - x2, y3 - y2) + leg(x2 - x1, y2 - y1) + leg(x1 - x0, y1 - y0)) / tol);
}

void polygon4(RAST_IBitmap* dest, int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t xc, int64_t yc, int64_t xd,
              int64_t yd, RAST_pixel color, float alpha, int mode) {
  const int64_t xs[4] = {xa, xb, xc, xd}, ys[4] = {ya, yb, yc, yd};
  rast_detail::fillPolygon(dest, xs, ys, 4, color, alpha, mode);
}

void triangle(RAST_IBitmap* dest, int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t xc, int64_t yc,
              RAST_pixel color, float alpha, int mode) {
  const int64_t xs[3] = {xa, xb, xc}, ys[3] = {ya, yb, yc};
  rast_detail::fillPolygon(dest, xs, ys, 3, color, alpha, mode);
}

// One column-wise piece between the curve from (x1, y1) to (x2, y2) and row
// yfill.
void DoBezierFillSegment(RAST_IBitmap* dest, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t yfill,
                         RAST_pixel color, float alpha, int mode) {
  if (x2 < x1) return;
  if (x2 == x1) {
    int64_t m = rast_detail::max64(y2, yfill);
    if (m != yfill) --m;
    RAST_Line(dest, satInt(x1), satInt(rast_detail::min64(y1, yfill)), satInt(x1), satInt(m), color, alpha, mode,
              false);
    return;
  }
  const int64_t yf1 = y1 < yfill ? yfill + 1 : yfill;
  if ((y1 < yfill) == (y2 < yfill)) {
    polygon4(dest, x1, y1, x1, yf1, x2, y2, x2, yf1, color, alpha, mode);
    return;
  }
  const int64_t xc = x1 + rast_detail::satInt64(double(x2 - x1) * double(yfill - y1) / double(y2 - y1));
  triangle(dest, x1, y1, x1, yf1, xc, yf1, color, alpha, mode);
  const int64_t yf2 = y2 < yfill ? yfill + 1 : yfill;
  triangle(dest, xc, yf2, x2, yf2, x2, y2, color, alpha, mode);
}

// The row-wise twin, between the curve and column xfill.
void DoBezierFillSegmentX(RAST_IBitmap* dest, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t xfill,
                          RAST_pixel color, float alpha, int mode) {
  if (y2 < y1) return;
  if (y2 == y1) {
    int64_t m = rast_detail::max64(x2, xfill);
    if (m != xfill) --m;
    RAST_Line(dest, satInt(rast_detail::min64(x1, xfill)), satInt(y1), satInt(m), satInt(y1), color, alpha, mode,
              false);
    return;
  }
  const int64_t xf1 = x1 < xfill ? xfill + 1 : xfill;
  if ((x1 < xfill) == (x2 < xfill)) {
    polygon4(dest, x1, y1, xf1, y1, x2, y2 + 1, xf1, y2 + 1, color, alpha, mode);
    return;
  }
  const int64_t yc = y1 + rast_detail::satInt64(double(y2 - y1) * double(xfill - x1) / double(x2 - x1));
  triangle(dest, x1, y1, xf1, y1, xf1, yc, color, alpha, mode);
  const int64_t xf2 = x2 < xfill ? xfill + 1 : xfill;
  triangle(dest, xf2, yc, xf2, y2, x2, y2, color, alpha, mode);
}

// Calls fn(t) for the n - 2 inner points of a cubic of n segments, at
// t = tlo + i (thi - tlo) / n accumulated; the last segment spans two steps.
template <class Fn>
void innerPoints(const Cubic& c, int n, Fn&& fn) {
  if (n < 3) return;
  const double dt = (c.thi - c.tlo) / n;
  double t = c.tlo;
  for (int i = 1; i <= n - 2; ++i) {
    t += dt;
    fn(t);
  }
}

// Cuts the curve into the pieces of the fills: column by column (rows
// false) or row by row. Each piece runs from the last point to the next
// point that reaches a new column (row), the along coordinate truncated and
// the across one rounded; piece(x1, y1, x2, y2) fills it.
template <class Piece>
void fillPieces(const Cubic& c, int n, bool rows, Piece&& piece) {
  if (n == 0) return;
  auto along = [&](double t) { return rows ? c.Y(t) : c.X(t); };
  auto across = [&](double t) { return rows ? c.X(t) : c.Y(t); };
  auto emit = [&](int64_t a1, int64_t b1, int64_t a2, int64_t b2) {
    if (rows) piece(b1, a1, b2, a2);
    else piece(a1, b1, a2, b2);
  };
  int64_t ap = satInt(rows ? c.ylo : c.xlo), bp = satInt((rows ? c.xlo : c.ylo) + 0.5);
  innerPoints(c, n, [&](double t) {
    const int64_t ai = satInt(static_cast<float>(along(t)));
    if (ai < ap) return;
    const int64_t bi = satInt(across(t) + 0.5);
    emit(ap, bp, ai, bi);
    bp = bi, ap = ai + 1;
  });
  const int64_t ae = satInt((rows ? c.yhi : c.xhi) - 1);
  if (ae >= ap) emit(ap, bp, ae, satInt((rows ? c.xhi : c.yhi) + 0.5));
}

}  // namespace

template <class T>
T RAST_Bezier_GetY(T x0, T x1, T x2, T y0, T y1, T y2, T x, double* t) {
  if (x <= x0) {
    if (t) *t = 0;
    return y0;
  }
  if (x >= x2) {
    if (t) *t = 1;
    return y2;
  }
  const double A = double(x0) - 2.0 * x1 + x2;
  if (A == 0) {
    const T tt = (x - x0) / (x2 - x0);
    if (t) *t = tt;
    return y0 + (y2 - y0) * tt;
  }
  const double B = 2.0 * (double(x1) - x0);
  const double tt = (std::sqrt(B * B - 4 * A * (double(x0) - x)) - B) / (2 * A);
  if (t) *t = tt;
  return static_cast<T>(y0 * (1 - tt) * (1 - tt) + y1 * 2 * (1 - tt) * tt + y2 * tt * tt);
}
template float RAST_Bezier_GetY<float>(float, float, float, float, float, float, float, double*);

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      RAST_pixel color, float alpha, int mode, bool aa, float tol) {
  if (!dest || !allFinite({xstart, ystart, xctl, yctl, xend, yend, tol})) return;
  if (tol <= 0) tol = 1;
  const int w = dest->getWidth();
  if (xstart > xend) std::swap(xstart, xend), std::swap(ystart, yend);
  const float x0 = xstart, y0 = ystart, x2 = xend, y2 = yend;
  double t0 = 0, t1 = 1;
  float sx = x0, sy = y0, ex = x2, ey = y2;
  if (x0 < 0) sx = 0, sy = RAST_Bezier_GetY<float>(x0, xctl, x2, y0, yctl, y2, 0, &t0);
  if (x2 >= w) ex = static_cast<float>(w - 1), ey = RAST_Bezier_GetY<float>(x0, xctl, x2, y0, yctl, y2, ex, &t1);
  if (sx > ex) return;
  const int n = segmentCount((leg(x2 - xctl, y2 - yctl) + leg(xctl - x0, yctl - y0)) * (t1 - t0) / tol);
  if (n == 0) return;
  const double dt = (t1 - t0) / n;
  double t = t0;
  float px = sx, py = sy;
  for (int i = 1; i < n; ++i) {
    t += dt;
    const double u = 1 - t;
    const float qx = static_cast<float>(u * u * x0 + 2 * u * t * xctl + t * t * x2);
    const float qy = static_cast<float>(u * u * y0 + 2 * u * t * yctl + t * t * y2);
    RAST_FLine(dest, px, py, qx, qy, color, alpha, mode, aa);
    px = qx, py = qy;
  }
  RAST_FLine(dest, px, py, ex, ey, color, alpha, mode, aa);
}

void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, RAST_pixel color, float alpha, int mode, bool aa,
                      float tol) {
  Cubic c;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, true, c);
  if (n == 0) return;
  float px = c.xlo, py = c.ylo;
  innerPoints(c, n, [&](double t) {
    const float qx = static_cast<float>(c.X(t)), qy = static_cast<float>(c.Y(t));
    RAST_FLine(dest, px, py, qx, qy, color, alpha, mode, aa);
    px = qx, py = qy;
  });
  RAST_FLine(dest, px, py, c.xhi, c.yhi, color, alpha, mode, aa);
}

void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, RAST_pixel color, float alpha, int mode,
                      float tol) {
  Cubic c;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, true, c);
  fillPieces(c, n, false, [&](int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    DoBezierFillSegment(dest, x1, y1, x2, y2, yfill, color, alpha, mode);
  });
}

void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, RAST_pixel color, float alpha, int mode,
                       float tol) {
  Cubic c;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, false, c);
  fillPieces(c, n, true, [&](int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    DoBezierFillSegmentX(dest, x1, y1, x2, y2, xfill, color, alpha, mode);
  });
}
