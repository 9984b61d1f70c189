#include "raster/cachedfont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "raster/bitmap.h"
#include "raster/gradblur.h"
#include "raster/rectops.h"
#include "rastertest.h"

namespace {

HFONT sans(int px) { return CreateFont(-px, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans"); }

// The native measure of a string (and the metrics) in a context with the font selected.
RECT nativeMeasure(HFONT f, const char* s, TEXTMETRIC* tm = nullptr) {
  HDC dc = SHIM_CreateMemContext(nullptr, 4, 4);
  SelectObject(dc, f);
  RECT r = {0, 0, 0, 0};
  SHIM_DrawText(dc, s, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (tm) GetTextMetrics(dc, tm);
  SHIM_DeleteGfxContext(dc);
  return r;
}

std::vector<unsigned char> mapOf(RAST_CachedFont& f, unsigned short c) {
  const RAST_CachedFont::charEnt* e = f.findChar(c);
  if (!e || e->base_offset <= 0) return {};
  const unsigned char* p = f.coverageOf(e);
  return std::vector<unsigned char>(p, p + e->width * e->height);
}

using rastertest::logicalPixels;
using rastertest::px;

// The expected pixels of a w-wide bitmap of bg after c was painted at
// (left, top): pixelFor(coverage) where the coverage is not 0.
template <class F>
std::vector<RAST_pixel> painted(RAST_CachedFont& f, unsigned short c, int left, int top, int w, int h, RAST_pixel bg,
                                F&& pixelFor) {
  std::vector<RAST_pixel> v(static_cast<size_t>(w) * h, bg);
  const RAST_CachedFont::charEnt* e = f.findChar(c);
  const std::vector<unsigned char> m = mapOf(f, c);
  for (int y = 0; y < e->height; ++y)
    for (int x = 0; x < e->width; ++x)
      if (m[y * e->width + x]) v[(top + y) * w + left + x] = pixelFor(m[y * e->width + x]);
  return v;
}

// Measures text from an empty rectangle at (left, top); the height drawn
// goes to *ret when asked for.
RECT measure(RAST_CachedFont& f, const char* s, int count = -1, int flags = 0, int* ret = nullptr, int left = 0,
             int top = 0) {
  RECT r = {left, top, left, top};
  const int h = f.DrawText(nullptr, s, count, &r, flags | DT_CALCRECT);
  if (ret) *ret = h;
  return r;
}

// A glyph that could not be rendered: a failed record without advance, and
// text of it measures and draws nothing.
void expectFailed(RAST_CachedFont& f, unsigned short c, const char* text) {
  const RAST_CachedFont::charEnt* e = f.findChar(c);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->base_offset, -1);  // never a position past the pool
  EXPECT_EQ(e->advance, 0);
  int ret = -1;
  EXPECT_EQ(measure(f, text, -1, 0, &ret).right, 0);
  EXPECT_EQ(ret, 0);
}

// Whether any pixel inside (or outside) the rectangle differs from bg.
bool inked(RAST_IBitmap& b, const RECT& r, RAST_pixel bg, bool inside = true) {
  for (int y = 0; y < b.getHeight(); ++y)
    for (int x = 0; x < b.getWidth(); ++x)
      if ((x >= r.left && x < r.right && y >= r.top && y < r.bottom) == inside && px(b, x, y) != bg) return true;
  return false;
}
bool anyInside(RAST_IBitmap& b, const RECT& r, RAST_pixel bg) { return inked(b, r, bg, true); }
bool anyOutside(RAST_IBitmap& b, const RECT& r, RAST_pixel bg) { return inked(b, r, bg, false); }

// Deletes a font handle after the fonts declared later that borrow it.
struct HandleGuard {
  HFONT h;
  ~HandleGuard() { DeleteObject(h); }
};

class CachedFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf = sans(12);
    font.SetFromHFont(hf, RAST_FONT_FLAG_OWNS_HFONT);
  }
  HFONT hf = nullptr;
  RAST_CachedFont font;
};

TEST(Utf8Char, DecodesWithinTheCount) {
  const struct {
    const char* s;
    int count, len;
    unsigned short c;
  } cases[] = {
      {"\xE2\x82\xAC", 0, 3, 0x20AC}, {"\xC3\x28", 0, 1, 0xC3}, {"\xC0\x80", 0, 1, 0xC0}, {"\x80x", 0, 1, 0x80},
      {"\xF0\x9F\x98\x80", 0, 4, ' '},  // beyond 16 bits
      {"\xF5\x80\x80\x80", 0, 1, 0xF5}, {"\xED\xBF\xBF", 0, 3, 0xDFFF},
      {"\xE2\x82", 0, 1, 0xE2},  // the NUL is no continuation
      // A count that ends inside a sequence: the lead byte alone, nothing read past it.
      {"\xE2\x82\xAC", 2, 1, 0xE2}, {"\xC3\xA9", 1, 1, 0xC3}};
  for (const auto& c : cases) {
    unsigned short got = 0;
    EXPECT_EQ(c.count ? RAST_CachedFont::utf8char(c.s, &got, c.count) : RAST_CachedFont::utf8char(c.s, &got), c.len)
        << c.s;
    EXPECT_EQ(got, c.c) << c.s;
  }
  EXPECT_EQ(RAST_CachedFont::utf8char("\xC3\xA9", nullptr, 2), 2);
}

TEST_F(CachedFontTest, BindingAndRenderingOnce) {
  // Binding reads the line height and makes the shared scratch bitmap.
  TEXTMETRIC tm;
  const RECT n = nativeMeasure(hf, "A", &tm);
  EXPECT_EQ(font.GetLineHeight(), tm.tmHeight);
  ASSERT_NE(RAST_CachedFont::scratchBitmap(), nullptr);
  EXPECT_GE(RAST_CachedFont::scratchBitmap()->getWidth(), 256);

  const RAST_CachedFont::charEnt* a = font.findChar('A');
  ASSERT_NE(a, nullptr);  // the fixed slot, before any rendering
  EXPECT_EQ(a->base_offset, 0);
  EXPECT_EQ(font.findChar(0x263A), nullptr);
  EXPECT_EQ(font.renderCount(), 0);

  RECT r = measure(font, "AAAA");
  EXPECT_EQ(font.renderCount(), 1);
  a = font.findChar('A');
  EXPECT_EQ(a->advance, n.right);
  EXPECT_LE(a->height, n.bottom);
  EXPECT_GE(a->width, a->advance);
  EXPECT_EQ(r.right, 4 * a->advance + (a->width - a->advance));
  EXPECT_EQ(r.bottom, a->height);

  RAST_MemBitmap bm(100, 30, 4);
  RECT d = {0, 0, 100, 30};
  font.DrawText(&bm, "AAA", -1, &d, 0);
  EXPECT_EQ(font.renderCount(), 1);

  measure(font, "\xE2\x98\xBA\xE2\x98\xBA");
  EXPECT_EQ(font.renderCount(), 2);
  ASSERT_NE(font.findChar(0x263A), nullptr);
  EXPECT_EQ(font.listSize(), 1);
  // Binding again empties the cache.
  font.SetFromHFont(hf, RAST_FONT_FLAG_OWNS_HFONT);
  EXPECT_EQ(font.findChar(0x263A), nullptr);
  EXPECT_EQ(font.poolSize(), 0);
  EXPECT_EQ(font.findChar('A')->base_offset, 0);
}

TEST_F(CachedFontTest, ListStaysSortedAndFailuresAreNotRetried) {
  const unsigned short codes[] = {0x3A9, 0x100, 0x20AC, 0xE9, 0x2588, 0x101};
  for (unsigned short c : codes) EXPECT_TRUE(font.RenderGlyph(c));
  for (unsigned short c : codes) {
    const RAST_CachedFont::charEnt* e = font.findChar(c);
    ASSERT_NE(e, nullptr) << c;
    EXPECT_EQ(e->charid, c);
  }
  // A lone surrogate is no text for the engine: a failed record, kept.
  EXPECT_TRUE(font.RenderGlyph(0xD800));
  const int renders = font.renderCount();
  expectFailed(font, 0xD800, "\xED\xA0\x80");
  EXPECT_EQ(font.renderCount(), renders);
  // A space has an advance and an all-zero map.
  font.RenderGlyph(' ');
  const RAST_CachedFont::charEnt* sp = font.findChar(' ');
  EXPECT_GT(sp->base_offset, 0);
  EXPECT_GT(sp->advance, 0);
  for (unsigned char v : mapOf(font, ' ')) EXPECT_EQ(v, 0);
}

TEST(CachedFontFlags, ThresholdsEffectsInvertAndTurns) {
  const HandleGuard guard{sans(14)};
  const HFONT hf = guard.h;
  auto make = [&](int flags) {
    auto f = std::make_unique<RAST_CachedFont>();
    f->SetFromHFont(hf, flags);  // not owned: the test deletes the handle
    f->RenderGlyph('W');
    f->RenderGlyph('g');
    return f;
  };
  auto plain = make(0);
  auto mono = make(RAST_FONT_FLAG_MONO);
  auto shadow = make(RAST_FONT_FLAG_SHADOW);
  auto outline = make(RAST_FONT_FLAG_OUTLINE);
  auto both = make(RAST_FONT_FLAG_SHADOW | RAST_FONT_FLAG_OUTLINE);
  auto invert = make(RAST_FONT_FLAG_INVERT);
  auto turned = make(RAST_FONT_FLAG_VERTICAL);
  auto up = make(RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_BOTTOMUP);
  auto blurred = make(RAST_FONT_FLAG_BLUR);

  const std::vector<unsigned char> p = mapOf(*plain, 'W');
  const RAST_CachedFont::charEnt* pe = plain->findChar('W');
  ASSERT_FALSE(p.empty());
  bool grey = false;
  for (unsigned char v : p) grey |= v > 0 && v < 255;
  EXPECT_TRUE(grey);

  const std::vector<unsigned char> m = mapOf(*mono, 'W');
  ASSERT_EQ(m.size(), p.size());
  for (size_t i = 0; i < p.size(); ++i) ASSERT_EQ(m[i], p[i] > 130 ? 255 : 0);

  for (auto* f : {shadow.get(), outline.get()}) {
    std::set<int> values;
    for (unsigned char v : mapOf(*f, 'W')) values.insert(v);
    EXPECT_TRUE(values.count(128));
    for (int v : values) EXPECT_TRUE(v == 0 || v == 128 || v == 255) << v;
  }
  EXPECT_EQ(mapOf(*both, 'W'), mapOf(*shadow, 'W'));  // shadow wins
  // The shadow pass marks exactly the empty pixels right of, below-right of
  // or below a full one.
  const std::vector<unsigned char> s = mapOf(*shadow, 'W');
  const int w = pe->width, h = pe->height;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto full = [&](int xx, int yy) { return xx >= 0 && yy >= 0 && m[yy * w + xx] == 255; };
      const int expect = m[y * w + x] ? 255 : (full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1)) ? 128 : 0;
      ASSERT_EQ(s[y * w + x], expect) << x << "," << y;
    }

  // Invert: the same map size (the used width comes from the raw bytes).
  const std::vector<unsigned char> inv = mapOf(*invert, 'W');
  ASSERT_EQ(inv.size(), p.size());
  for (size_t i = 0; i < p.size(); ++i) ASSERT_EQ(inv[i], 255 - p[i]);

  // Turned maps: sizes exchanged, pixels a quarter turn either way.
  const RAST_CachedFont::charEnt* te = turned->findChar('W');
  const RAST_CachedFont::charEnt* ue = up->findChar('W');
  ASSERT_EQ(te->width, h);
  ASSERT_EQ(te->height, w);
  ASSERT_EQ(ue->width, h);
  const std::vector<unsigned char> t = mapOf(*turned, 'W'), u = mapOf(*up, 'W');
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < h; ++x) {
      ASSERT_EQ(t[y * h + x], p[(h - 1 - x) * w + y]);
      ASSERT_EQ(u[y * h + x], p[x * w + (w - 1 - y)]);
    }

  // Blur happens on the rendered glyph before its map is taken.
  EXPECT_NE(mapOf(*blurred, 'W'), p);
}

