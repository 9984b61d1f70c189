#include "raster/lines.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "raster/lineclip.h"
#include "raster/shapeutil.h"

using rast_detail::Channels;

namespace {

// Region codes of the clippers.
constexpr int kLeft = 1, kRight = 2, kTop = 4, kBottom = 8;
// Every move puts a point on an edge; a line that is not settled after this
// many moves is dropped (only degenerate windows get there).
constexpr int kMaxClipMoves = 16;

int intCode(int64_t x, int64_t y, int64_t w, int64_t h) {
  int c = 0;
  if (x < 0) c |= kLeft;
  else if (x >= w) c |= kRight;
  if (y < 0) c |= kTop;
  else if (y >= h) c |= kBottom;
  return c;
}

int floatCode(float x, float y, float xmax, float ymax) {
  int c = 0;
  if (x < 0) c |= kLeft;
  else if (x >= xmax) c |= kRight;
  if (y < 0) c |= kTop;
  else if (y >= ymax) c |= kBottom;
  return c;
}

// Interpolation of the integer clipper: a + trunc(d x num / den) in double.
int64_t lerp(int64_t a, int64_t d, int64_t num, int64_t den) {
  return a + static_cast<int64_t>(static_cast<double>(d) * static_cast<double>(num) / static_cast<double>(den));
}

// One pixel of a run: the word mixes of the plain copies.
template <class FAST>
void wordRun(RAST_pixel* px, ptrdiff_t step, int n, RAST_pixel c) {
  for (int i = 0; i < n; ++i, px += step) *px = FAST::mix(*px, c);
}

// Plain copies at 1, 1/2, 1/4 and 3/4 as word loops; false for any other
// opacity or mode.
bool copyRunFast(RAST_pixel* px, ptrdiff_t step, int n, RAST_pixel color, float alpha, int mode) {
  if ((mode & RAST_BLIT_MODE_MASK) != 0) return false;
  if (alpha == 1.0f) wordRun<_RAST_CombinePixelsClobberFAST>(px, step, n, color);
  else if (alpha == 0.5f) wordRun<_RAST_CombinePixelsHalfMixFAST>(px, step, n, color);
  else if (alpha == 0.25f) wordRun<_RAST_CombinePixelsQuarterMixFAST>(px, step, n, color);
  else if (alpha == 0.75f) wordRun<_RAST_CombinePixelsThreeQuarterMixFAST>(px, step, n, color);
  else return false;
  return true;
}

template <class C>
struct HorizRun {
  static void run(RAST_pixel* px, int n, RAST_pixel color, int ia) {
    __RAST_LineClassSimple<C>::RAST_HorizLine(px, n, color, ia);
  }
};
template <class C>
struct VertRun {
  static void run(RAST_pixel* px, int span, int n, RAST_pixel color, int ia) {
    __RAST_LineClassSimple<C>::RAST_VertLine(px, span, n, color, ia);
  }
};
template <class C>
struct DiagRun {
  static void run(RAST_pixel* px, int span, int n, int xs, int ys, RAST_pixel color, int ia) {
    __RAST_LineClassSimple<C>::RAST_DiagLine(px, span, n, xs, ys, color, ia);
  }
};
template <class C>
struct DiagRunAA {
  static void run(RAST_pixel* px, int span, int n, int xs, int ys, RAST_pixel color, int ia) {
    __RAST_LineClassSimple<C>::RAST_DiagLineAA(px, span, n, xs, ys, color, ia);
  }
};
template <class C>
struct SlopeRun {
  static void run(RAST_pixel* px, RAST_pixel* px2, int slope, int majorstep, int n, int minorstep, RAST_pixel color,
                  int ia, bool aa) {
    __RAST_LineClass<C>::RAST_LineImpl(px, px2, slope, majorstep, n, minorstep, color, ia, aa);
  }
};
template <class C>
struct FloatRun {
  static void run(RAST_pixel* px, int n, int err, int slope, int majorstep, int minorstep, RAST_pixel color, int ia) {
    __RAST_LineClass<C>::RAST_FLineImpl(px, n, err, slope, majorstep, minorstep, color, ia);
  }
};
template <class C>
struct DashRun {
  static void run(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, RAST_pixel color,
                  int ia) {
    __RAST_LineClass<C>::DashedLine(dest, x1, y1, x2, y2, pxon, pxoff, color, ia);
  }
};

template <class C>
inline void put(RAST_pixel* p, const Channels& c, int w) {
  C::doPix(reinterpret_cast<unsigned char*>(p), c.r, c.g, c.b, c.a, w);
}

// The pixels a drawing call may touch.
struct Surface {
  RAST_pixel* bits;
  int w, h, span;
  RAST_pixel* at(int64_t x, int64_t y) const { return bits + static_cast<ptrdiff_t>(y) * span + x; }
};

bool surfaceOf(RAST_IBitmap* dest, Surface& s) {
  if (!dest) return false;
  s.bits = dest->getBits();
  s.w = dest->getWidth();
  s.h = dest->getHeight();
  s.span = dest->getRowSpan();
  return s.bits && s.w > 0 && s.h > 0 && s.span >= s.w;
}

// An integer line already clipped to the surface, in memory rows.
void drawClippedLine(const Surface& s, int x1, int y1, int x2, int y2, RAST_pixel color, float alpha, int mode,
                     bool aa) {
  const int low = mode & RAST_BLIT_MODE_MASK;
  if (y1 == y2 || x1 == x2) {
    const bool horiz = y1 == y2;
    if (horiz && x1 > x2) std::swap(x1, x2);
    if (!horiz && y1 > y2) std::swap(y1, y2);
    const int n = horiz ? x2 - x1 + 1 : y2 - y1 + 1;
    RAST_pixel* px = s.at(x1, y1);
    if (copyRunFast(px, horiz ? 1 : s.span, n, color, alpha, mode)) return;
    const int ia = RAST_WeightFromAlpha(alpha);
    if (horiz) RAST_DispatchShape<HorizRun, true>(mode, ia, px, n, color, ia);
    else RAST_DispatchShape<VertRun, true>(mode, ia, px, s.span, n, color, ia);
    return;
  }
  const int dx = x2 - x1, dy = y2 - y1;
  if (std::abs(dx) == std::abs(dy)) {
    const int xstep = dx > 0 ? 1 : -1, ystep = dy > 0 ? s.span : -s.span;
    const int n = std::abs(dx);
    RAST_pixel* px = s.at(x1, y1);
    if (low == 0 && alpha == 1.0f) {
      if (!aa) {
        for (int i = 0; i <= n; ++i, px += xstep + ystep) *px = color;
        return;
      }
      *px = _RAST_CombinePixelsThreeQuarterMixFAST::mix(*px, color);
      for (int i = 0; i < n; ++i) {
        px[xstep] = _RAST_CombinePixelsQuarterMixFAST::mix(px[xstep], color);
        px[ystep] = _RAST_CombinePixelsQuarterMixFAST::mix(px[ystep], color);
        px += xstep + ystep;
        *px = _RAST_CombinePixelsThreeQuarterMixFAST::mix(*px, color);
      }
      return;
    }
    const int ia = RAST_WeightFromAlpha(alpha);
    if (aa) RAST_DispatchShape<DiagRunAA, false>(mode, ia, px, s.span, n, xstep, ystep, color, ia);
    else RAST_DispatchShape<DiagRun, true>(mode, ia, px, s.span, n, xstep, ystep, color, ia);
    return;
  }
  const bool xmajor = std::abs(dx) > std::abs(dy);
  int majorstep = xmajor ? 1 : s.span;
  const int minorbase = xmajor ? s.span : 1;
  int dmaj = xmajor ? dx : dy, dmin = xmajor ? dy : dx;
  RAST_pixel* start = s.at(x1, y1);
  RAST_pixel* end = s.at(x2, y2);
  if (dmaj < 0) {
    std::swap(start, end);
    dmaj = -dmaj;
    dmin = -dmin;
  }
  const int minorstep = dmin < 0 ? -minorbase : minorbase;
  const int slope = static_cast<int>(std::fabs(static_cast<double>(dmin)) / dmaj * 65536.0);
  const int ia = RAST_WeightFromAlpha(alpha);
  if (aa) RAST_DispatchShape<SlopeRun, false>(mode, ia, start, end, slope, majorstep, dmaj, minorstep, color, ia, true);
  else RAST_DispatchShape<SlopeRun, true>(mode, ia, start, end, slope, majorstep, dmaj, minorstep, color, ia, false);
}

}  // namespace

