// The cached font's text layout: the native path through the emulation
// layer, measuring and drawing from the glyph cache, and glyph painting.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "raster/blit.h"
#include "raster/cachedfont.h"
#include "raster/rectops.h"
#include "raster/rows.h"

namespace {

constexpr unsigned int kAlignFlags = DT_VCENTER | DT_CENTER | DT_BOTTOM | DT_RIGHT;
constexpr int kEffectFlags = RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_BOTTOMUP | RAST_FONT_FLAG_PRECALCALL |
                             RAST_FONT_FLAG_BLUR | RAST_FONT_FLAG_INVERT | RAST_FONT_FLAG_MONO |
                             RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_OUTLINE;

// Layout arithmetic is done in 64 bits and saturated back to int, so that
// rectangles near the ends of the int range cannot overflow.
int saturate(int64_t v) { return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v); }

// A raster pixel as the emulation layer's 0x00RRGGBB colour.
int toColorRef(RAST_pixel c) {
  return static_cast<int>((c >> 24) | ((c >> 8) & 0xFF00) | ((c & 0xFF00) << 8));
}

// One cut glyph: coverage rows advance by the glyph width, destination rows
// by step bytes.
struct GlyphSpan {
  const unsigned char* cov;
  int covStride;
  unsigned char* dest;
  ptrdiff_t step;
  int w, h;
};

template <class COMB>
struct GlyphRenderer {
  static void Mono(const GlyphSpan& g, int r, int gr, int b, int weight) {
    for (int y = 0; y < g.h; ++y) {
      const unsigned char* c = g.cov + y * g.covStride;
      unsigned char* d = g.dest + y * g.step;
      for (int x = 0; x < g.w; ++x, d += 4)
        if (c[x]) COMB::doPix(d, r, gr, b, 255, weight);
    }
  }
  static void Effect(const GlyphSpan& g, int r, int gr, int b, int weight, int er, int eg, int eb) {
    for (int y = 0; y < g.h; ++y) {
      const unsigned char* c = g.cov + y * g.covStride;
      unsigned char* d = g.dest + y * g.step;
      for (int x = 0; x < g.w; ++x, d += 4) {
        if (c[x] == 255)
          COMB::doPix(d, r, gr, b, 255, weight);
        else if (c[x])
          COMB::doPix(d, er, eg, eb, 255, weight);
      }
    }
  }
  static void Normal(const GlyphSpan& g, int r, int gr, int b, int weight) {
    for (int y = 0; y < g.h; ++y) {
      const unsigned char* c = g.cov + y * g.covStride;
      unsigned char* d = g.dest + y * g.step;
      for (int x = 0; x < g.w; ++x, d += 4) {
        const int v = c[x];
        if (!v) continue;
        if (weight == 256) {
          COMB::doPix(d, r, gr, b, 255, v + 1);
        } else {
          const int64_t wv = static_cast<int64_t>(v) * weight / 256;
          COMB::doPix(d, r, gr, b, 255, static_cast<int>(std::min<int64_t>(wv, 256)));
        }
      }
    }
  }
};

enum class Painter { Mono, Effect, Normal };

template <class COMB>
void paint(Painter p, const GlyphSpan& g, RAST_pixel fg, RAST_pixel fx, int weight) {
  const int r = RAST_GETR(fg), gr = RAST_GETG(fg), b = RAST_GETB(fg);
  switch (p) {
    case Painter::Mono: GlyphRenderer<COMB>::Mono(g, r, gr, b, weight); break;
    case Painter::Effect: GlyphRenderer<COMB>::Effect(g, r, gr, b, weight, RAST_GETR(fx), RAST_GETG(fx), RAST_GETB(fx)); break;
    case Painter::Normal: GlyphRenderer<COMB>::Normal(g, r, gr, b, weight); break;
  }
}

// Whole pixels, no blending: full coverage gets fg, other non-zero coverage
// gets fx (or fg when there are no effect pixels).
void paintWhole(const GlyphSpan& g, RAST_pixel fg, RAST_pixel fx) {
  for (int y = 0; y < g.h; ++y) {
    const unsigned char* c = g.cov + y * g.covStride;
    RAST_pixel* d = reinterpret_cast<RAST_pixel*>(g.dest + y * g.step);
    for (int x = 0; x < g.w; ++x)
      if (c[x]) d[x] = c[x] == 255 ? fg : fx;
  }
}

// A line feed: horizontal text returns to the origin's x one line lower;
// vertical text returns to the origin's y one line to the right.
template <class I>
void newLine(I& x, I& y, I x0, I y0, bool vertical, int lineHeight) {
  if (vertical) {
    x += lineHeight;
    y = y0;
  } else {
    x = x0;
    y += lineHeight;
  }
}

}  // namespace