TEST(CachedFontFlags, EffectPassesStayInsideEachMap) {
  // A full block inks its map to the edges; the glyph after it in the pool
  // must not see its pixels as neighbours.
  const HandleGuard guard{sans(13)};
  RAST_CachedFont after, alone;
  after.SetFromHFont(guard.h, RAST_FONT_FLAG_OUTLINE);
  alone.SetFromHFont(guard.h, RAST_FONT_FLAG_OUTLINE);
  after.RenderGlyph(0x2588);
  after.RenderGlyph('l');
  alone.RenderGlyph('l');
  EXPECT_EQ(mapOf(after, 'l'), mapOf(alone, 'l'));
}

void* noRealloc(void*, size_t) { return nullptr; }
void* noMalloc(size_t) { return nullptr; }

TEST_F(CachedFontTest, PoolThatCannotGrowGivesAFailedRecord) {
  const KIT_HeapBuf::Allocator exhausted = {noRealloc, noMalloc, std::free};
  KIT_HeapBuf::SetAllocator(&exhausted);
  EXPECT_TRUE(font.RenderGlyph('A'));
  KIT_HeapBuf::SetAllocator(nullptr);
  EXPECT_EQ(font.poolSize(), 0);
  expectFailed(font, 'A', "A");
}

TEST(CachedFontFlags, PrecalcAndLimits) {
  {
    const HandleGuard guard{sans(11)};
    RAST_CachedFont pre;
    pre.SetFromHFont(guard.h, RAST_FONT_FLAG_PRECALCALL);
    EXPECT_EQ(pre.renderCount(), 128);
    EXPECT_FALSE(pre.RenderGlyph(0xE9));
    EXPECT_EQ(measure(pre, "Ab").right, measure(pre, "A\xC3\xA9" "b").right);
    EXPECT_EQ(pre.renderCount(), 128);
  }

  // A line height above 1023 renders nothing and draws natively.
  HFONT big = sans(1500);
  RAST_CachedFont huge;
  huge.SetFromHFont(big, RAST_FONT_FLAG_OWNS_HFONT);
  ASSERT_GT(huge.GetLineHeight(), 1023);
  EXPECT_FALSE(huge.RenderGlyph('A'));
  int ret = 0;
  EXPECT_EQ(measure(huge, "A", -1, RAST_DT_NO_NATIVE, &ret).right, nativeMeasure(big, "A").right);
  EXPECT_EQ(ret, nativeMeasure(big, "A").bottom);
  EXPECT_EQ(huge.renderCount(), 0);
}

