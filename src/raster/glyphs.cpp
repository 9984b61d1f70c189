#include "raster/glyphs.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/shapeutil.h"

using rast_detail::max64;
using rast_detail::min64;

namespace {

template <class C>
struct GlyphRun {
  static void run(const unsigned char* alphas, RAST_pixel* dest, int w, int h, RAST_pixel color, int dest_span,
                  int alpha_span, int weight) {
    GlyphDrawImpl<C>::DrawGlyph(alphas, dest, w, h, color, dest_span, alpha_span, weight);
  }
};

// The rows of a bitmap in memory order: the first row and the pixel distance
// to the next.
struct Rows {
  RAST_pixel* bits;
  int w, h;
  ptrdiff_t span;
  RAST_pixel* row(int y) const { return bits + y * span; }
};

bool rowsOf(RAST_IBitmap* bm, Rows& r) {
  if (!bm) return false;
  r.bits = bm->getBits();
  r.w = bm->getWidth();
  r.h = bm->getHeight();
  r.span = bm->getRowSpan();
  return r.bits && r.w > 0 && r.h > 0 && r.span >= r.w;
}

// The same in logical order (row 0 at the top).
Rows logicalRows(RAST_IBitmap* bm, const Rows& r) {
  Rows l = r;
  if (bm->isFlipped()) {
    l.bits = r.bits + (r.h - 1) * r.span;
    l.span = -r.span;
  }
  return l;
}

}  // namespace

template <class C>
void GlyphDrawImpl<C>::DrawGlyph(const unsigned char* alphas, RAST_pixel* dest, int w, int h, RAST_pixel color,
                                 int dest_span, int alpha_span, int weight) {
  const rast_detail::Channels c(color);
  for (int j = 0; j < h; ++j) {
    const unsigned char* m = alphas + static_cast<ptrdiff_t>(j) * alpha_span;
    unsigned char* d = reinterpret_cast<unsigned char*>(dest + static_cast<ptrdiff_t>(j) * dest_span);
    for (int i = 0; i < w; ++i, d += 4)
      if (m[i] > 0) C::doPix(d, c.r, c.g, c.b, c.a, rast_detail::scaleWeight(m[i], weight));
  }
}

template struct GlyphDrawImpl<_RAST_CombinePixelsCopyNoClamp>;
template struct GlyphDrawImpl<_RAST_CombinePixelsAdd>;
template struct GlyphDrawImpl<_RAST_CombinePixelsColorDodge>;
template struct GlyphDrawImpl<_RAST_CombinePixelsMulNoClamp>;
template struct GlyphDrawImpl<_RAST_CombinePixelsOverlay>;
template struct GlyphDrawImpl<_RAST_CombinePixelsHSVAdjust>;

void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, RAST_pixel color, const unsigned char* alphas, int glyph_w,
                      int glyph_span, int glyph_h, float alpha, int mode) {
  Rows r;
  if (!alphas || !rowsOf(dest, r)) return;
  if (glyph_w <= 0 || glyph_h <= 0 || glyph_span < glyph_w) return;
  if (x <= -int64_t{glyph_w} || y <= -int64_t{glyph_h}) return;
  const int64_t dx = max64(x, 0), dy = max64(y, 0);
  if (dx >= r.w || dy >= r.h) return;
  const int64_t pw = min64(int64_t{glyph_w} + min64(x, 0), r.w - dx);
  const int64_t ph = min64(int64_t{glyph_h} + min64(y, 0), r.h - dy);
  if (pw <= 0 || ph <= 0) return;
  const unsigned char* mask = alphas + (-min64(y, 0)) * glyph_span + (-min64(x, 0));
  const Rows l = logicalRows(dest, r);
  const int ia = RAST_WeightFromAlpha(alpha);
  RAST_DispatchShape<GlyphRun, false>(mode, ia, mask, l.row(static_cast<int>(dy)) + dx, static_cast<int>(pw),
                                      static_cast<int>(ph), color, static_cast<int>(l.span), glyph_span, ia);
}

void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, RAST_pixel color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode) {
  RAST_DrawGlyphEx(dest, x, y, color, alphas, glyph_w, glyph_w, glyph_h, alpha, mode);
}

void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, RAST_pixel colour) {
  Rows r;
  if (!rowsOf(dest, r)) return;
  for (int y = 0; y < r.h; ++y) {
    RAST_pixel* p = r.row(y);
    for (int x = 0; x < r.w; ++x) p[x] = (p[x] & ~0xffu) | ((p[x] & ~0xffu) == colour ? 0u : 0xffu);
  }
}

void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, RAST_pixel newcolour, RAST_pixel comparemask,
                     RAST_pixel keepmask) {
  Rows r;
  if (!rowsOf(dest, r) || x < 0 || y < 0 || x >= r.w || y >= r.h) return;
  const RAST_pixel seed = r.row(y)[x] & comparemask;
  auto match = [&](RAST_pixel v) { return (v & comparemask) == seed; };
  auto fill = [&](RAST_pixel& v) { v = (v & keepmask) | newcolour; };
  auto fillRow = [&](RAST_pixel* p) {
    fill(p[x]);
    for (int i = x + 1; i < r.w && match(p[i]); ++i) fill(p[i]);
    for (int i = x - 1; i >= 0 && match(p[i]); --i) fill(p[i]);
  };
  for (int row = y; row < r.h && match(r.row(row)[x]); ++row) fillRow(r.row(row));
  for (int row = y - 1; row >= 0 && match(r.row(row)[x]); --row) fillRow(r.row(row));
}

