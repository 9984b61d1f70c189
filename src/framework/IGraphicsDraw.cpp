// The graphics context's bitmap and font cache operations and its drawing
// wrappers over the raster library.
#include <cmath>
#include <cstring>

#include "framework/GraphicsCaches.h"
#include "framework/IGraphics.h"
#include "raster/bitmap.h"
#include "raster/blit.h"
#include "raster/rectops.h"

// ---- Bitmap cache ----

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int nFrames, bool framesHorizontal) {
  BitmapStorage& cache = GraphicsCaches::Bitmaps();
  KIT_MutexLock lock(cache.Mutex());
  RAST_IBitmap* bitmap = cache.Find(id);
  if (!bitmap) {
    RAST_IBitmap* loaded = OSLoadBitmap(id, name);
    if (!loaded) return IBitmap(nullptr, 0, 0, nFrames, framesHorizontal);
    const int lw = loaded->getWidth(), lh = loaded->getHeight();
    const double sw = lw * scale, sh = lh * scale;
    const int w = (sw > 0.0 && sw < 1e9) ? (int)sw : 0, h = (sh > 0.0 && sh < 1e9) ? (int)sh : 0;
    RAST_MemBitmap* scaled = (w > 0 && h > 0) ? new RAST_MemBitmap(w, h, 4) : nullptr;
    if (scaled && (scaled->getWidth() != w || scaled->getHeight() != h)) {
      delete scaled;
      scaled = nullptr;
    }
    if (scaled)
      RAST_ScaledBlit(scaled, loaded, 0, 0, w, h, 0.0f, 0.0f, (float)lw, (float)lh, 1.0f, kRasterFilterBilinear);
    delete loaded;
    if (!scaled) return IBitmap(nullptr, 0, 0, nFrames, framesHorizontal);
    cache.Add(scaled, id);
    bitmap = scaled;
  }
  return IBitmap(bitmap, bitmap->getWidth(), bitmap->getHeight(), nFrames, framesHorizontal);
}

IBitmap IGraphics::getImageById(int id, int nFrames, bool framesHorizontal) {
  RAST_IBitmap* bitmap = GraphicsCaches::Bitmaps().Find(id);
  if (!bitmap) return IBitmap(nullptr, 0, 0, nFrames, framesHorizontal);
  return IBitmap(bitmap, bitmap->getWidth(), bitmap->getHeight(), nFrames, framesHorizontal);
}

void IGraphics::RetainBitmap(IBitmap* bitmap) {
  if (bitmap && bitmap->mData) GraphicsCaches::Bitmaps().Add(bitmap->mData, -1);
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap) {
  if (bitmap && bitmap->mData) GraphicsCaches::Bitmaps().Remove(bitmap->mData);
}

// ---- Drawing ----

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend) {
  if (!bitmap || !bitmap->mData || !dest || !mDrawBitmap) return true;  // an empty bitmap draws nothing
  const IRECT c = mDrawRECT.Intersect(dest);
  if (c.Empty()) return true;
  RAST_Blit(mDrawBitmap, bitmap->mData, c.L, c.T, srcX + c.L - dest->L, srcY + c.T - dest->T, c.W(), c.H(),
            RasterBlendWeight(blend), RasterBlendMode(blend));
  return true;
}

// The source offset of a frame (1-based) along the frame direction; 0 for
// frame 1 and for bitmaps of fewer than two frames.
static int FrameOffset(const IBitmap* bitmap, int frame) {
  if (frame < 2 || bitmap->N < 2) return 0;
  const int extent = bitmap->mFramesAreHorizontal ? bitmap->W : bitmap->H;
  return (int)((double)(frame - 1) * extent / bitmap->N + 0.5);
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, const IChannelBlend* blend) {
  return DrawBitmap(bitmap, dest, frame, 0, 0, blend);
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY, const IChannelBlend* blend) {
  if (!bitmap) return true;
  const int offset = FrameOffset(bitmap, frame);
  if (bitmap->mFramesAreHorizontal)
    srcX = offset;
  else
    srcY = offset;
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend) {
  if (!color || !r || !mDrawBitmap) return false;
  RAST_FillRect(mDrawBitmap, r->L, r->T, r->W(), r->H(), color->Pack(), RasterBlendWeight(blend),
                RasterBlendMode(blend));
  return true;
}