namespace rast_detail {

bool clipLine(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t w, int64_t h) {
  int c1 = intCode(x1, y1, w, h), c2 = intCode(x2, y2, w, h);
  if ((c1 | c2) == 0) return true;
  for (int move = 0; move < kMaxClipMoves; ++move) {
    if (c1 & c2) return false;
    const bool first = c1 != 0;
    const int c = first ? c1 : c2;
    int64_t x, y;
    if (c & kBottom) {
      x = lerp(x1, x2 - x1, h - y1, y2 - y1), y = h - 1;
    } else if (c & kTop) {
      x = lerp(x1, x2 - x1, -y1, y2 - y1), y = 0;
    } else if (c & kRight) {
      y = lerp(y1, y2 - y1, w - x1, x2 - x1), x = w - 1;
    } else {
      y = lerp(y1, y2 - y1, -x1, x2 - x1), x = 0;
    }
    if (first) {
      x1 = x, y1 = y, c1 = intCode(x, y, w, h);
    } else {
      x2 = x, y2 = y, c2 = intCode(x, y, w, h);
    }
    if ((c1 | c2) == 0) return true;
  }
  return false;
}

bool clipFLine(float& x1, float& y1, float& x2, float& y2, int w, int h) {
  const float xmax = static_cast<float>(int64_t{w} - 1), ymax = static_cast<float>(int64_t{h} - 1);
  int c1 = floatCode(x1, y1, xmax, ymax), c2 = floatCode(x2, y2, xmax, ymax);
  bool inside = (c1 | c2) == 0;
  for (int move = 0; !inside && move < kMaxClipMoves; ++move) {
    if (c1 & c2) return false;
    const bool first = c1 != 0;
    const int c = first ? c1 : c2;
    float x, y;
    if (c & kBottom) {
      x = x1 + (x2 - x1) * (ymax - y1) / (y2 - y1), y = ymax - 1;
    } else if (c & kTop) {
      x = x1 + (x2 - x1) * y1 / (y1 - y2), y = 0;
    } else if (c & kRight) {
      y = y1 + (y2 - y1) * (xmax - x1) / (x2 - x1), x = xmax - 1;
    } else {
      y = y1 + (y2 - y1) * x1 / (x1 - x2), x = 0;
    }
    if (first) {
      x1 = x, y1 = y, c1 = floatCode(x, y, xmax, ymax);
    } else {
      x2 = x, y2 = y, c2 = floatCode(x, y, xmax, ymax);
    }
    inside = (c1 | c2) == 0;
  }
  // A move that overflowed leaves a point that cannot be drawn.
  return inside && allFinite({x1, y1, x2, y2});
}

}  // namespace rast_detail