void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src) {
  Rows d, s;
  if (!rowsOf(dest, d) || !rowsOf(src, s)) return;
  const int w = d.w < s.w / 2 ? d.w : s.w / 2, h = d.h < s.h / 2 ? d.h : s.h / 2;
  auto q = [](RAST_pixel p) { return (p >> 2) & 0x3f3f3f3fu; };
  for (int j = 0; j < h; ++j) {
    const RAST_pixel* a = s.row(2 * j);
    const RAST_pixel* b = s.row(2 * j + 1);
    RAST_pixel* o = d.row(j);
    for (int i = 0; i < w; ++i) o[i] = q(a[2 * i]) + q(a[2 * i + 1]) + q(b[2 * i]) + q(b[2 * i + 1]);
  }
}

int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coords) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  if (a->getWidth() != b->getWidth()) return b->getWidth() - a->getWidth();
  if (a->getHeight() != b->getHeight()) return b->getHeight() - a->getHeight();
  if (coords) coords[0] = coords[1] = coords[2] = coords[3] = 0;
  Rows ra, rb;
  const bool hasA = rowsOf(a, ra), hasB = rowsOf(b, rb);
  if (!hasA || !hasB) return hasA == hasB ? 0 : (hasA ? 1 : -1);
  const Rows la = logicalRows(a, ra), lb = logicalRows(b, rb);
  const int w = la.w, h = la.h;
  if (!coords) {
    for (int y = 0; y < h; ++y)
      if (const int c = std::memcmp(la.row(y), lb.row(y), static_cast<size_t>(w) * 4)) return c;
    return 0;
  }
  auto differs = [&](int x, int y) { return la.row(y)[x] != lb.row(y)[x]; };
  int top = 0;
  while (top < h && std::memcmp(la.row(top), lb.row(top), static_cast<size_t>(w) * 4) == 0) ++top;
  if (top == h) return 0;
  int left = 0, right = w - 1;
  while (!differs(left, top)) ++left;
  while (!differs(right, top)) --right;
  int bottom = h - 1;
  while (std::memcmp(la.row(bottom), lb.row(bottom), static_cast<size_t>(w) * 4) == 0) --bottom;
  for (int x = 0; x < left; ++x)
    if (differs(x, bottom)) left = x;
  for (int x = w - 1; x > right; --x)
    if (differs(x, bottom)) right = x;
  for (int y = top + 1; y < bottom && (left > 0 || right < w - 1); ++y) {
    for (int x = 0; x < left; ++x)
      if (differs(x, y)) left = x;
    for (int x = w - 1; x > right; --x)
      if (differs(x, y)) right = x;
  }
  coords[0] = left;
  coords[1] = top;
  coords[2] = right - left + 1;
  coords[3] = bottom - top + 1;
  return 1;
}

float RAST_CBezier_GetY(float x0, float x1, float x2, float x3, float y0, float y1, float y2, float y3, float x,
                        float* nextx, float* dydx, double* tlo, double* thi) {
  if (x < x0 || x >= x3) {
    const bool before = x < x0;
    if (nextx) *nextx = before ? x0 : x3;
    if (dydx) *dydx = 0;
    return before ? y0 : y3;
  }
  const double X0 = x0, Y0 = y0;
  const double cx = 3 * (double(x1) - X0), bx = 3 * (double(x2) - x1) - cx, ax = double(x3) - X0 - cx - bx;
  const double cy = 3 * (double(y1) - Y0), by = 3 * (double(y2) - y1) - cy, ay = double(y3) - Y0 - cy - by;
  auto X = [&](double t) { return t == 0 ? X0 : ax * t * t * t + bx * t * t + cx * t + X0; };
  auto Y = [&](double t) { return t == 0 ? Y0 : ay * t * t * t + by * t * t + cy * t + Y0; };
  double lo = 0, hi = 1;
  for (int i = 0; i < 8; ++i) {
    const double t = (lo + hi) / 2, xt = X(t);
    if (xt < x) {
      lo = t;
    } else if (xt > x) {
      hi = t;
    } else if (xt == x) {
      lo = t;
      hi = t + 1.0 / 256 < 1 ? t + 1.0 / 256 : 1;
      break;
    }
  }
  const double xlo = X(lo), xhi = X(hi);
  const double slope = xhi != xlo ? (Y(hi) - Y(lo)) / (xhi - xlo) : 0;
  if (nextx) *nextx = static_cast<float>(xhi);
  if (dydx) *dydx = static_cast<float>(slope);
  if (tlo) *tlo = lo;
  if (thi) *thi = hi;
  return static_cast<float>(Y(lo) + (x - xlo) * slope);
}
