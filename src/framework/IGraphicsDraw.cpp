// The graphics context's bitmap and font cache operations and its drawing
// wrappers over the raster library.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/DeferredBitmap.h"
#include "framework/GraphicsCaches.h"
#include "framework/IGraphics.h"
#include "raster/bitmap.h"
#include "raster/blit.h"
#include "raster/circles.h"
#include "raster/deltablit.h"
#include "raster/fills.h"
#include "raster/lines.h"
#include "raster/rectops.h"

// ---- Bitmap cache ----

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int nFrames, bool framesHorizontal) {
  BitmapStorage& cache = GraphicsCaches::Bitmaps();
  KIT_MutexLock lock(cache.Mutex());
  RAST_IBitmap* bitmap = cache.Find(id);
  if (!bitmap) {
    std::unique_ptr<RAST_IBitmap> made;
    std::vector<uint8_t> png = OSLoadBitmapFile(id, name);
    if (!png.empty())
      made = DeferredBitmap::FromPNG(std::move(png), scale);
    else
      made = ScaledForCache(std::unique_ptr<RAST_IBitmap>(OSLoadBitmap(id, name)), scale);
    if (!made) return IBitmap(nullptr, 0, 0, nFrames, framesHorizontal);
    bitmap = made.release();
    cache.Add(bitmap, id);
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

// ---- Lines and shapes ----

bool IGraphics::DrawLine(const IColor* color, int x1, int y1, int x2, int y2, const IChannelBlend* blend, bool aa) {
  if (!color || !mDrawBitmap) return false;
  RAST_Line(mDrawBitmap, x1, y1, x2, y2, color->Pack(), RasterBlendWeight(blend), RasterBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int y, int xLo, int xHi, const IChannelBlend* blend) {
  return DrawLine(color, xLo, y, xHi, y, blend);
}

bool IGraphics::DrawVerticalLine(const IColor* color, int x, int yLo, int yHi, const IChannelBlend* blend) {
  return DrawLine(color, x, yLo, x, yHi, blend);
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool aa) {
  if (!color || !mDrawBitmap) return false;
  const float s = std::sin(angle), c = std::cos(angle);
  RAST_FLine(mDrawBitmap, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, color->Pack(),
             RasterBlendWeight(blend), RasterBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool aa) {
  if (!color || !mDrawBitmap) return false;
  RAST_Arc(mDrawBitmap, cx, cy, r, minAngle, maxAngle, color->Pack(), RasterBlendWeight(blend),
           RasterBlendMode(blend), aa);
  return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend, bool aa) {
  if (!color || !mDrawBitmap) return false;
  RAST_Circle(mDrawBitmap, cx, cy, r, color->Pack(), RasterBlendWeight(blend), RasterBlendMode(blend), aa);
  return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend, bool aa) {
  if (!color || !mDrawBitmap) return false;
  RAST_FillCircle(mDrawBitmap, (float)cx, (float)cy, r, color->Pack(), RasterBlendWeight(blend),
                  RasterBlendMode(blend), aa);
  return true;
}

// The raster outlines run from x to x + w inclusive: one less than the
// rectangle's width keeps them on its own pixels.
bool IGraphics::DrawRect(const IColor* color, IRECT* r, const IChannelBlend* blend) {
  if (!color || !r || !mDrawBitmap) return false;
  if (r->W() > 0 && r->H() > 0)
    RAST_DrawRect(mDrawBitmap, r->L, r->T, r->W() - 1, r->H() - 1, color->Pack(), RasterBlendWeight(blend),
                  RasterBlendMode(blend));
  return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool aa) {
  if (!color || !r || !mDrawBitmap) return false;
  if (r->W() > 0 && r->H() > 0)
    RAST_RoundRect(mDrawBitmap, (float)r->L, (float)r->T, (float)(r->W() - 1), (float)(r->H() - 1), cornerRadius,
                   color->Pack(), RasterBlendWeight(blend), RasterBlendMode(blend), aa);
  return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool aa) {
  if (!color || !r || !mDrawBitmap) return false;
  const int w = r->W(), h = r->H();
  if (w <= 0 || h <= 0) return true;
  const RAST_pixel c = color->Pack();
  const float weight = RasterBlendWeight(blend);
  const int mode = RasterBlendMode(blend);
  const int radius = std::min(std::max(cornerRadius, 0), std::min(w, h) / 2);
  RAST_FillRect(mDrawBitmap, r->L, r->T + radius, w, h - 2 * radius, c, weight, mode);
  // Each corner row, with its mirror at the bottom, spans the pixels whose
  // centres lie inside the corner circles (centred radius in from the
  // edges); aa widens it by the pixel the curve crosses, at partial weight.
  for (int i = 0; i < radius; ++i) {
    const double dy = radius - i - 0.5;
    const double inset = radius - std::sqrt((double)radius * radius - dy * dy);
    const int full = aa ? (int)std::ceil(inset) : (int)std::ceil(inset - 0.5);
    const float cover = (float)(std::ceil(inset) - inset);
    for (int y : {r->T + i, r->B - 1 - i}) {
      if (w > 2 * full) RAST_FillRect(mDrawBitmap, r->L + full, y, w - 2 * full, 1, c, weight, mode);
      if (aa && cover > 0.0f) {
        RAST_PutPixel(mDrawBitmap, r->L + full - 1, y, c, weight * cover, mode);
        RAST_PutPixel(mDrawBitmap, r->R - full, y, c, weight * cover, mode);
      }
    }
  }
  return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* blend) {
  if (!color || !mDrawBitmap) return false;
  RAST_FillTriangle(mDrawBitmap, x1, y1, x2, y2, x3, y3, color->Pack(), RasterBlendWeight(blend),
                    RasterBlendMode(blend));
  return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, const int* x, const int* y, int n,
                                   const IChannelBlend* blend) {
  if (!color || !x || !y || !mDrawBitmap) return false;
  RAST_FillConvexPolygon(mDrawBitmap, x, y, n, color->Pack(), RasterBlendWeight(blend), RasterBlendMode(blend));
  return true;
}

// ---- Rotated bitmaps ----

// The bitmap turned by the angle about the point yOffset pixels below its
// centre, with that point put at the centre of area, drawn within area.
static void RotateInto(RAST_IBitmap* dest, const IBitmap* b, const IRECT& area, double angle, int yOffset,
                       const IChannelBlend* blend) {
  // A source rectangle of the area's size about the bitmap's centre keeps
  // the scale 1:1; reading stops at the bitmap's edges.
  RAST_RotatedBlit(dest, b->mData, area.L, area.T, area.W(), area.H(), (float)(b->W - area.W()) * 0.5f,
                   (float)(b->H - area.H()) * 0.5f, (float)area.W(), (float)area.H(), (float)angle, true,
                   RasterBlendWeight(blend), RasterBlendMode(blend) | kRasterFilterBilinear, 0.0f, (float)yOffset);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend) {
  if (!bitmap || !bitmap->mData || !mDrawBitmap) return false;
  const IRECT area(destCtrX - bitmap->W / 2, destCtrY - bitmap->H / 2, destCtrX - bitmap->W / 2 + bitmap->W,
                   destCtrY - bitmap->H / 2 + bitmap->H);
  RotateInto(mDrawBitmap, bitmap, area, angle, yOffsetZeroDeg, blend);
  return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend) {
  if (!base || !mask || !top || !base->mData || !mask->mData || !top->mData || !mDrawBitmap) return false;
  const IRECT area(x, y, x + base->W, y + base->H);
  const float weight = RasterBlendWeight(blend);
  const int mode = RasterBlendMode(blend);
  RAST_Blit(mDrawBitmap, base->mData, x, y, 0, 0, base->W, base->H, weight, mode);
  RotateInto(mDrawBitmap, mask, area, angle, 0, blend);
  RAST_Blit(mDrawBitmap, top->mData, x + (base->W - top->W) / 2, y + (base->H - top->H) / 2, 0, 0, top->W, top->H,
            weight, mode);
  return true;
}
