// The font cache and text drawing through cached fonts.
#include <cstring>

#include "framework/GraphicsCaches.h"
#include "framework/IGraphics.h"
#include "raster/bitmap.h"
#include "raster/cachedfont.h"
#include "shim/wingdi.h"

RAST_CachedFont* FontStorage::Find(const IText* t) {
  KIT_MutexLock lock(mMutex);
  for (const Entry& e : mEntries)
    if (e.size == t->mSize && e.orientation == t->mOrientation && e.style == t->mStyle &&
        strncmp(e.name.c_str(), t->mFont, sizeof(t->mFont)) == 0)
      return e.font;
  return nullptr;
}

void FontStorage::Add(RAST_CachedFont* font, const IText* t) {
  KIT_MutexLock lock(mMutex);
  mEntries.push_back(Entry{t->mSize, t->mOrientation, t->mStyle, std::string(t->mFont, strnlen(t->mFont, sizeof(t->mFont))), font});
}

void FontStorage::Clear() {
  KIT_MutexLock lock(mMutex);
  while (!mEntries.empty()) {
    RAST_CachedFont* f = mEntries.back().font;
    mEntries.pop_back();
    delete f;
  }
}

int FontStorage::Count() {
  KIT_MutexLock lock(mMutex);
  return (int)mEntries.size();
}

// ---- Font cache ----

static int FontQuality(int textQuality) {
  switch (textQuality) {
    case IText::kQualityDefault: return DEFAULT_QUALITY;
    case IText::kQualityNonAntiAliased: return NONANTIALIASED_QUALITY;
    case IText::kQualityAntiAliased:
    case IText::kQualityClearType: return ANTIALIASED_QUALITY;
    default: return NONANTIALIASED_QUALITY;
  }
}

static HGDIOBJ MakeNativeFont(const IText* t, int h) {
  const int esc = t->mOrientation * 10;
  return CreateFont(h, 0, esc, esc, t->mStyle == IText::kStyleBold ? FW_BOLD : FW_NORMAL,
                    t->mStyle == IText::kStyleItalic ? 1 : 0, 0, 0, 0, 0, 0, FontQuality(t->mQuality), 0, t->mFont);
}

// The font owns and deletes its native font, and draws natively.
static const int kFontBindFlags = 0x200 | 0x400;

RAST_IFont* IGraphics::CacheFont(IText* t) {
  if (!t) return nullptr;
  FontStorage& cache = GraphicsCaches::Fonts();
  KIT_MutexLock lock(cache.Mutex());
  if (RAST_CachedFont* found = cache.Find(t)) {
    t->mCached = found;
    return found;
  }
  int h = t->mSize < 2 ? 2 : t->mSize;
  HGDIOBJ native = MakeNativeFont(t, h);
  if (!native) return nullptr;
  RAST_CachedFont* font = new RAST_CachedFont;
  font->SetFromHFont(native, kFontBindFlags);
  // Correct the size once so that the line height comes out as asked. The
  // second native font replaces the first, which the font deletes.
  const int lineHeight = font->GetLineHeight();
  if (lineHeight > 0 && lineHeight != h) {
    int corrected = (int)((double)h * h / lineHeight + 0.5);
    if (corrected < 2) corrected = 2;
    if (HGDIOBJ second = MakeNativeFont(t, corrected)) font->SetFromHFont(second, kFontBindFlags);
  }
  cache.Add(font, t);
  t->mCached = font;
  return font;
}

// ---- Drawing ----

bool IGraphics::DrawIText(IText* t, const char* str, IRECT* r, bool measure) {
  if (!str || !*str) return true;
  if (!t || !r) return false;
  RAST_IFont* f = t->mCached ? t->mCached : CacheFont(t);
  if (!f) return false;
  RAST_CachedFont* font = static_cast<RAST_CachedFont*>(f);
  font->SetTextColor(t->mColor.Pack());
  int flags = DT_NOCLIP;
  if (t->mColor.A != 255) flags |= 0x40000000;
  if (t->mAlign == IText::kAlignCenter) flags |= DT_CENTER;
  else if (t->mAlign == IText::kAlignFar) flags |= DT_RIGHT;
  if (t->mVAlign == IText::kVAlignBottom) flags |= DT_BOTTOM;
  else if (t->mVAlign == IText::kVAlignMiddle) flags |= DT_VCENTER;

  if (!measure) {
    if (!mDrawBitmap) return false;
    RECT rr = {r->L, r->T, r->R, r->B};
    font->DrawText(mDrawBitmap, str, -1, &rr, flags);
    return true;
  }
  RECT rr = {0, 0, 0, 0};
  font->DrawText(mDrawBitmap, str, -1, &rr, flags | DT_CALCRECT);
  const int w = rr.right - rr.left, h = rr.bottom - rr.top;
  if (t->mAlign == IText::kAlignNear) {
    r->R = r->L + w;
  } else if (t->mAlign == IText::kAlignCenter) {
    r->L = (int)((r->L + r->R) * 0.5) - w / 2;
    r->R = r->L + w;
  } else if (t->mAlign == IText::kAlignFar) {
    r->L = r->R - w;
    r->R = r->L + w;
  }
  r->B = r->T + h;
  return true;
}
