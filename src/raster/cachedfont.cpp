// The cached font's glyph cache: binding a native font, rendering glyphs
// into coverage maps with their effect passes, and UTF-8 decoding.
#include "raster/cachedfont.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "raster/gradblur.h"
#include "raster/rectops.h"
#include "raster/rows.h"

namespace {

RAST_SysBitmap* s_tempbitmap = nullptr;
RAST_SysBitmap* s_nativerender_tempbitmap = nullptr;
int s_tempbitmap_refcnt = 0;

// White text on an opaque black background, as glyphs are rendered.
void prepareScratchContext(RAST_SysBitmap* bm) {
  HDC dc = bm->getDC();
  ::SetTextColor(dc, 0xFFFFFF);
  ::SetBkMode(dc, OPAQUE);
  ::SetBkColor(dc, 0);
}

// Grows the glyph scratch to at least size x size.
void ensureScratch(int size) {
  if (!s_tempbitmap) s_tempbitmap = new RAST_SysBitmap();
  if (s_tempbitmap->getWidth() < size || s_tempbitmap->getHeight() < size) {
    s_tempbitmap->resize(size, size);
    if (s_tempbitmap->getDC()) prepareScratchContext(s_tempbitmap);
  }
}

int encodeUtf8(unsigned short c, char* out) {
  if (c < 128) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 2048) {
    out[0] = static_cast<char>(0xC0 + (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 63));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (c >> 12));
  out[1] = static_cast<char>(0x80 | ((c >> 6) & 63));
  out[2] = static_cast<char>(0x80 | (c & 63));
  return 3;
}

int charSortFunc(const void* a, const void* b) {
  return static_cast<const RAST_CachedFont::charEnt*>(a)->charid -
         static_cast<const RAST_CachedFont::charEnt*>(b)->charid;
}

// Marks effect pixels (128) next to full pixels (255) in one pass in reading
// order; neighbours outside the map count as empty.
void effectPass(unsigned char* map, int w, int h, bool shadow) {
  auto px = [&](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= w || y >= h) return 0;
    return map[y * w + x];
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (map[y * w + x]) continue;
      bool mark;
      if (shadow)
        mark = px(x - 1, y) == 255 || px(x - 1, y - 1) == 255 || px(x, y - 1) == 255;
      else
        mark = px(x, y - 1) == 255 || px(x, y + 1) == 255 || px(x - 1, y) == 255 || px(x + 1, y) == 255;
      if (mark) map[y * w + x] = 128;
    }
}

}  // namespace

RAST_CachedFont::RAST_CachedFont() {
  std::memset(m_lowchars, 0, sizeof(m_lowchars));
  ++s_tempbitmap_refcnt;
}

RAST_CachedFont::~RAST_CachedFont() {
  if ((m_flags & RAST_FONT_FLAG_OWNS_HFONT) && m_font) DeleteObject(m_font);
  if (--s_tempbitmap_refcnt == 0) {
    delete s_tempbitmap;
    s_tempbitmap = nullptr;
    delete s_nativerender_tempbitmap;
    s_nativerender_tempbitmap = nullptr;
  }
}

RAST_SysBitmap* RAST_CachedFont::scratchBitmap() { return s_tempbitmap; }
RAST_SysBitmap* RAST_CachedFont::nativeScratchBitmap() { return s_nativerender_tempbitmap; }
RAST_SysBitmap*& RAST_CachedFont::nativeScratchRef() { return s_nativerender_tempbitmap; }
int RAST_CachedFont::liveFonts() { return s_tempbitmap_refcnt; }

RAST_pixel RAST_CachedFont::SetTextColor(RAST_pixel colour) { return std::exchange(m_fg, colour); }
RAST_pixel RAST_CachedFont::SetBkColor(RAST_pixel colour) { return std::exchange(m_bg, colour); }
RAST_pixel RAST_CachedFont::SetEffectColor(RAST_pixel colour) { return std::exchange(m_effectcol, colour); }
int RAST_CachedFont::SetBkMode(int mode) { return std::exchange(m_bgmode, mode); }
void RAST_CachedFont::SetCombineMode(int mode, float alpha) {
  m_comb = mode;
  m_alpha = alpha;
}

void RAST_CachedFont::SetFromHFont(HGDIOBJ font, int flags) {
  if ((m_flags & RAST_FONT_FLAG_OWNS_HFONT) && m_font && m_font != font) DeleteObject(m_font);
  m_flags = flags;
  m_font = font;
  if (font) {
    if (!s_tempbitmap) s_tempbitmap = new RAST_SysBitmap();
    if (s_tempbitmap->getWidth() < 256 || s_tempbitmap->getHeight() < 256) {
      s_tempbitmap->resize(256, 256);
      if (s_tempbitmap->getDC()) prepareScratchContext(s_tempbitmap);
    }
    HDC dc = s_tempbitmap->getDC();
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    if (old) SelectObject(dc, old);
    // With no context there are no metrics either: keep the line height.
    if (dc) m_lineheight = tm.tmHeight;
  }
  std::memset(m_lowchars, 0, sizeof(m_lowchars));
  m_list.Resize(0, true);
  m_pool.Free();
  if (m_flags & RAST_FONT_FLAG_PRECALCALL)
    for (unsigned short c = 0; c < 128; ++c) RenderGlyph(c);
}

RAST_CachedFont::charEnt* RAST_CachedFont::findChar(unsigned short c) {
  if (c < 128) return &m_lowchars[c];
  if (m_list.GetSize() == 0) return nullptr;
  charEnt key = {};
  key.charid = c;
  return static_cast<charEnt*>(std::bsearch(&key, m_list.Get(), static_cast<size_t>(m_list.GetSize()),
                                            sizeof(charEnt), charSortFunc));
}