static_assert(!std::is_copy_constructible_v<RAST_CachedFont> && !std::is_copy_assignable_v<RAST_CachedFont>,
              "a copy would delete the native font twice");

TEST_F(CachedFontTest, CachedMeasuringLinesAndSpaces) {
  const int L = font.GetLineHeight();
  int ret = 0;
  const RECT r = measure(font, "A\nB", -1, 0, &ret, 5, 7);
  const RAST_CachedFont::charEnt* a = font.findChar('A');
  const RAST_CachedFont::charEnt* b = font.findChar('B');
  EXPECT_EQ(ret, L + b->height);
  EXPECT_EQ(r.bottom, 7 + L + b->height);
  EXPECT_EQ(r.right, 5 + std::max({a->advance, a->width, b->advance, b->width}));

  const RECT s = measure(font, "A\r\nB", -1, DT_SINGLELINE);
  font.RenderGlyph(' ');
  const int sp = font.findChar(' ')->advance;
  EXPECT_EQ(s.right, std::max(a->advance + sp + b->advance, a->advance + sp + b->width));
  EXPECT_EQ(s.bottom, std::max(a->height, b->height));
  // The count limits the bytes read; 0 draws and measures nothing.
  EXPECT_EQ(measure(font, "AB", 1, 0, &ret).right, std::max(a->advance, a->width));
  EXPECT_EQ(ret, a->height);
  EXPECT_EQ(measure(font, "AB", 0, 0, &ret).right, 0);
  EXPECT_EQ(ret, 0);
  // Two bytes of a three-byte character: the lead byte and the stray
  // continuation byte count as characters; nothing after them is read.
  font.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT);
  EXPECT_EQ(measure(font, "\xE2\x82\xAC" "ABC", 2).right, measure(font, "\xC3\xA2\xC2\x82").right);  // U+00E2 U+0082
  EXPECT_EQ(font.findChar('A')->base_offset, 0);
}

