#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "raster/blit.h"
#include "raster/blitimpl.h"
#include "raster/rows.h"

namespace {

// Source coordinates step by 32-bit additions; the setup guarantees that no
// coordinate a loop uses leaves the int range, and the running sum wraps
// (unsigned) past the last one.
struct Axis {
  uint32_t v;
  explicit Axis(int start) : v(static_cast<uint32_t>(start)) {}
  int get() const { return static_cast<int>(v); }
  void step(int d) { v += static_cast<uint32_t>(d); }
};

inline const unsigned char* srcPixel(const _RAST_ScaleArgs& a, int cx, int cy) {
  return a.src + cy * a.src_step + static_cast<ptrdiff_t>(cx) * 4;
}

// Nearest neighbour with a whole-word combiner.
template <class FAST>
struct _RAST_Template_Blit0 {
  static void scaleBlitFAST(const _RAST_ScaleArgs& a) {
    Axis Y(a.y0);
    for (int j = 0; j < a.h; ++j, Y.step(a.dy)) {
      const int y = Y.get();
      if (y < -65535 || y / 65536 >= a.cliph) continue;
      const RAST_pixel* srow = reinterpret_cast<const RAST_pixel*>(srcPixel(a, 0, y / 65536));
      RAST_pixel* d = reinterpret_cast<RAST_pixel*>(a.dest + j * a.dest_step);
      Axis X(a.x0);
      for (int i = 0; i < a.w; ++i, X.step(a.dx)) {
        const int x = X.get();
        if (x < -65535 || x / 65536 >= a.clipw) continue;
        d[i] = FAST::mix(d[i], srow[x / 65536]);
      }
    }
  }
};

inline bool fitsInt(double v) { return v > -2147483649.0 && v < 2147483648.0; }  // false for NaN

template <class C>
struct ScaleLoop {
  static void run(const _RAST_ScaleArgs& a, int weight, int filter) {
    _RAST_Template_Blit2<C>::scaleBlit(a, weight, filter);
  }
};

template <class C>
struct FilterDownLoop {
  static void run(const _RAST_ScaleArgs& a, int weight, const int* kernel, int start, int size) {
    _RAST_Template_Blit2<C>::scaleBlitFilterDown(a, weight, kernel, start, size);
  }
};

// Bilinear sample: a coordinate below 0 samples pixel 0 without fraction.
inline void splitCoord(int v, int& c, int& f) {
  if (v < 0) {
    c = 0, f = 0;
  } else {
    c = v >> 16, f = v & 0xffff;
  }
}

// Destination pixels sampled into one buffer before they are combined.
constexpr int kRowBlock = 512;

// The bilinear sampling of one call, column by column: for each drawn
// destination column the source column of P and D (left), that of R and Q
// (right) and the fraction, worked out once and used by every row. A last
// column reads P alone: its right column is its own, which the four-weight
// sum turns into the two-weight mix with D; in the same way the last row
// mixes with itself at fraction 0. So every drawn pixel is sampled alike,
// and a row is one plain loop that the compiler vectorises.
struct BilinearColumns {
  static constexpr int kBlock = 2048;
  int32_t left[kBlock];
  int32_t right[kBlock];
  uint32_t frac[kBlock];

  // The drawn columns [first, last): those with X >= -65535 and a column
  // index inside the clip width. X is monotonic along the row, so they are
  // one run.
  static void span(const _RAST_ScaleArgs& a, int& first, int& last) {
    first = a.w, last = 0;
    Axis X(a.x0);
    for (int i = 0; i < a.w; ++i, X.step(a.dx)) {
      int cx, fx;
      const int x = X.get();
      splitCoord(x, cx, fx);
      if (x < -65535 || cx >= a.clipw) continue;
      first = std::min(first, i);
      last = i + 1;
    }
  }