int RAST_CachedFont::DrawText(RAST_IBitmap* bm, const char* text, int count, RECT* rect, int flags) {
  return DrawTextImpl(bm, text, count, rect, static_cast<unsigned int>(flags));
}

int RAST_CachedFont::DrawTextImpl(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags) {
  if (!text || !rect) return 0;
  if (!(flags & DT_CALCRECT) && !bm) return 0;
  const bool native = m_lineheight > 255 ||
                      ((m_flags & RAST_FONT_FLAG_FORCE_NATIVE) && !(m_flags & kEffectFlags) &&
                       !(flags & (RAST_DT_USEFGALPHA | RAST_DT_NO_NATIVE)) && m_font);
  if (native) return drawNative(bm, text, count, rect, flags);
  if (flags & DT_CALCRECT) return measureCached(text, count, rect, flags);
  return drawCached(bm, text, count, rect, flags);
}

void RAST_CachedFont::applyNativeColours(HDC dc) {
  ::SetTextColor(dc, toColorRef(m_fg));
  ::SetBkMode(dc, m_bgmode);
  if (m_bgmode == OPAQUE) ::SetBkColor(dc, toColorRef(m_bg));
}

int RAST_CachedFont::drawNative(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags) {
  HDC dc = bm ? bm->getDC() : nullptr;
  const int nflags = static_cast<int>((flags & ~RAST_DT_NO_NATIVE) | DT_NOPREFIX);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, m_font);
    RECT r = *rect;
    applyNativeColours(dc);
    const int ret = SHIM_DrawText(dc, text, count, &r, nflags);
    if (flags & DT_CALCRECT) *rect = r;
    if (old) SelectObject(dc, old);
    return ret;
  }

  RAST_SysBitmap*& scratch = nativeScratchRef();
  if (!scratch) scratch = new RAST_SysBitmap();
  if (scratch->getWidth() < 4 || scratch->getHeight() < 4)
    scratch->resize(std::max(scratch->getWidth(), 4), std::max(scratch->getHeight(), 4));
  HDC sdc = scratch->getDC();
  if (!sdc) return 0;
  HGDIOBJ old = SelectObject(sdc, m_font);
  RECT mr = {0, 0, 0, 0};
  const unsigned int mflags = (flags & ~(kAlignFlags | RAST_DT_NO_NATIVE)) | DT_CALCRECT | DT_NOPREFIX;
  const int measured = SHIM_DrawText(sdc, text, count, &mr, static_cast<int>(mflags));
  const int w = mr.right, h = mr.bottom;
  auto done = [&](int ret) {
    HDC cur = scratch->getDC();
    if (old && cur) SelectObject(cur, old);
    return ret;
  };
  const int64_t left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  if (flags & DT_CALCRECT) {
    rect->right = saturate(left + w);
    rect->bottom = saturate(top + h);
    return done(measured);
  }
  if (!bm) return done(measured);

  int64_t x64, y64;
  if (flags & DT_RIGHT)
    x64 = right - w;
  else if (flags & DT_CENTER)
    x64 = (left + right - w) / 2;
  else
    x64 = left;
  if (flags & DT_BOTTOM)
    y64 = bottom - h;
  else if (flags & DT_VCENTER)
    y64 = (top + bottom - h) / 2;
  else
    y64 = top;
  int64_t bl = x64, bt = y64;
  int64_t br = std::min<int64_t>(x64 + w, bm->getWidth()), bb = std::min<int64_t>(y64 + h, bm->getHeight());
  if (!(flags & DT_NOCLIP)) {
    br = std::min(br, right);
    bb = std::min(bb, bottom);
    bl = std::max({bl, left, int64_t{0}});
    bt = std::max({bt, top, int64_t{0}});
  } else {
    bl = std::max(bl, int64_t{0});
    bt = std::max(bt, int64_t{0});
  }
  if (br <= bl || bb <= bt) return done(measured);
  // A box that is not empty lies inside the bitmap, and the text starts
  // less than its own size before it: all of these fit an int.
  const RECT box = {static_cast<int>(bl), static_cast<int>(bt), static_cast<int>(br), static_cast<int>(bb)};
  const int x = static_cast<int>(x64), y = static_cast<int>(y64);
  const int bw = box.right - box.left, bh = box.bottom - box.top;
  if (scratch->getWidth() < bw || scratch->getHeight() < bh) {
    scratch->resize(std::max(scratch->getWidth(), bw), std::max(scratch->getHeight(), bh));
    sdc = scratch->getDC();
    if (!sdc) return 0;
    SelectObject(sdc, m_font);
  }
  RAST_Blit(scratch, bm, 0, 0, box.left, box.top, bw, bh, 1.0f, 0);
  applyNativeColours(sdc);
  RECT tr = {x - box.left, y - box.top, x - box.left + w, y - box.top + h};
  const unsigned int dflags = (flags & ~(kAlignFlags | DT_NOCLIP | RAST_DT_NO_NATIVE)) | DT_NOPREFIX;
  const int ret = SHIM_DrawText(sdc, text, count, &tr, static_cast<int>(dflags));
  RAST_Blit(bm, scratch, box.left, box.top, 0, 0, bw, bh, m_alpha, 0);
  return done(ret);
}