TEST_F(CachedFontTest, NormalPainterMatchesTheCombinerExactly) {
  RAST_MemBitmap bm(60, 30, 4);
  font.SetTextColor(RAST_RGBA(200, 100, 50, 255));
  RECT r = {3, 4, 60, 30};
  auto copyText = [](int w) { return rastertest::apply<_RAST_CombinePixelsCopyNoClamp>(0, 200, 100, 50, 255, w); };
  // Full opacity paints coverage v at weight v + 1; half opacity at weight
  // 128, per pixel min(v x 128 / 256, 256).
  for (float opacity : {1.f, 0.5f}) {
    RAST_Clear(&bm, 0);
    font.SetCombineMode(0, opacity);
    const int ret = font.DrawText(&bm, "A", -1, &r, 0);
    EXPECT_EQ(ret, font.findChar('A')->height);
    EXPECT_EQ(logicalPixels(bm), painted(font, 'A', 3, 4, 60, 30, 0u, [&](int v) {
                return copyText(opacity == 1.f ? v + 1 : v * 128 / 256);
              })) << opacity;
  }

  // Opacity 0 and modes above 5 draw nothing.
  RAST_Clear(&bm, 0);
  font.SetCombineMode(0, 0.f);
  EXPECT_EQ(font.DrawText(&bm, "A", -1, &r, 0), 0);
  font.SetCombineMode(6, 1.f);
  font.DrawText(&bm, "A", -1, &r, 0);
  EXPECT_FALSE(anyInside(bm, {0, 0, 60, 30}, 0));
  // The text colour's alpha scales the opacity under the alpha flag.
  font.SetCombineMode(0x10000, 1.f);  // the source-alpha flag plays no part
  font.SetTextColor(RAST_RGBA(255, 255, 255, 0));
  EXPECT_EQ(font.DrawText(&bm, "A", -1, &r, RAST_DT_USEFGALPHA), 0);
  font.SetTextColor(RAST_RGBA(255, 255, 255, 255));
  font.DrawText(&bm, "A", -1, &r, 0);
  EXPECT_TRUE(anyInside(bm, {0, 0, 60, 30}, 0));
}