const unsigned char* RAST_CachedFont::coverageOf(const charEnt* e) const {
  if (!e || e->base_offset <= 0) return nullptr;
  return static_cast<const unsigned char*>(m_pool.Get()) + e->base_offset - 1;
}

void RAST_CachedFont::storeFailed(charEnt* e) {
  e->base_offset = -1;
  e->width = e->height = e->advance = 0;
}

bool RAST_CachedFont::RenderGlyph(unsigned short c) {
  if (m_lineheight > 1023) return false;
  bool added = false;
  charEnt* rec = findChar(c);
  if (!rec) {
    if (m_flags & RAST_FONT_FLAG_PRECALCALL) return false;
    const int n = m_list.GetSize();
    if (!m_list.Resize(n + 1) || m_list.GetSize() != n + 1) return true;  // no memory: not cached
    rec = &m_list[n];
    std::memset(rec, 0, sizeof(*rec));
    rec->charid = c;
    added = true;
  }
  rec->charid = c;
  if (rec->base_offset == 0) {
    ++m_renders;
    const int size = 2 * std::max(m_lineheight, 1) + 8;
    ensureScratch(size);
    RAST_SysBitmap* sb = s_tempbitmap;
    HDC dc = sb->getDC();
    HGDIOBJ oldfont = m_font ? SelectObject(dc, m_font) : nullptr;

    char buf[4];
    const int len = encodeUtf8(c, buf);
    RECT r = {0, 0, 0, 0};
    SHIM_DrawText(dc, buf, len, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    int advance = r.right;
    r.right += m_lineheight < 16 ? 2 : m_lineheight / 16 + 2;
    RAST_FillRect(sb, 0, 0, r.right, r.bottom, 0, 1.0f, 0);
    SHIM_DrawText(dc, buf, len, &r, DT_SINGLELINE | DT_NOPREFIX);

    advance = std::min(advance, sb->getWidth());
    r.right = std::min(r.right, sb->getWidth());
    r.bottom = std::min(r.bottom, sb->getHeight());
    if (oldfont) SelectObject(dc, oldfont);

    RAST_pixel* bits = sb->getBits();
    if (advance < 1 || r.bottom < 1 || !bits) {
      storeFailed(rec);
    } else {
      rec->advance = advance;
      if (m_flags & RAST_FONT_FLAG_BLUR) RAST_Blur(sb, sb, 0, 0, 0, 0, r.right, r.bottom);
      int W = r.right;
      const int H = r.bottom;
      const int old = m_pool.GetSize();
      const int64_t want = static_cast<int64_t>(old) + static_cast<int64_t>(W) * H;
      if (want <= INT_MAX) m_pool.Resize(static_cast<int>(want));
      if (m_pool.GetSize() != want) {
        storeFailed(rec);
      } else {
        rec->base_offset = old + 1;
        unsigned char* map = static_cast<unsigned char*>(m_pool.Get()) + old;
        const rast_detail::RowCursor cur = rast_detail::logicalAt(sb, bits, sb->getRowSpan(), 0, 0);
        const bool invert = (m_flags & RAST_FONT_FLAG_INVERT) != 0;
        int used = advance;
        for (int y = 0; y < H; ++y) {
          const unsigned char* p = cur.first + y * cur.step;
          for (int x = 0; x < W; ++x) {
            const unsigned char red = p[x * 4 + RAST_BYTE_R];
            map[y * W + x] = invert ? static_cast<unsigned char>(255 - red) : red;
            if (red && x >= used) used = x + 1;
          }
        }
        if (used < W) {
          for (int y = 1; y < H; ++y) std::memmove(map + y * used, map + y * W, static_cast<size_t>(used));
          m_pool.Resize(old + used * H);
          W = used;
        }
        int outW = W, outH = H;
        if (m_flags & RAST_FONT_FLAG_VERTICAL) {
          outW = H;
          outH = W;
          const std::vector<unsigned char> src(map, map + W * H);  // unturned: W wide, H high
          const bool up = (m_flags & RAST_FONT_FLAG_BOTTOMUP) != 0;
          for (int y = 0; y < outH; ++y)
            for (int x = 0; x < outW; ++x)
              map[y * outW + x] = up ? src[x * W + (outH - 1 - y)] : src[(outW - 1 - x) * W + y];
        }
        if (m_flags & (RAST_FONT_FLAG_MONO | RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_OUTLINE)) {
          for (int i = 0; i < outW * outH; ++i) map[i] = map[i] > 130 ? 255 : 0;
          if (m_flags & (RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_OUTLINE))
            effectPass(map, outW, outH, (m_flags & RAST_FONT_FLAG_SHADOW) != 0);
        }
        rec->width = outW;
        rec->height = outH;
      }
    }
  }
  if (added && m_list.GetSize() >= 2) {
    std::qsort(m_list.Get(), static_cast<size_t>(m_list.GetSize()), sizeof(charEnt), charSortFunc);
  }
  return true;
}

int RAST_CachedFont::utf8char(const char* text, unsigned short* out, int maxBytes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned b0 = p[0];
  auto cont = [&](int i) {
    if (maxBytes >= 0 && i >= maxBytes) return false;
    return (p[i] & 0xC0) == 0x80;
  };
  unsigned value = b0;
  int used = 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (cont(1)) {
      value = ((b0 & 31) << 6) | (p[1] & 63);
      used = 2;
    }
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (cont(1) && cont(2)) {
      value = ((b0 << 12) | ((p[1] & 63) << 6) | (p[2] & 63)) & 0xFFFF;
      used = 3;
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (cont(1) && cont(2) && cont(3)) {
      value = ' ';
      used = 4;
    }
  }
  if (out) *out = static_cast<unsigned short>(value);
  return used;
}