RAST_CachedFont::charEnt* RAST_CachedFont::glyphFor(unsigned short c) {
  charEnt* e = findChar(c);
  if (!e) {
    const int before = m_list.GetSize();
    RenderGlyph(c);
    if (m_list.GetSize() != before) e = findChar(c);
    if (!e) return nullptr;
  }
  if (e->base_offset < 0) return nullptr;
  if (e->base_offset == 0) {
    RenderGlyph(c);
    e = findChar(c);
    if (!e || e->base_offset <= 0) return nullptr;
  }
  return e;
}

RAST_CachedFont::Step RAST_CachedFont::nextStep(const char*& p, int& remaining, bool bounded, unsigned int flags,
                                                 const charEnt** e) {
  while (*p && (!bounded || remaining > 0)) {
    unsigned short c;
    const int n = utf8char(p, &c, bounded ? remaining : -1);
    p += n;
    remaining -= n;
    if (c == '\r') continue;
    if (c == '\n') {
      if (!(flags & DT_SINGLELINE)) return kLineBreak;
      c = ' ';
    }
    if ((*e = glyphFor(c)) != nullptr) return kGlyph;
  }
  return kEnd;
}

int RAST_CachedFont::measureCached(const char* text, int count, RECT* rect, unsigned int flags) {
  const bool vertical = (m_flags & RAST_FONT_FLAG_VERTICAL) != 0;
  int x = 0, y = 0, width = 0, height = 0;
  int remaining = count;
  const char* p = text;
  const charEnt* e = nullptr;
  for (Step st; (st = nextStep(p, remaining, count >= 0, flags, &e)) != kEnd;) {
    if (st == kLineBreak) {
      newLine(x, y, 0, 0, vertical, m_lineheight);
      continue;
    }
    if (vertical) {
      width = std::max(width, x + e->width);
      height = std::max({height, y + e->advance, y + e->height});
      y += e->advance;
    } else {
      width = std::max({width, x + e->advance, x + e->width});
      height = std::max(height, y + e->height);
      x += e->advance;
    }
  }
  rect->right = saturate(static_cast<int64_t>(rect->left) + width);
  rect->bottom = saturate(static_cast<int64_t>(rect->top) + height);
  return vertical ? width : height;
}

int RAST_CachedFont::drawCached(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags) {
  const float keptAlpha = m_alpha;
  struct Restore {
    float& a;
    float v;
    ~Restore() { a = v; }
  } restore{m_alpha, keptAlpha};
  if (flags & RAST_DT_USEFGALPHA) m_alpha = keptAlpha * (static_cast<float>(RAST_GETA(m_fg)) / 255.0f);
  if (m_alpha == 0.0f) return 0;

  const bool vertical = (m_flags & RAST_FONT_FLAG_VERTICAL) != 0;
  const bool bottomUp = vertical && (m_flags & RAST_FONT_FLAG_BOTTOMUP);
  // The pen runs in 64 bits; glyphs beyond the int range lie outside any clip.
  const int64_t left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  int64_t x0 = left, y0 = top;
  if (!(flags & kAlignFlags)) {
    if (bottomUp) {
      RECT tr = {0, 0, 0, 0};
      measureCached(text, count, &tr, flags);
      y0 += tr.bottom;
    }
  } else {
    RECT tr = {0, 0, 0, 0};
    DrawTextImpl(bm, text, count, &tr, (flags & (DT_SINGLELINE | RAST_DT_NO_NATIVE)) | DT_CALCRECT);
    const int64_t w = tr.right, h = tr.bottom;
    if (flags & DT_CENTER)
      x0 = (right - left - w) / 2 + left;
    else if (flags & DT_RIGHT)
      x0 = right - w;
    if (flags & DT_VCENTER)
      y0 = (bottom - top - h) / 2 + top;
    else if (flags & DT_BOTTOM)
      y0 = bottom - h;
    if (bottomUp) y0 += h;
  }

  RECT clip;
  if (flags & DT_NOCLIP) {
    clip = {0, 0, bm->getWidth(), bm->getHeight()};
  } else {
    clip = {std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, bm->getWidth()),
            std::min(rect->bottom, bm->getHeight())};
    if (clip.right <= clip.left || clip.bottom <= clip.top) return 0;
  }

  int64_t x = x0, y = y0, lowest = y0, rightmost = x0;
  int remaining = count;
  const char* p = text;
  const charEnt* e = nullptr;
  for (Step st; (st = nextStep(p, remaining, count >= 0, flags, &e)) != kEnd;) {
    if (st == kLineBreak) {
      newLine(x, y, x0, y0, vertical, m_lineheight);
      continue;
    }
    if (static_cast<int64_t>(e->base_offset) - 1 + static_cast<int64_t>(e->width) * e->height > m_pool.GetSize())
      continue;
    const int64_t gw = e->width, gh = e->height, adv = e->advance;
    if (bottomUp) y -= gh;
    const bool painted = DrawGlyph(bm, static_cast<unsigned short>(e->charid), saturate(x), saturate(y), &clip);
    if (!vertical) {
      x += adv;
      if (painted) lowest = std::max(lowest, y + gh);
    } else {
      y += bottomUp ? gh - adv : adv;
      if (painted) rightmost = std::max(rightmost, x + gw);
    }
  }
  return saturate(vertical ? rightmost - x0 : lowest - y0);
}

