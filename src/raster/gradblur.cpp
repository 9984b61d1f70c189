#include "raster/gradblur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "raster/rows.h"

namespace {

// A 16.16 value of v, or false when it leaves the int range (NaN included).
bool toFixed(float v, int64_t& out) {
  const double d = static_cast<double>(v) * 65536.0;
  if (!(d > -2147483649.0 && d < 2147483648.0)) return false;
  out = static_cast<int64_t>(d);  // truncates toward zero
  return true;
}

// Whether start + i * dx + j * dy stays an int for i in 0..w, j in 0..h.
bool rampFits(int64_t start, int64_t dx, int64_t dy, int w, int h) {
  const int64_t xs[2] = {0, dx * w};
  const int64_t ys[2] = {0, dy * h};
  for (int64_t a : xs)
    for (int64_t b : ys) {
      const int64_t v = start + a + b;
      if (v < INT32_MIN || v > INT32_MAX) return false;
    }
  return true;
}

template <class C>
struct GradRun {
  static void run(unsigned char* d, int w, int h, const int* v, ptrdiff_t step) {
    _RAST_Template_GradBlit<C>::gradBlit(d, w, h, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
                                         v[11], step);
  }
};

// Byte-wise fractions of a whole pixel, the low bits of each byte dropped.
inline uint32_t half(uint32_t p) { return (p >> 1) & 0x7f7f7f7fu; }
inline uint32_t quarter(uint32_t p) { return (p >> 2) & 0x3f3f3f3fu; }
inline uint32_t eighth(uint32_t p) { return (p >> 3) & 0x1f1f1f1fu; }

// One output row from its row S and neighbour rows: with D null, N is the
// single neighbour (first and last rows); otherwise N is the row above and D
// the row below.
void blurRow(uint32_t* out, const uint32_t* S, const uint32_t* N, const uint32_t* D, int w) {
  if (!D) {
    out[0] = half(S[0]) + quarter(S[1]) + quarter(N[0]);
    for (int x = 1; x < w - 1; ++x) out[x] = eighth(S[x - 1]) + half(S[x]) + eighth(S[x + 1]) + quarter(N[x]);
    out[w - 1] = quarter(S[w - 2]) + half(S[w - 1]) + quarter(N[w - 1]);
    return;
  }
  out[0] = half(S[0]) + quarter(S[1]) + eighth(N[0]) + eighth(D[0]);
  for (int x = 1; x < w - 1; ++x)
    out[x] = eighth(S[x - 1]) + half(S[x]) + eighth(S[x + 1]) + eighth(N[x]) + eighth(D[x]);
  out[w - 1] = quarter(S[w - 2]) + half(S[w - 1]) + eighth(N[w - 1]) + eighth(D[w - 1]);
}

}  // namespace