TEST(CachedFontPaint, MonoAndEffectFastPathsWriteWholePixels) {
  RAST_CachedFont f;
  f.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_SHADOW);
  const RAST_pixel fg = RAST_RGBA(10, 20, 30, 40), fx = RAST_RGBA(1, 2, 3, 4), bg = RAST_RGBA(9, 9, 9, 9);
  f.SetTextColor(fg);
  f.SetEffectColor(fx);
  RAST_MemBitmap bm(40, 30, 4);
  RAST_Clear(&bm, bg);
  RECT r = {0, 0, 40, 30};
  f.DrawText(&bm, "W", -1, &r, 0);
  int ink = 0, fxn = 0;
  EXPECT_EQ(logicalPixels(bm), painted(f, 'W', 0, 0, 40, 30, bg, [&](int v) {
              ink += v == 255;
              fxn += v == 128;
              return v == 255 ? fg : fx;
            }));
  EXPECT_GT(ink, 0);
  EXPECT_GT(fxn, 0);
  // Above full opacity monochrome painting is capped at weight 256.
  f.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_MONO);
  f.SetCombineMode(0, 2.5f);
  RAST_Clear(&bm, bg);
  f.DrawText(&bm, "W", -1, &r, 0);
  EXPECT_EQ(logicalPixels(bm), painted(f, 'W', 0, 0, 40, 30, bg, [](int) { return RAST_RGBA(10, 20, 30, 255); }));
}