bool RAST_ClipLine(int* x1, int* y1, int* x2, int* y2, int xlo, int ylo, int xhi, int yhi) {
  if (!x1 || !y1 || !x2 || !y2) return false;
  int64_t X1 = int64_t{*x1} - xlo, Y1 = int64_t{*y1} - ylo, X2 = int64_t{*x2} - xlo, Y2 = int64_t{*y2} - ylo;
  const bool in = rast_detail::clipLine(X1, Y1, X2, Y2, int64_t{xhi} - xlo, int64_t{yhi} - ylo);
  *x1 = rast_detail::satInt(X1 + xlo);
  *y1 = rast_detail::satInt(Y1 + ylo);
  *x2 = rast_detail::satInt(X2 + xlo);
  *y2 = rast_detail::satInt(Y2 + ylo);
  return in;
}

bool RAST_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xlo, float ylo, float xhi, float yhi) {
  if (!x1 || !y1 || !x2 || !y2) return false;
  if (!rast_detail::allFinite({*x1, *y1, *x2, *y2, xlo, ylo, xhi, yhi})) return false;
  float X1 = *x1 - xlo, Y1 = *y1 - ylo, X2 = *x2 - xlo, Y2 = *y2 - ylo;
  const int w = rast_detail::satInt(static_cast<double>(xhi - xlo));
  const int h = rast_detail::satInt(static_cast<double>(yhi - ylo));
  const bool in = rast_detail::clipFLine(X1, Y1, X2, Y2, w, h);
  *x1 = X1 + xlo;
  *y1 = Y1 + ylo;
  *x2 = X2 + xlo;
  *y2 = Y2 + ylo;
  return in;
}

