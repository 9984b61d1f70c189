#include "raster/blit.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/blitimpl.h"
#include "raster/rows.h"

namespace {

template <class C>
struct RowLoop {
  static void run(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                  ptrdiff_t dest_step, int weight) {
    _RAST_Template_Blit2<C>::blit(dest, src, w, h, src_step, dest_step, weight);
  }
};

void copyRows(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step, ptrdiff_t dest_step) {
  const size_t bytes = static_cast<size_t>(w) * 4;
  for (int y = 0; y < h; ++y) std::memmove(dest + y * dest_step, src + y * src_step, bytes);
}

void halfMixRows(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                 ptrdiff_t dest_step) {
  for (int y = 0; y < h; ++y) {
    RAST_pixel* d = reinterpret_cast<RAST_pixel*>(dest + y * dest_step);
    const RAST_pixel* s = reinterpret_cast<const RAST_pixel*>(src + y * src_step);
    for (int x = 0; x < w; ++x) d[x] = _RAST_CombinePixelsHalfMixFAST::mix(d[x], s[x]);
  }
}

void channelCopyRows(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                     ptrdiff_t dest_step, int mode) {
  const int from = mode & 3, to = (mode >> 2) & 3;
  for (int y = 0; y < h; ++y) {
    unsigned char* d = dest + y * dest_step + to;
    const unsigned char* s = src + y * src_step + from;
    for (int x = 0; x < w; ++x) d[x * 4] = s[x * 4];
  }
}

}  // namespace

namespace rast_detail {

void sourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, ptrdiff_t src_step,
                     ptrdiff_t dest_step) {
#if defined(__SSE2__)
  // Four pixels at a time, exactly as the combiner: each colour channel is
  // s + trunc((d - s) x (255 - a) / 256), worked out as the magnitude
  // |d - s| x (255 - a) >> 8 (it fits 16 bits unsigned) with the sign put
  // back, so that negative products truncate toward zero; alpha becomes
  // min(255, d + a); pixels with a = 0 stay. (For a = 255 this gives the
  // source colour with alpha 255, the combiner's shortcut.)
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaBytes = _mm_set1_epi32(0xff);
  const __m128i k255 = _mm_set1_epi16(255);
  auto mix = [&](__m128i s16, __m128i d16) {
    __m128i a16 = _mm_shufflelo_epi16(s16, 0);
    a16 = _mm_shufflehi_epi16(a16, 0);
    const __m128i k = _mm_sub_epi16(k255, a16);
    const __m128i diff = _mm_sub_epi16(d16, s16);
    const __m128i mag = _mm_max_epi16(diff, _mm_sub_epi16(zero, diff));
    const __m128i q = _mm_srli_epi16(_mm_mullo_epi16(mag, k), 8);
    const __m128i neg = _mm_cmpgt_epi16(s16, d16);
    return _mm_add_epi16(s16, _mm_sub_epi16(_mm_xor_si128(q, neg), neg));
  };
  for (int y = 0; y < h; ++y) {
    unsigned char* d = dest + y * dest_step;
    const unsigned char* s = src + y * src_step;
    int x = 0;
    for (; x + 4 <= w; x += 4, d += 16, s += 16) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      const __m128i salpha = _mm_and_si128(sv, alphaBytes);
      const int transparent = _mm_movemask_epi8(_mm_cmpeq_epi32(salpha, zero));
      if (transparent == 0xffff) continue;
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(salpha, alphaBytes)) == 0xffff) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), sv);
        continue;
      }
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
      const __m128i lo = mix(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero));
      const __m128i hi = mix(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero));
      __m128i out = _mm_packus_epi16(lo, hi);
      const __m128i alpha = _mm_and_si128(_mm_adds_epu8(dv, sv), alphaBytes);
      out = _mm_or_si128(_mm_andnot_si128(alphaBytes, out), alpha);
      const __m128i keep = _mm_cmpeq_epi32(salpha, zero);
      out = _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, out));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
    }
    for (; x < w; ++x, d += 4, s += 4)
      _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(d, s[1], s[2], s[3], s[0], 256);
  }