TEST_F(CachedFontTest, AlignmentAndClippingOnTheCachedPath) {
  font.SetTextColor(RAST_RGBA(255, 255, 255, 255));
  const int W = 120, H = 40;
  RAST_MemBitmap bm(W, H, 4);
  auto draw = [&](const char* s, RECT r, int flags, bool clear = true) {
    if (clear) RAST_Clear(&bm, 0);
    font.DrawText(&bm, s, -1, &r, flags);
    return logicalPixels(bm);
  };
  // Right and bottom alignment move the text by the free space.
  const RECT area = {10, 5, 110, 35}, m = measure(font, "Hi");
  const auto left = draw("Hi", area, 0), right = draw("Hi", area, DT_RIGHT | DT_BOTTOM);
  const int dx = area.right - m.right - area.left, dy = area.bottom - m.bottom - area.top;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int sx = x - dx, sy = y - dy;
      ASSERT_EQ(right[y * W + x], sx >= 0 && sy >= 0 && sx < W && sy < H ? left[sy * W + sx] : 0) << x << "," << y;
    }
  // Centre wins over right here.
  EXPECT_EQ(draw("Hi", area, DT_CENTER), draw("Hi", area, DT_CENTER | DT_RIGHT));

  // Centred in a rectangle narrower than the text: clipped to it unless NOCLIP.
  const RECT narrow = {50, 10, 58, 30};
  draw("Wide text", narrow, DT_CENTER);
  EXPECT_FALSE(anyOutside(bm, narrow, 0));
  EXPECT_TRUE(anyInside(bm, narrow, 0));
  draw("Wide text", narrow, DT_CENTER | DT_NOCLIP);
  EXPECT_TRUE(anyOutside(bm, narrow, 0));
  // Far outside the bitmap, with and without clipping: nothing, no fault.
  RAST_Clear(&bm, 0);
  for (int flags : {0, static_cast<int>(DT_NOCLIP), static_cast<int>(DT_NOCLIP | DT_RIGHT | DT_BOTTOM)}) {
    draw("Off", {-500, -300, -400, -280}, flags, false);
    draw("Off", {1000, 1000, 2000, 2000}, flags, false);
  }
  EXPECT_TRUE(rastertest::allAre(bm, 0));
  // Opaque background fills each glyph's cut cell.
  font.SetBkMode(OPAQUE);
  font.SetBkColor(RAST_RGBA(0, 0, 255, 255));
  RECT cell = {0, 0, 120, 40};
  font.DrawText(&bm, "H", -1, &cell, 0);
  const RAST_CachedFont::charEnt* h = font.findChar('H');
  EXPECT_EQ(RAST_GETB(px(bm, h->width - 1, h->height - 1)), 255);
  EXPECT_EQ(px(bm, h->width, 0), 0u);
}

TEST_F(CachedFontTest, VerticalTextReturnsItsWidth) {
  font.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_BOTTOMUP);
  RAST_MemBitmap bm(40, 120, 4);
  RAST_Clear(&bm, 0);
  font.SetTextColor(RAST_RGBA(255, 255, 255, 255));
  int w = 0;
  const RECT m = measure(font, "Up", -1, 0, &w);
  EXPECT_EQ(w, m.right);
  RECT r = {5, 5, 35, 115};
  EXPECT_EQ(font.DrawText(&bm, "Up", -1, &r, 0), font.findChar('U')->width);
  EXPECT_FALSE(anyOutside(bm, r, 0));
  EXPECT_TRUE(anyInside(bm, {5, 5, 35, 5 + m.bottom}, 0));
}