void RAST_Line(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, RAST_pixel color, float alpha, int mode, bool aa) {
  Surface s;
  if (!surfaceOf(dest, s)) return;
  int64_t X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
  if (dest->isFlipped()) Y1 = (s.h - 1) - Y1, Y2 = (s.h - 1) - Y2;
  if (!rast_detail::clipLine(X1, Y1, X2, Y2, s.w, s.h)) return;
  drawClippedLine(s, static_cast<int>(X1), static_cast<int>(Y1), static_cast<int>(X2), static_cast<int>(Y2), color,
                  alpha, mode, aa);
}

void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, RAST_pixel color, float alpha, int mode,
                bool aa) {
  using rast_detail::satInt;
  if (!dest || !rast_detail::allFinite({x1, y1, x2, y2})) return;
  if (!aa) {
    RAST_Line(dest, satInt(x1), satInt(y1), satInt(x2), satInt(y2), color, alpha, mode, false);
    return;
  }
  Surface s;
  if (!surfaceOf(dest, s)) return;
  if (dest->isFlipped()) {
    y1 = static_cast<float>(s.h - 1) - y1;
    y2 = static_cast<float>(s.h - 1) - y2;
  }
  if (!rast_detail::clipFLine(x1, y1, x2, y2, s.w, s.h)) return;
  if (x1 == x2 && y1 == y2) return;
  const float dx = x2 - x1, dy = y2 - y1;
  const bool xmajor = std::fabs(dx) > std::fabs(dy);
  float a1 = xmajor ? x1 : y1, a2 = xmajor ? x2 : y2, b1 = xmajor ? y1 : x1;
  float dmaj = xmajor ? dx : dy, dmin = xmajor ? dy : dx;
  if (dmaj < 0) {
    std::swap(a1, a2);
    b1 = xmajor ? y2 : x2;
    dmaj = -dmaj;
    dmin = -dmin;
  }
  const bool down = !(dmin < 0);  // the walk runs toward larger minor coordinates
  const int majorstep = xmajor ? 1 : s.span, minorbase = xmajor ? s.span : 1;
  const int minorstep = down ? minorbase : -minorbase;
  int n = static_cast<int>(std::floor(a2)) - static_cast<int>(std::ceil(a1));
  const float sl = dmin / dmaj;
  const float b = (std::ceil(a1) - a1) * sl + b1;
  const int frac = static_cast<int>((b - std::floor(b)) * 65536);
  const int maj0 = static_cast<int>(std::ceil(a1));
  int min0 = static_cast<int>(b);
  int err = frac;
  if (!down) err = 65535 - frac, min0 += 1;
  const int ia = RAST_WeightFromAlpha(alpha);
  const int slope = static_cast<int>(std::fabs(static_cast<double>(sl)) * 65536.0);

  // The walk stays between the clipped ends; rounding of the float set-up
  // must not take a pair past the bitmap, so the walk is cut where it would.
  const int extMaj = xmajor ? s.w : s.h, extMin = xmajor ? s.h : s.w;
  const int partner0 = down ? min0 + 1 : min0 - 1;
  if (n < 0 || maj0 < 0 || min0 < 0 || min0 >= extMin || partner0 < 0 || partner0 >= extMin) return;
  if (n > extMaj - 1 - maj0) n = extMaj - 1 - maj0;
  const int64_t room = down ? int64_t{extMin} - 2 - min0 : int64_t{min0} - 1;  // minor steps the walk may take
  if (slope > 0) {
    const int64_t last = ((room + 1) * 65536 - 1 - err) / slope;
    if (last < n) n = static_cast<int>(last);
  }
  if (n < 0) return;
  RAST_pixel* px = xmajor ? s.at(maj0, min0) : s.at(min0, maj0);
  RAST_DispatchShape<FloatRun, false>(mode, ia, px, n, err, slope, majorstep, minorstep, color, ia);
}