#else
  _RAST_Template_Blit2<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>::blit(dest, src, w, h, src_step,
                                                                                         dest_step, 256);
#endif
}

void blitRect(RAST_IBitmap* dest, RAST_IBitmap* src, int64_t dstx, int64_t dsty, int64_t left, int64_t top,
              int64_t right, int64_t bottom, float alpha, int mode) {
  if (!dest || !src || alpha == 0.0f) return;

  // Clipping in 64 bits, so that no sum of two extreme ints can overflow.
  if (left < 0) dstx -= left, left = 0;
  if (top < 0) dsty -= top, top = 0;
  const int64_t srcW = src->getWidth(), srcH = src->getHeight();
  if (right > srcW) right = srcW;
  if (bottom > srcH) bottom = srcH;
  if (dstx < 0) left -= dstx, dstx = 0;
  if (dsty < 0) top -= dsty, dsty = 0;
  const int64_t destW = dest->getWidth(), destH = dest->getHeight();
  if (dstx + (right - left) > destW) right = destW - dstx + left;
  if (dsty + (bottom - top) > destH) bottom = destH - dsty + top;
  if (right <= left || bottom <= top) return;
  const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);

  const int srcSpan = src->getRowSpan(), destSpan = dest->getRowSpan();
  RAST_pixel* srcBits = src->getBits();
  RAST_pixel* destBits = dest->getBits();
  if (!srcBits || !destBits) return;
  const RowCursor s = logicalAt(src, srcBits, srcSpan, static_cast<int>(left), static_cast<int>(top));
  const RowCursor d = logicalAt(dest, destBits, destSpan, static_cast<int>(dstx), static_cast<int>(dsty));

  if (RAST_BLIT_IS_CHANCOPY(mode)) {
    channelCopyRows(d.first, s.first, w, h, s.step, d.step, mode);
    return;
  }
  const int key = mode & RAST_BLIT_KEY_MASK;
  if (key == 0 && alpha == 1.0f) {
    copyRows(d.first, s.first, w, h, s.step, d.step);
    return;
  }
  if (key == 0 && alpha == 0.5f) {
    halfMixRows(d.first, s.first, w, h, s.step, d.step);
    return;
  }
  const int weight = RAST_WeightFromAlpha(alpha);
  if (weight == 0) return;
  if (key == 0 && weight == 256) {
    copyRows(d.first, s.first, w, h, s.step, d.step);
    return;
  }
  if (key == RAST_BLIT_USE_SOURCE_ALPHA && weight == 256) {
    sourceAlphaRows(d.first, s.first, w, h, s.step, d.step);
    return;
  }
  RAST_DispatchCombiner<RowLoop>(mode, weight, d.first, s.first, w, h, s.step, d.step, weight);
}

}  // namespace rast_detail

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, const RECT* srcrect, float alpha, int mode) {
  if (!dest || !src) return;
  if (srcrect)
    rast_detail::blitRect(dest, src, dstx, dsty, srcrect->left, srcrect->top, srcrect->right, srcrect->bottom, alpha,
                          mode);
  else
    rast_detail::blitRect(dest, src, dstx, dsty, 0, 0, src->getWidth(), src->getHeight(), alpha, mode);
}

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode) {
  rast_detail::blitRect(dest, src, dstx, dsty, srcx, srcy, static_cast<int64_t>(srcx) + srcw,
                        static_cast<int64_t>(srcy) + srch, alpha, mode);
}

void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src) {
  if (!dest || !src) return;
  const int w = src->getWidth();
  const int h = src->getHeight();
  dest->resize(w, h);
  RAST_Blit(dest, src, 0, 0, nullptr, 1.0f, 0);
}