TEST(CachedFontPaths, NativeForOpaqueTextCachedOtherwise) {
  RAST_CachedFont f;
  f.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT | RAST_FONT_FLAG_FORCE_NATIVE);
  f.SetTextColor(RAST_RGBA(255, 255, 255, 255));
  RAST_SysBitmap surface(100, 30);
  RECT r = {0, 0, 100, 30};
  const RECT n = nativeMeasure(f.GetHFont(), "Label");
  EXPECT_EQ(f.DrawText(&surface, "Label", -1, &r, DT_NOCLIP), n.bottom);
  EXPECT_EQ(f.renderCount(), 0);  // straight into the surface's context
  EXPECT_TRUE(anyInside(surface, r, 0));
  // Measuring goes native too, with right = left + w and bottom = top + h.
  const RECT m = measure(f, "Label", -1, 0, nullptr, 7, 8);
  EXPECT_EQ(m.right, 7 + n.right);
  EXPECT_EQ(m.bottom, 8 + n.bottom);
  EXPECT_EQ(f.renderCount(), 0);
  ASSERT_NE(RAST_CachedFont::nativeScratchBitmap(), nullptr);

  // Translucent text goes the cached path at opacity alpha / 255.
  f.SetTextColor(RAST_RGBA(255, 255, 255, 128));
  f.DrawText(&surface, "Label", -1, &r, DT_NOCLIP | RAST_DT_USEFGALPHA);
  EXPECT_GT(f.renderCount(), 0);
  // The cached advances agree with the native width (no kerning).
  measure(f, "Label", -1, RAST_DT_NO_NATIVE);
  int adv = 0;
  for (char ch : std::string("Label")) adv += f.findChar(ch)->advance;
  EXPECT_EQ(adv, n.right);

  // A heap bitmap has no context: the native path draws through the
  // scratch and copies back at the font's opacity.
  RAST_MemBitmap mem(100, 30, 4);
  RAST_Clear(&mem, 0);
  f.SetTextColor(RAST_RGBA(255, 255, 255, 255));
  const int before = f.renderCount();
  RECT mr = {60, 0, 100, 30};
  f.DrawText(&mem, "Label", -1, &mr, DT_RIGHT);
  EXPECT_EQ(f.renderCount(), before);
  EXPECT_TRUE(anyInside(mem, mr, 0));
  EXPECT_FALSE(anyOutside(mem, mr, 0));
}

TEST(CachedFontPaths, RectanglesAtTheEndsOfTheIntRange) {
  const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
  for (int fontFlags : {0, int{RAST_FONT_FLAG_FORCE_NATIVE}, RAST_FONT_FLAG_VERTICAL | RAST_FONT_FLAG_BOTTOMUP}) {
    RAST_CachedFont f;
    f.SetFromHFont(sans(12), RAST_FONT_FLAG_OWNS_HFONT | fontFlags);
    f.SetTextColor(RAST_RGBA(255, 255, 255, 255));
    RAST_MemBitmap mem(40, 20, 4);  // no context: the native path goes through the scratch
    RAST_SysBitmap sys(40, 20);
    for (RAST_IBitmap* bm : {static_cast<RAST_IBitmap*>(&mem), static_cast<RAST_IBitmap*>(&sys)}) {
      RAST_Clear(bm, 0);
      for (int flags : {0, DT_RIGHT | DT_BOTTOM, DT_CENTER | DT_VCENTER | DT_NOCLIP}) {
        RECT far = {big - 3, big - 3, big, big};
        f.DrawText(bm, "Far\naway", -1, &far, flags);
        RECT wide = {small, small, big, big};
        f.DrawText(bm, "Far\naway", -1, &wide, flags);
      }
      RECT m = {big - 3, big - 3, 0, 0};
      EXPECT_GT(f.DrawText(bm, "Far", -1, &m, DT_CALCRECT), 0);
      EXPECT_EQ(m.right, big);  // saturated, not wrapped
      EXPECT_EQ(m.bottom, big);
    }
  }
}

TEST(CachedFontLifetime, ScratchBitmapsGoWithTheLastFont) {
  ASSERT_EQ(RAST_CachedFont::liveFonts(), 0);
  {
    RAST_CachedFont a, b;
    a.SetFromHFont(sans(10), RAST_FONT_FLAG_OWNS_HFONT);
    b.SetFromHFont(sans(10), RAST_FONT_FLAG_OWNS_HFONT);
    EXPECT_EQ(RAST_CachedFont::liveFonts(), 2);
    EXPECT_NE(RAST_CachedFont::scratchBitmap(), nullptr);
  }
  EXPECT_EQ(RAST_CachedFont::scratchBitmap(), nullptr);
  EXPECT_EQ(RAST_CachedFont::nativeScratchBitmap(), nullptr);
  RAST_CachedFont c;
  EXPECT_EQ(RAST_CachedFont::scratchBitmap(), nullptr);  // made on first use
  c.SetFromHFont(sans(10), RAST_FONT_FLAG_OWNS_HFONT);
  EXPECT_NE(RAST_CachedFont::scratchBitmap(), nullptr);
  // Rebinding an owning font deletes the old handle, not the same one.
  HFONT keep = c.GetHFont();
  c.SetFromHFont(keep, RAST_FONT_FLAG_OWNS_HFONT);
  EXPECT_EQ(keep->_infreelist, 0);
}

}  // namespace