void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff, RAST_pixel color,
                     float alpha, int mode, bool /*aa*/) {
  Surface s;
  if (!surfaceOf(dest, s)) return;
  if (pxon <= 0 || int64_t{pxon} + pxoff <= 0) return;
  int64_t X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
  if (!rast_detail::clipLine(X1, Y1, X2, Y2, s.w, s.h)) return;
  if (Y1 > Y2) std::swap(Y1, Y2);
  if (X1 > X2) std::swap(X1, X2);
  if (pxon == 1 && pxoff == 1 && X1 == X2 && alpha == 1.0f && (mode & RAST_BLIT_MODE_MASK) == 0) {
    RAST_pixel* px = s.at(X1, Y1);
    const int64_t n = (Y2 - Y1 + 1) / 2;
    for (int64_t i = 0; i < n; ++i, px += 2 * static_cast<ptrdiff_t>(s.span)) *px = color;
    return;
  }
  const int ia = RAST_WeightFromAlpha(alpha);
  RAST_DispatchShape<DashRun, true>(mode, ia, dest, static_cast<int>(X1), static_cast<int>(Y1), static_cast<int>(X2),
                                    static_cast<int>(Y2), pxon, pxoff, color, ia);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_HorizLine(RAST_pixel* px, int n, RAST_pixel color, int alpha) {
  const Channels c(color);
  for (int i = 0; i < n; ++i) put<C>(px + i, c, alpha);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_VertLine(RAST_pixel* px, int rowspan, int n, RAST_pixel color, int alpha) {
  const Channels c(color);
  for (int i = 0; i < n; ++i, px += rowspan) put<C>(px, c, alpha);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_DiagLine(RAST_pixel* px, int /*rowspan*/, int n, int xstep, int ystep,
                                              RAST_pixel color, int alpha) {
  const Channels c(color);
  for (int i = 0; i <= n; ++i, px += xstep + ystep) put<C>(px, c, alpha);
}

template <class C>
void __RAST_LineClassSimple<C>::RAST_DiagLineAA(RAST_pixel* px, int /*rowspan*/, int n, int xstep, int ystep,
                                                RAST_pixel color, int alpha) {
  if (n < 0) return;
  const Channels c(color);
  const int wm = static_cast<int>((int64_t{3} * alpha) / 4), ws = alpha / 4;
  put<C>(px, c, wm);
  for (int i = 0; i < n; ++i) {
    put<C>(px + xstep, c, ws);
    put<C>(px + ystep, c, ws);
    px += xstep + ystep;
    put<C>(px, c, wm);
  }
}

template <class C>
void __RAST_LineClass<C>::RAST_LineImpl(RAST_pixel* px, RAST_pixel* px2, int slope, int majorstep, int n,
                                        int minorstep, RAST_pixel color, int alpha, bool aa) {
  const Channels c(color);
  const int half = (n + 1) / 2;
  if (!aa) {
    int err = 0;
    if (n >= 1) {
      for (int i = 0; i < half; ++i) {
        put<C>(px, c, alpha);
        put<C>(px2, c, alpha);
        err += slope;
        if (err > 32767) px += minorstep, px2 -= minorstep, err -= 65536;
        px += majorstep, px2 -= majorstep;
      }
    }
    if (n % 2 == 0) put<C>(px, c, alpha);
    return;
  }
  auto weights = [&](int err, int& wm, int& ws) {
    const int f = err >> 8;
    wm = 255 - f, ws = f;
    if (alpha != 256) wm = rast_detail::scaleWeight(255 - f, alpha), ws = rast_detail::scaleWeight(f, alpha);
  };
  put<C>(px, c, alpha);
  put<C>(px2, c, alpha);
  px += majorstep, px2 -= majorstep;
  int err = slope, wm, ws;
  if (n >= 3) {
    for (int i = 0; i < half - 1; ++i) {
      weights(err, wm, ws);
      put<C>(px, c, wm);
      put<C>(px + minorstep, c, ws);
      put<C>(px2, c, wm);
      put<C>(px2 - minorstep, c, ws);
      err += slope;
      if (err > 65535) px += minorstep, px2 -= minorstep, err -= 65536;
      px += majorstep, px2 -= majorstep;
    }
  }
  if (n % 2 == 0) {
    weights(err, wm, ws);
    put<C>(px, c, wm);
    put<C>(px + minorstep, c, ws);
  }
}

template <class C>
void __RAST_LineClass<C>::RAST_FLineImpl(RAST_pixel* px, int n, int err, int slope, int majorstep, int minorstep,
                                         RAST_pixel color, int alpha) {
  const Channels c(color);
  for (int i = 0; i <= n; ++i) {
    const int f = err >> 8;
    int wm = 255 - f, ws = f;
    if (alpha != 256) wm = rast_detail::scaleWeight(255 - f, alpha), ws = rast_detail::scaleWeight(f, alpha);
    put<C>(px, c, wm);
    put<C>(px + minorstep, c, ws);
    err += slope;
    if (err > 65535) px += minorstep, err -= 65536;
    px += majorstep;
  }
}

template <class C>
void __RAST_LineClass<C>::DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int pxon, int pxoff,
                                     RAST_pixel color, int alpha) {
  if (!dest || !dest->getBits() || pxon <= 0 || int64_t{pxon} + pxoff <= 0) return;
  if (x1 != x2 && y1 != y2) return;
  const Channels c(color);
  const bool horiz = x1 != x2;
  const ptrdiff_t step = horiz ? 1 : dest->getRowSpan();
  RAST_pixel* base = dest->getBits() + static_cast<ptrdiff_t>(y1) * dest->getRowSpan() + x1;
  const int64_t start = horiz ? x1 : y1, e = horiz ? x2 : y2;
  auto dash = [&](int64_t p, int64_t k) {
    RAST_pixel* px = base + (p - start) * step;
    for (int64_t i = 0; i < k; ++i, px += step) put<C>(px, c, alpha);
  };
  int64_t p = start;
  for (; p < e - pxon; p += int64_t{pxon} + pxoff) dash(p, pxon);
  const int64_t k = rast_detail::min64(e - p, pxon);
  if (k >= 1) dash(p, k);
}

#define RAST_LINE_INSTANCES(C)            \
  template struct __RAST_LineClassSimple<C>; \
  template struct __RAST_LineClass<C>;
RAST_LINE_INSTANCES(_RAST_CombinePixelsHalfMixNoClamp)
RAST_LINE_INSTANCES(_RAST_CombinePixelsClobberNoClamp)
RAST_LINE_INSTANCES(_RAST_CombinePixelsCopyNoClamp)
RAST_LINE_INSTANCES(_RAST_CombinePixelsAdd)
RAST_LINE_INSTANCES(_RAST_CombinePixelsColorDodge)
RAST_LINE_INSTANCES(_RAST_CombinePixelsMulNoClamp)
RAST_LINE_INSTANCES(_RAST_CombinePixelsOverlay)
RAST_LINE_INSTANCES(_RAST_CombinePixelsHSVAdjust)