bool IGraphics::DrawBitmapedText(IBitmap* font, IRECT* r, IText* text, const IChannelBlend* blend, const char* str,
                                 bool vCenter, bool multiline, int charWidth, int charHeight) {
  if (!font || !r || !str || charWidth < 1 || charHeight < 1) return false;
  const int len = (int)strnlen(str, 1 << 20);
  if (len == 0) return true;
  const int perLine = multiline ? (r->W() / charWidth > 0 ? r->W() / charWidth : 1) : len;
  const bool centre = text && text->mAlign == IText::kAlignCenter;
  int y = vCenter ? r->T + (r->H() - charHeight) / 2 : r->T;
  for (int first = 0; first < len; first += perLine, y += charHeight) {
    const int n = len - first < perLine ? len - first : perLine;
    int x = centre ? r->L + (r->W() - n * charWidth) / 2 : r->L + charWidth;
    for (int i = 0; i < n; ++i, x += charWidth) {
      const int frame = (unsigned char)str[first + i] - 31;
      if (frame < 1 || frame > font->Frames()) continue;
      IRECT cell(x, y, x + charWidth, y + charHeight);
      DrawBitmap(font, &cell, frame, blend);
    }
  }
  return true;
}

bool IGraphics::DrawPoint(const IColor* color, int x, int y, const IChannelBlend* blend) {
  if (!color || !mDrawBitmap) return false;
  RAST_PutPixel(mDrawBitmap, x, y, color->Pack(), RasterBlendWeight(blend), RasterBlendMode(blend));
  return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y) {
  if (!color || !mDrawBitmap) return false;
  RAST_PutPixel(mDrawBitmap, x, y, color->Pack(), 1.0f, RAST_BLIT_MODE_COPY);
  return true;
}

IColor IGraphics::GetPoint(int x, int y) {
  const RAST_pixel p = mDrawBitmap ? RAST_GetPixel(mDrawBitmap, x, y) : 0;
  return IColor(RAST_GETA(p), RAST_GETR(p), RAST_GETG(p), RAST_GETB(p));
}

void* IGraphics::GetBits() { return mDrawBitmap ? mDrawBitmap->getBits() : nullptr; }

// A new cached heap bitmap of w x h, or null.
static RAST_MemBitmap* NewCachedBitmap(int w, int h) {
  if (w < 1 || h < 1) return nullptr;
  auto* b = new RAST_MemBitmap(w, h, 4);
  if (b->getWidth() != w || b->getHeight() != h || !b->getBits()) {
    delete b;
    return nullptr;
  }
  GraphicsCaches::Bitmaps().Add(b, -1);
  return b;
}

IBitmap IGraphics::ScaleBitmap(IBitmap* src, int w, int h) {
  RAST_MemBitmap* b = src && src->mData ? NewCachedBitmap(w, h) : nullptr;
  if (!b) return IBitmap();
  RAST_ScaledBlit(b, src->mData, 0, 0, w, h, 0.0f, 0.0f, (float)src->W, (float)src->H, 1.0f, kRasterFilterBilinear);
  return IBitmap(b, w, h, src->N, src->mFramesAreHorizontal);
}

IBitmap IGraphics::CropBitmap(IBitmap* src, IRECT* r) {
  RAST_MemBitmap* b = src && src->mData && r ? NewCachedBitmap(r->W(), r->H()) : nullptr;
  if (!b) return IBitmap();
  RAST_Blit(b, src->mData, 0, 0, r->L, r->T, r->W(), r->H(), 1.0f, RAST_BLIT_MODE_COPY);
  return IBitmap(b, r->W(), r->H());
}