bool RAST_CachedFont::DrawGlyph(RAST_IBitmap* bm, unsigned short c, int x, int y, const RECT* clip) {
  const charEnt* e = findChar(c);
  if (!e || e->base_offset <= 0 || !bm || !clip) return false;
  const int64_t gx1 = static_cast<int64_t>(x) + e->width, gy1 = static_cast<int64_t>(y) + e->height;
  if (gx1 <= clip->left || clip->right <= x || gy1 <= clip->top || clip->bottom <= y) return false;

  // The cut glyph, also kept inside the bitmap.
  const int cx0 = std::max({x, static_cast<int>(clip->left), 0});
  const int cy0 = std::max({y, static_cast<int>(clip->top), 0});
  const int cx1 = static_cast<int>(std::min<int64_t>({gx1, clip->right, bm->getWidth()}));
  const int cy1 = static_cast<int>(std::min<int64_t>({gy1, clip->bottom, bm->getHeight()}));
  RAST_pixel* bits = bm->getBits();
  if (cx1 <= cx0 || cy1 <= cy0 || !bits) return true;

  if (m_bgmode == OPAQUE) RAST_FillRect(bm, cx0, cy0, cx1 - cx0, cy1 - cy0, m_bg, m_alpha, m_comb & ~RAST_BLIT_USE_SOURCE_ALPHA);

  const rast_detail::RowCursor cur = rast_detail::logicalAt(bm, bits, bm->getRowSpan(), cx0, cy0);
  GlyphSpan g;
  g.cov = coverageOf(e) + (cy0 - y) * e->width + (cx0 - x);
  g.covStride = e->width;
  g.dest = cur.first;
  g.step = cur.step;
  g.w = cx1 - cx0;
  g.h = cy1 - cy0;

  const int mode = m_comb & RAST_BLIT_MODE_MASK;
  if (mode > RAST_BLIT_MODE_HSVADJ) return true;
  Painter painter = Painter::Normal;
  if (m_flags & RAST_FONT_FLAG_MONO)
    painter = Painter::Mono;
  else if (m_flags & (RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_OUTLINE))
    painter = Painter::Effect;
  if (painter != Painter::Normal && m_alpha == 1.0f && mode == 0) {
    paintWhole(g, m_fg, painter == Painter::Mono ? m_fg : m_effectcol);
    return true;
  }
  int weight = RAST_WeightFromAlpha(static_cast<double>(m_alpha));
  if (painter != Painter::Normal) weight = std::min(weight, 256);
  if (weight <= 0) return true;
  switch (mode) {
    case 0: paint<_RAST_CombinePixelsCopyNoClamp>(painter, g, m_fg, m_effectcol, weight); break;
    case 1: paint<_RAST_CombinePixelsAdd>(painter, g, m_fg, m_effectcol, weight); break;
    case 2: paint<_RAST_CombinePixelsColorDodge>(painter, g, m_fg, m_effectcol, weight); break;
    case 3: paint<_RAST_CombinePixelsMulNoClamp>(painter, g, m_fg, m_effectcol, weight); break;
    case 4: paint<_RAST_CombinePixelsOverlay>(painter, g, m_fg, m_effectcol, weight); break;
    case 5: paint<_RAST_CombinePixelsHSVAdjust>(painter, g, m_fg, m_effectcol, weight); break;
  }
  return true;
}
