#include "raster/blit.h"

#include <cstdint>
#include <cstring>

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
  _RAST_Template_Blit2<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>::blit(dest, src, w, h, src_step,
                                                                                         dest_step, 256);
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
