#include "raster/rectops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

// A clipped rectangle in memory order: its first row's first pixel, the
// byte distance to the next row in memory, and its size.
struct Block {
  unsigned char* first;
  ptrdiff_t step;
  int w, h;
  RAST_pixel* row(int y) const { return reinterpret_cast<RAST_pixel*>(first + y * step); }
};

bool clipBlock(RAST_IBitmap* bm, int x, int y, int w, int h, Block& out) {
  if (!bm) return false;
  RAST_pixel* bits = bm->getBits();
  if (!bits) return false;
  int64_t X = x, Y = y, W = w, H = h;
  if (X < 0) W += X, X = 0;
  if (Y < 0) H += Y, Y = 0;
  const int64_t bw = bm->getWidth(), bh = bm->getHeight();
  if (W > bw - X) W = bw - X;
  if (H > bh - Y) H = bh - Y;
  const int span = bm->getRowSpan();
  if (W < 1 || H < 1 || span < 1) return false;
  const int64_t memRow = bm->isFlipped() ? bh - (Y + H) : Y;
  out.step = static_cast<ptrdiff_t>(span) * 4;
  out.first = reinterpret_cast<unsigned char*>(bits) + memRow * out.step + X * 4;
  out.w = static_cast<int>(W);
  out.h = static_cast<int>(H);
  return true;
}

// The pixel at logical (x, y), or null outside the bitmap.
RAST_pixel* pixelAt(RAST_IBitmap* bm, int x, int y) {
  if (!bm) return nullptr;
  RAST_pixel* bits = bm->getBits();
  if (!bits || x < 0 || y < 0 || x >= bm->getWidth() || y >= bm->getHeight()) return nullptr;
  const int row = bm->isFlipped() ? bm->getHeight() - 1 - y : y;
  return bits + static_cast<ptrdiff_t>(row) * bm->getRowSpan() + x;
}

#if defined(__x86_64__) || defined(__i386__)
// The same with 32-byte stores where the processor has them.
__attribute__((target("avx"))) void fillRowAvx(RAST_pixel* d, int64_t w, RAST_pixel c) {
  int64_t i = 0;
  for (; i < w && (reinterpret_cast<uintptr_t>(d + i) & 31) != 0; ++i) d[i] = c;
  const __m256i v = _mm256_set1_epi32(static_cast<int>(c));
  for (; i + 32 <= w; i += 32) {
    __m256i* p = reinterpret_cast<__m256i*>(d + i);
    _mm256_store_si256(p, v);
    _mm256_store_si256(p + 1, v);
    _mm256_store_si256(p + 2, v);
    _mm256_store_si256(p + 3, v);
  }
  for (; i + 8 <= w; i += 8) _mm256_store_si256(reinterpret_cast<__m256i*>(d + i), v);
  for (; i < w; ++i) d[i] = c;
}
const bool kHasAvx = __builtin_cpu_supports("avx");
#endif

}  // namespace

namespace rast_detail {

// One run of one colour, 16 bytes per store once the pointer is aligned.
void fillRow(RAST_pixel* d, int64_t w, RAST_pixel c) {
#if defined(__x86_64__)
  // A long run goes to the processor's string store, which writes whole
  // lines without reading them first.
  if (w >= 256) {
    int64_t n = w;
    asm volatile("rep stosl" : "+D"(d), "+c"(n) : "a"(c) : "memory");
    return;
  }
#endif
#if defined(__x86_64__) || defined(__i386__)
  if (kHasAvx) return fillRowAvx(d, w, c);
#endif
#if defined(__SSE2__)
  int64_t i = 0;
  for (; i < w && (reinterpret_cast<uintptr_t>(d + i) & 15) != 0; ++i) d[i] = c;
  const __m128i v = _mm_set1_epi32(static_cast<int>(c));
  for (; i + 16 <= w; i += 16) {
    __m128i* p = reinterpret_cast<__m128i*>(d + i);
    _mm_store_si128(p, v);
    _mm_store_si128(p + 1, v);
    _mm_store_si128(p + 2, v);
    _mm_store_si128(p + 3, v);
  }
  for (; i + 4 <= w; i += 4) _mm_store_si128(reinterpret_cast<__m128i*>(d + i), v);
  for (; i < w; ++i) d[i] = c;
#else
  std::fill_n(d, w, c);
#endif
}

}  // namespace rast_detail