void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode) {
  if (!dest) return;
  float start[4] = {ir * 255.f, ig * 255.f, ib * 255.f, ia * 256.f};
  float ddx[4] = {drdx * 255.f, dgdx * 255.f, dbdx * 255.f, dadx * 256.f};
  float ddy[4] = {drdy * 255.f, dgdy * 255.f, dbdy * 255.f, dady * 256.f};

  int64_t x = dstx, y = dsty, w = dstw, h = dsth;
  if (x < 0) {
    for (int c = 0; c < 4; ++c) start[c] -= static_cast<float>(x) * ddx[c];
    w += x;
    x = 0;
  }
  if (y < 0) {
    for (int c = 0; c < 4; ++c) start[c] -= static_cast<float>(y) * ddy[c];
    h += y;
    y = 0;
  }
  const int bw = dest->getWidth(), bh = dest->getHeight();
  if (x + w > bw) w = bw - x;
  if (y + h > bh) h = bh - y;
  if (w <= 0 || h <= 0) return;
  RAST_pixel* bits = dest->getBits();
  if (!bits) return;

  const int key = mode & RAST_BLIT_MODE_MASK;
  if (key > RAST_BLIT_MODE_HSVADJ) return;
  int v[12];
  for (int c = 0; c < 4; ++c) {
    int64_t s, dx, dy;
    if (!toFixed(start[c], s) || !toFixed(ddx[c], dx) || !toFixed(ddy[c], dy)) return;
    if (!rampFits(s, dx, dy, static_cast<int>(w), static_cast<int>(h))) return;
    v[c] = static_cast<int>(s);
    v[4 + c] = static_cast<int>(dx);
    v[8 + c] = static_cast<int>(dy);
  }
  const rast_detail::RowCursor cur =
      rast_detail::logicalAt(dest, bits, dest->getRowSpan(), static_cast<int>(x), static_cast<int>(y));
  const int iw = static_cast<int>(w), ih = static_cast<int>(h);
  switch (key) {
    case 0:
      // Constant full alpha writes outright (the same pixels the copy
      // combiner gives at full weight); any other alpha is mixed in.
      if (v[3] == 256 * 65536 && v[7] == 0 && v[11] == 0)
        GradRun<_RAST_CombinePixelsClobberClamp>::run(cur.first, iw, ih, v, cur.step);
      else
        GradRun<_RAST_CombinePixelsCopyClamp>::run(cur.first, iw, ih, v, cur.step);
      break;
    case 1: GradRun<_RAST_CombinePixelsAdd>::run(cur.first, iw, ih, v, cur.step); break;
    case 2: GradRun<_RAST_CombinePixelsColorDodge>::run(cur.first, iw, ih, v, cur.step); break;
    case 3: GradRun<_RAST_CombinePixelsMulClamp>::run(cur.first, iw, ih, v, cur.step); break;
    case 4: GradRun<_RAST_CombinePixelsOverlay>::run(cur.first, iw, ih, v, cur.step); break;
    case 5: GradRun<_RAST_CombinePixelsHSVAdjust>::run(cur.first, iw, ih, v, cur.step); break;
  }
}

void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch) {
  if (!dest || !src) return;
  int64_t left = std::max(0, srcx), top = std::max(0, srcy);
  int64_t right = std::min<int64_t>(static_cast<int64_t>(srcx) + srcw, src->getWidth());
  int64_t bottom = std::min<int64_t>(static_cast<int64_t>(srcy) + srch, src->getHeight());
  int64_t dx = dstx, dy = dsty;
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  if (dx + (right - left) > dest->getWidth()) right = dest->getWidth() - dx + left;
  if (dy + (bottom - top) > dest->getHeight()) bottom = dest->getHeight() - dy + top;
  if (right <= left + 1 || bottom <= top + 1) return;
  const int w = static_cast<int>(right - left);

  RAST_pixel* sbits = src->getBits();
  RAST_pixel* dbits = dest->getBits();
  if (!sbits || !dbits) return;
  const rast_detail::RowCursor sc =
      rast_detail::logicalAt(src, sbits, src->getRowSpan(), static_cast<int>(left), static_cast<int>(top));
  const rast_detail::RowCursor dc =
      rast_detail::logicalAt(dest, dbits, dest->getRowSpan(), static_cast<int>(dx), static_cast<int>(dy));

  // In place, each row and its upper neighbour are read from copies taken
  // before the row is overwritten.
  const bool inPlace = dest == src;
  uint32_t stackRows[2 * 1024];
  uint32_t* save = nullptr;
  uint32_t* heap = nullptr;
  if (inPlace) {
    if (w <= 1024) {
      save = stackRows;
    } else {
      heap = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * 2 * static_cast<size_t>(w)));
      if (!heap) return;
      save = heap;
    }
  }
  auto row = [&](int64_t i) { return reinterpret_cast<const uint32_t*>(sc.first + i * sc.step); };
  const int64_t rows = bottom - top;
  for (int64_t i = 0; i < rows; ++i) {
    const uint32_t* S = row(i);
    const uint32_t* U = i > 0 ? row(i - 1) : nullptr;
    if (save) {
      uint32_t* mine = save + ((i & 1) ? w : 0);
      std::memcpy(mine, S, sizeof(uint32_t) * static_cast<size_t>(w));
      S = mine;
      U = save + ((i & 1) ? 0 : w);
    }
    const uint32_t* D = i + 1 < rows ? row(i + 1) : nullptr;
    uint32_t* out = reinterpret_cast<uint32_t*>(dc.first + i * dc.step);
    if (i == 0)
      blurRow(out, S, D, nullptr, w);
    else if (i == rows - 1)
      blurRow(out, S, U, nullptr, w);
    else
      blurRow(out, S, U, D, w);
  }
  std::free(heap);
}