  // Columns [from, to) into the table, from slot 0.
  void fill(const _RAST_ScaleArgs& a, int from, int to) {
    Axis X(static_cast<int>(static_cast<uint32_t>(a.x0) + static_cast<uint32_t>(from) * static_cast<uint32_t>(a.dx)));
    for (int i = from; i < to; ++i, X.step(a.dx)) {
      int cx, fx;
      splitCoord(X.get(), cx, fx);
      const bool inner = cx < a.clipw - 1;
      left[i - from] = cx;
      right[i - from] = inner ? cx + 1 : cx;
      frac[i - from] = inner ? static_cast<uint32_t>(fx) : 0u;
    }
  }
};

// One channel of a bilinear sample: the four neighbours' bytes at bit k,
// weighted. The weights add up to 65536, so the sum stays below 2^24.
inline uint32_t mixChannel(uint32_t p, uint32_t r, uint32_t d, uint32_t q, int k, uint32_t wP, uint32_t wR, uint32_t wD,
                           uint32_t wQ) {
  return (((p >> k) & 255u) * wP + ((r >> k) & 255u) * wR + ((d >> k) & 255u) * wD + ((q >> k) & 255u) * wQ) >> 16;
}

// Where the processor has them, the row loop runs on 256-bit vectors. The
// choice is made while the program is loaded, before a sanitizer's runtime
// has started: the sanitizer builds keep the one plain loop.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && \
    !defined(__SANITIZE_ADDRESS__)
#define RAST_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RAST_VECTOR_CLONES
#endif

// n bilinear samples of one row into out: the source columns and fractions
// from the table, the row fraction fy, P and R from prow, D and Q from drow.
RAST_VECTOR_CLONES void bilinearRow(uint32_t* __restrict out, const RAST_pixel* prow, const RAST_pixel* drow,
                                    const int32_t* left, const int32_t* right, const uint32_t* frac, int n,
                                    uint32_t fy) {
  const uint32_t fyc = 65536u - fy;
  for (int i = 0; i < n; ++i) {
    const uint32_t fx = frac[i];
    const uint32_t wQ = (fx * fy) >> 16, wR = fx - wQ, wP = fyc - wR, wD = fy - wQ;
    const uint32_t p = prow[left[i]], r = prow[right[i]], d = drow[left[i]], q = drow[right[i]];
    out[i] = mixChannel(p, r, d, q, 0, wP, wR, wD, wQ) | mixChannel(p, r, d, q, 8, wP, wR, wD, wQ) << 8 |
             mixChannel(p, r, d, q, 16, wP, wR, wD, wQ) << 16 | mixChannel(p, r, d, q, 24, wP, wR, wD, wQ) << 24;
  }
}

}  // namespace