namespace {

using rast_detail::fillRow;

template <class FAST>
void mixBlock(const Block& b, RAST_pixel c) {
  for (int y = 0; y < b.h; ++y) {
    RAST_pixel* d = b.row(y);
    for (int x = 0; x < b.w; ++x) d[x] = FAST::mix(d[x], c);
  }
}

// Plain copy at one of the weights that have a whole-word mix. Returns
// false for any other weight.
template <class Apply>
bool wordMix(int ia, Apply&& apply) {
  switch (ia) {
    case 0: return true;
    case 64: apply(_RAST_CombinePixelsQuarterMixFAST{}); return true;
    case 128: apply(_RAST_CombinePixelsHalfMixFAST{}); return true;
    case 192: apply(_RAST_CombinePixelsThreeQuarterMixFAST{}); return true;
    case 256: apply(_RAST_CombinePixelsClobberFAST{}); return true;
    default: return false;
  }
}

template <class C>
struct SolidLoop {
  static void run(const Block& b, int r, int g, int bl, int ia) {
    _RAST_Template_Blit1<C>::solidBlit(b.first, b.w, b.h, r, g, bl, ia, b.step);
  }
};

template <class C>
struct RectPixel {
  static void run(unsigned char* p, int r, int g, int b, int a, int w) { C::doPix(p, r, g, b, a, w); }
};

int clampByte(int64_t v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

}  // namespace

void RAST_Clear(RAST_IBitmap* bm, RAST_pixel colour) {
  if (!bm) return;
  RAST_pixel* bits = bm->getBits();
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  if (!bits || w < 1 || h < 1 || span < w) return;
  for (int y = 0; y < h; ++y) fillRow(bits + static_cast<ptrdiff_t>(y) * span, w, colour);
}

void RAST_FillRect(RAST_IBitmap* bm, int x, int y, int w, int h, RAST_pixel colour, float alpha, int mode) {
  if (!bm) return;
  if (mode & RAST_BLIT_USE_SOURCE_ALPHA) alpha *= static_cast<float>(colour & 0xff) / 255.0f;
  Block b;
  if (!clipBlock(bm, x, y, w, h, b)) return;
  if (alpha == 0.0f) return;
  const int ia = RAST_WeightFromAlpha(alpha);
  const int low = mode & RAST_BLIT_MODE_MASK;
  if (low == RAST_BLIT_MODE_COPY) {
    const bool done = wordMix(ia, [&](auto fast) {
      using FAST = decltype(fast);
      if constexpr (std::is_same_v<FAST, _RAST_CombinePixelsClobberFAST>) {
        if (b.step == static_cast<ptrdiff_t>(b.w) * 4)  // adjacent rows: one run
          fillRow(b.row(0), static_cast<int64_t>(b.w) * b.h, colour);
        else
          for (int row = 0; row < b.h; ++row) fillRow(b.row(row), b.w, colour);
      } else {
        mixBlock<FAST>(b, colour);
      }
    });
    if (done || ia < 1) return;
  } else if (ia == 0) {
    return;
  }
  RAST_DispatchShape<SolidLoop, false>(low, ia, b, RAST_GETR(colour), RAST_GETG(colour), RAST_GETB(colour), ia);
}

void RAST_ClearRect(RAST_IBitmap* bm, int x, int y, int w, int h, RAST_pixel mask, RAST_pixel orbits) {
  Block b;
  if (!clipBlock(bm, x, y, w, h, b)) return;
  for (int row = 0; row < b.h; ++row) {
    RAST_pixel* d = b.row(row);
    for (int i = 0; i < b.w; ++i) d[i] = (d[i] & mask) | orbits;
  }
}

void RAST_MultiplyAddRect(RAST_IBitmap* bm, int x, int y, int w, int h, float rsc, float gsc, float bsc, float asc,
                          float radd, float gadd, float badd, float aadd) {
  Block b;
  if (!clipBlock(bm, x, y, w, h, b)) return;
  // Per byte of the pixel in memory: alpha, red, green, blue.
  const int64_t sc[4] = {RAST_WeightFromAlpha(asc), RAST_WeightFromAlpha(rsc), RAST_WeightFromAlpha(gsc),
                         RAST_WeightFromAlpha(bsc)};
  const int64_t add[4] = {RAST_WeightFromAlpha(aadd), RAST_WeightFromAlpha(radd), RAST_WeightFromAlpha(gadd),
                          RAST_WeightFromAlpha(badd)};
  for (int row = 0; row < b.h; ++row) {
    unsigned char* d = reinterpret_cast<unsigned char*>(b.row(row));
    for (int i = 0; i < b.w; ++i, d += 4)
      for (int k = 0; k < 4; ++k) d[k] = static_cast<unsigned char>(clampByte((d[k] * sc[k] + add[k]) >> 8));
  }
}

void RAST_ProcessRect(RAST_IBitmap* bm, int x, int y, int w, int h, void (*procfunc)(RAST_pixel* p, void* parm),
                      void* parm) {
  if (!procfunc) return;
  Block b;
  if (!clipBlock(bm, x, y, w, h, b)) return;
  for (int row = 0; row < b.h; ++row) {
    RAST_pixel* d = b.row(row);
    for (int i = 0; i < b.w; ++i) procfunc(d + i, parm);
  }
}

RAST_pixel RAST_GetPixel(RAST_IBitmap* bm, int x, int y) {
  const RAST_pixel* p = pixelAt(bm, x, y);
  return p ? *p : 0;
}

void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, RAST_pixel colour, float alpha, int mode) {
  RAST_pixel* p = pixelAt(bm, x, y);
  if (!p) return;
  const int ia = RAST_WeightFromAlpha(alpha);
  const int low = mode & RAST_BLIT_MODE_MASK;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(p);
  if (low == RAST_BLIT_MODE_COPY) {
    if (wordMix(ia, [&](auto fast) { *p = decltype(fast)::mix(*p, colour); })) return;
    if (ia < 1) return;
  } else if (ia == 0) {
    return;
  }
  RAST_DispatchShape<RectPixel, false>(low, ia, bytes, RAST_GETR(colour), RAST_GETG(colour), RAST_GETB(colour),
                                      RAST_GETA(colour), ia);
}