template <class COMBFUNC>
void _RAST_Template_Blit2<COMBFUNC>::scaleBlit(const _RAST_ScaleArgs& a, int weight, int filter) {
  if (filter != RAST_BLIT_FILTER_BILINEAR) {
    Axis Y(a.y0);
    for (int j = 0; j < a.h; ++j, Y.step(a.dy)) {
      const int y = Y.get();
      if (y < -65535 || y / 65536 >= a.cliph) continue;
      const unsigned char* srow = srcPixel(a, 0, y / 65536);
      unsigned char* d = a.dest + j * a.dest_step;
      Axis X(a.x0);
      for (int i = 0; i < a.w; ++i, X.step(a.dx)) {
        const int x = X.get();
        if (x < -65535 || x / 65536 >= a.clipw) continue;
        const unsigned char* s = srow + static_cast<ptrdiff_t>(x / 65536) * 4;
        COMBFUNC::doPix(d + i * 4, s[1], s[2], s[3], s[0], weight);
      }
    }
    return;
  }

  BilinearColumns cols;
  int first = 0, last = 0;
  cols.span(a, first, last);
  if (first >= last) return;
  const bool oneBlock = last - first <= BilinearColumns::kBlock;
  if (oneBlock) cols.fill(a, first, last);
  uint32_t sample[kRowBlock];
  Axis Y(a.y0);
  for (int j = 0; j < a.h; ++j, Y.step(a.dy)) {
    const int y = Y.get();
    if (y < -65535) continue;
    int cy, fy;
    splitCoord(y, cy, fy);
    const bool innerRow = cy < a.cliph - 1;
    if (!innerRow && cy != a.cliph - 1) continue;
    // The last row mixes with itself at fraction 0.
    const RAST_pixel* prow = reinterpret_cast<const RAST_pixel*>(srcPixel(a, 0, cy));
    const RAST_pixel* drow = innerRow ? reinterpret_cast<const RAST_pixel*>(srcPixel(a, 0, cy + 1)) : prow;
    const uint32_t rowFrac = innerRow ? static_cast<uint32_t>(fy) : 0u;
    unsigned char* d = a.dest + j * a.dest_step;
    for (int block = first; block < last; block += BilinearColumns::kBlock) {
      const int blockEnd = std::min(last, block + BilinearColumns::kBlock);
      if (!oneBlock) cols.fill(a, block, blockEnd);
      for (int i = block; i < blockEnd; i += kRowBlock) {
        const int n = std::min(blockEnd - i, kRowBlock);
        const int at = i - block;
        bilinearRow(sample, prow, drow, cols.left + at, cols.right + at, cols.frac + at, n, rowFrac);
        unsigned char* out = d + static_cast<ptrdiff_t>(i) * 4;
        if constexpr (std::is_same_v<COMBFUNC, _RAST_CombinePixelsClobberNoClamp>) {
          std::memcpy(out, sample, static_cast<size_t>(n) * 4);
        } else {
          for (int k = 0; k < n; ++k) {
            const uint32_t s = sample[k];
            COMBFUNC::doPix(out + k * 4, (s >> 8) & 255, (s >> 16) & 255, s >> 24, s & 255, weight);
          }
        }
      }
    }
  }
}

template <class COMBFUNC>
void _RAST_Template_Blit2<COMBFUNC>::scaleBlitFilterDown(const _RAST_ScaleArgs& a, int weight, const int* kernel,
                                                          int start, int size) {
  Axis Y(a.y0);
  for (int j = 0; j < a.h; ++j, Y.step(a.dy)) {
    const int y = Y.get();
    if (y < -65535 || y / 65536 >= a.cliph) continue;
    const int cy = y / 65536;
    unsigned char* d = a.dest + j * a.dest_step;
    Axis X(a.x0);
    for (int i = 0; i < a.w; ++i, X.step(a.dx)) {
      const int x = X.get();
      if (x < -65535 || x / 65536 >= a.clipw) continue;
      const int cx = x / 65536;
      // Sums stay below 25 x 65536 x 255, inside the int range.
      int sum[4] = {0, 0, 0, 0};
      int total = 0;
      for (int ky = 0; ky < size; ++ky) {
        const int ty = cy + start + ky;
        if (ty < 0 || ty >= a.cliph) continue;
        for (int kx = 0; kx < size; ++kx) {
          const int tx = cx + start + kx;
          if (tx < 0 || tx >= a.clipw) continue;
          const int kw = kernel[ky * size + kx];
          const unsigned char* s = srcPixel(a, tx, ty);
          for (int k = 0; k < 4; ++k) sum[k] += kw * s[k];
          total += kw;
        }
      }
      if (total == 0) continue;
      COMBFUNC::doPix(d + i * 4, sum[1] / total, sum[2] / total, sum[3] / total, sum[0] / total, weight);
    }
  }
}

// The sampling loops of the fourteen combiners the blend modes select.
#define RAST_SCALE_INSTANCES(C)                                                       \
  template void _RAST_Template_Blit2<C>::scaleBlit(const _RAST_ScaleArgs&, int, int); \
  template void _RAST_Template_Blit2<C>::scaleBlitFilterDown(const _RAST_ScaleArgs&, int, const int*, int, int);
RAST_SCALE_INSTANCES(_RAST_CombinePixelsClobberNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsCopyNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsAdd)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsColorDodge)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsMulNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsOverlay)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsHSVAdjust)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsCopySourceAlphaNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsAddSourceAlpha)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsColorDodgeSourceAlpha)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsMulSourceAlphaNoClamp)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsOverlaySourceAlpha)
RAST_SCALE_INSTANCES(_RAST_CombinePixelsHSVAdjustSourceAlpha)
#undef RAST_SCALE_INSTANCES

void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx_, int dsty_, int dstw_, int dsth_, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode) {
  if (!dest || !src || dstw_ == 0 || dsth_ == 0 || alpha == 0.0f) return;
  const int filter = mode & RAST_BLIT_FILTER_MASK;

  // No scaling: a plain blit from the nearest whole source position (with
  // the filter only when the position is nearly whole already).
  if (std::fabs(static_cast<double>(srcw - static_cast<float>(dstw_))) < 0.001 &&
      std::fabs(static_cast<double>(srch - static_cast<float>(dsth_))) < 0.001) {
    const float sx = srcx + 0.5f, sy = srcy + 0.5f;
    const bool aligned = filter != RAST_BLIT_FILTER_BILINEAR ||
                         (std::fabs(static_cast<double>(srcx) - std::floor(static_cast<double>(sx))) < 0.03 &&
                          std::fabs(static_cast<double>(srcy) - std::floor(static_cast<double>(sy))) < 0.03);
    if (aligned) {
      if (!fitsInt(sx) || !fitsInt(sy)) return;
      const int64_t left = static_cast<int>(sx), top = static_cast<int>(sy);
      rast_detail::blitRect(dest, src, dstx_, dsty_, left, top, left + dstw_, top + dsth_, alpha, mode);
      return;
    }
  }

  int64_t dstx = dstx_, dsty = dsty_, dstw = dstw_, dsth = dsth_;
  // A negative size mirrors: sampling runs backwards from the last sample
  // of the unmirrored blit, giving its exact reverse.
  const bool mirrorX = dstw < 0, mirrorY = dsth < 0;
  if (mirrorX) dstx += dstw, dstw = -dstw, srcx += srcw, srcw = -srcw;
  if (mirrorY) dsty += dsth, dsth = -dsth, srcy += srch, srch = -srch;

  const double xstep = static_cast<double>(srcw / static_cast<float>(dstw));
  const double ystep = static_cast<double>(srch / static_cast<float>(dsth));

  if (dstx < 0) {
    srcx -= static_cast<float>(static_cast<double>(dstx) * xstep);
    dstw += dstx;
    dstx = 0;
  }
  if (dsty < 0) {
    srcy -= static_cast<float>(static_cast<double>(dsty) * ystep);
    dsth += dsty;
    dsty = 0;
  }
  const int64_t destW = dest->getWidth(), destH = dest->getHeight();
  if (dstx + dstw > destW) dstw = destW - dstx;
  if (dsty + dsth > destH) dsth = destH - dsty;
  if (dstw < 1 || dsth < 1) return;

  const double fdx = xstep * 65536.0, fdy = ystep * 65536.0;
  // A mirrored axis samples from one step before its end (srcx + srcw - |step|);
  // its read bounds below still run to the end.
  const float startX = mirrorX ? static_cast<float>(srcx + xstep) : srcx;
  const float startY = mirrorY ? static_cast<float>(srcy + ystep) : srcy;
  const double fx0 = static_cast<double>(startX) * 65536.0, fy0 = static_cast<double>(startY) * 65536.0;
  if (!fitsInt(fdx) || !fitsInt(fdy) || !fitsInt(fx0) || !fitsInt(fy0)) return;
  int64_t dx = static_cast<int>(fdx), dy = static_cast<int>(fdy);
  int64_t x0 = static_cast<int>(fx0), y0 = static_cast<int>(fy0);

  // Clip the sampled source range: leading samples left of the source and
  // trailing ones past it are dropped. A backward axis is cut where its
  // samples fall left of the source for good, so that no coordinate leaves
  // the int range.
  const int64_t srcW = src->getWidth(), srcH = src->getHeight();
  auto clipAxis = [](int64_t& pos, int64_t& len, int64_t& c0, int64_t step, int64_t srcLen) {
    if (step > 0) {
      if (c0 < 0) {
        const int64_t n = (step - 1 - c0) / step;
        pos += n, len -= n, c0 += n * step;
      }
      if ((c0 + (len - 1) * step) / 65536 >= srcLen) {
        const int64_t keep = (srcLen * 65536 - 65536 - c0) / step;
        if (keep < len) len = keep;
      }
    } else if (step < 0) {
      const int64_t reach = c0 + 65535;
      if (reach < 0) {
        len = 0;
      } else {
        const int64_t keep = reach / -step + 1;
        if (keep < len) len = keep;
      }
    }
  };
  clipAxis(dstx, dstw, x0, dx, srcW);
  clipAxis(dsty, dsth, y0, dy, srcH);
  if (dstw < 1 || dsth < 1) return;
  if (!fitsInt(static_cast<double>(x0 + (dstw - 1) * dx)) || !fitsInt(static_cast<double>(y0 + (dsth - 1) * dy)))
    return;

  // The source bounds the loops may read.
  const double cw = static_cast<double>((srcw > 0.0f ? srcw : 0.0f) + srcx) + 0.999999;
  const double ch = static_cast<double>((srch > 0.0f ? srch : 0.0f) + srcy) + 0.999999;
  if (!(cw >= 1.0) || !(ch >= 1.0)) return;
  const int clipw = cw >= static_cast<double>(srcW) ? static_cast<int>(srcW) : static_cast<int>(cw);
  const int cliph = ch >= static_cast<double>(srcH) ? static_cast<int>(srcH) : static_cast<int>(ch);
  if (clipw < 1 || cliph < 1) return;

  RAST_pixel* srcBits = src->getBits();
  RAST_pixel* destBits = dest->getBits();
  if (!srcBits || !destBits) return;
  const rast_detail::RowCursor s = rast_detail::logicalAt(src, srcBits, src->getRowSpan(), 0, 0);
  const rast_detail::RowCursor d =
      rast_detail::logicalAt(dest, destBits, dest->getRowSpan(), static_cast<int>(dstx), static_cast<int>(dsty));

  _RAST_ScaleArgs args;
  args.dest = d.first;
  args.src = s.first;
  args.w = static_cast<int>(dstw);
  args.h = static_cast<int>(dsth);
  args.x0 = static_cast<int>(x0);
  args.y0 = static_cast<int>(y0);
  args.dx = static_cast<int>(dx);
  args.dy = static_cast<int>(dy);
  args.clipw = clipw;
  args.cliph = cliph;
  args.src_step = s.step;
  args.dest_step = d.step;

  const int weight = RAST_WeightFromAlpha(alpha);
  if ((mode & 0x1ffff) == 0) {
    if (weight == 256) return _RAST_Template_Blit0<_RAST_CombinePixelsClobberFAST>::scaleBlitFAST(args);
    if (weight == 128) return _RAST_Template_Blit0<_RAST_CombinePixelsHalfMixFAST>::scaleBlitFAST(args);
  }
  if (weight == 0) return;
  if (filter == RAST_BLIT_FILTER_BILINEAR && xstep >= 1.7 && ystep >= 1.7) {
    // Box filter of 3 x 3, or 5 x 5 beyond a step of 3.
    const int m = static_cast<int>(dx > dy ? dx : dy);
    const int size = m > 0x30000 ? 5 : 3;
    const int start = -(size / 2);
    int kernel[25];
    for (int ky = 0; ky < size; ++ky) {
      for (int kx = 0; kx < size; ++kx) {
        int& k = kernel[ky * size + kx];
        const int ox = kx - size / 2, oy = ky - size / 2;
        if (ox == 0 && oy == 0) {
          k = 65536;
          continue;
        }
        const double v = (m - 1.0) / std::sqrt(static_cast<double>(ox * ox + oy * oy));
        k = v < 0.0 ? 0 : (v > 1.0 ? 65536 : static_cast<int>(v * 65536.0));
      }
    }
    RAST_DispatchCombiner<FilterDownLoop>(mode, weight, args, weight, kernel, start, size);
    return;
  }
  RAST_DispatchCombiner<ScaleLoop>(mode, weight, args, weight, filter);
}
