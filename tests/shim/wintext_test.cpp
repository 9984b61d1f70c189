#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "platform/textengine.h"
#include "recttest.h"
#include "shim/wingdi.h"

namespace {

HFONT sansFont(int height, int weight = FW_NORMAL, char quality = 0) {
  return CreateFont(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, quality, 0, "DejaVu Sans");
}

// A memory context with a selected 12 px sans font, and the formulas of the
// text box computed from the engine's own metrics.
class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dc = SHIM_CreateMemContext(nullptr, kW, kH);
    ASSERT_NE(dc, nullptr);
    fnt = sansFont(-12);
    SelectObject(dc, fnt);
    pf = SHIM_ContextFont(dc);
    ASSERT_EQ(pf, fnt->ct_FontRef);
    m = platform::fontGetMetrics(pf);
    lineH = static_cast<int>(std::floor(m.ascent + m.descent + m.leading + 1.5f));
  }
  void TearDown() override {
    SHIM_DeleteGfxContext(dc);
    DeleteObject(fnt);
  }
  int width(const std::u32string& s) { return platform::measureLine(pf, s.data(), s.size()); }
  uint8_t* px(int x, int y) { return static_cast<uint8_t*>(SHIM_GetCtxFrameBuffer(dc)) + (y * kW + x) * 4; }
  bool allZero() {
    const uint8_t* p = px(0, 0);
    return std::all_of(p, p + kW * kH * 4, [](uint8_t b) { return b == 0; });
  }
  RECT calc(const char* text, int len = -1, int flags = 0) {
    RECT r = {3, 4, 3, 4};
    last = SHIM_DrawText(dc, text, len, &r, flags | DT_CALCRECT);
    return r;
  }
  // Bounding box and count of the pixels equal to the colour c in bytes 1-3;
  // any other pixel touched there counts in *others.
  RECT boxOf(COLORREF c, int* count, int* others) {
    RECT box = {kW, kH, -1, -1};
    *count = *others = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint8_t* p = px(x, y);
        if (p[1] != (c >> 16 & 0xFF) || p[2] != (c >> 8 & 0xFF) || p[3] != (c & 0xFF)) {
          *others += p[1] || p[2] || p[3];
          continue;
        }
        ++*count;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
      }
    return box;
  }
  // Text and background both in colour c: the text box is exactly the
  // filled area.
  void solid(COLORREF c) { opaque(c, c); }
  // Text and an opaque background in the given colours.
  void opaque(COLORREF text, COLORREF bk) {
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
    SetBkMode(dc, OPAQUE);
  }

  static constexpr int kW = 200, kH = 80;
  HDC dc = nullptr;
  HFONT fnt = nullptr;
  platform::Font* pf = nullptr;
  platform::FontMetrics m;
  int lineH = 0;
  int last = 0;
};

TEST_F(TextTest, CalcRectLineBreaksAndSingleLine) {
  EXPECT_EQ(calc("Hello"), (RECT{3, 4, 3 + width(U"Hello"), 4 + lineH + 1}));
  EXPECT_EQ(last, lineH + 1);
  EXPECT_TRUE(allZero());  // measuring draws nothing
  RECT r = calc("ab\r\ncdef");
  EXPECT_EQ(last, 2 * lineH + 1);
  EXPECT_EQ(r.right - 3, std::max(width(U"ab"), width(U"cdef")));
  r = calc("ab\r\ncdef", -1, DT_SINGLELINE);
  EXPECT_EQ(last, lineH + 1);
  EXPECT_EQ(r.right - 3, width(U"ab cdef"));
  r = calc("a\rb");  // a carriage return alone is dropped
  EXPECT_EQ(r.right - 3, width(U"ab"));
  EXPECT_EQ(last, lineH + 1);
  calc("x\n\ny");
  EXPECT_EQ(last, 3 * lineH + 1);
  calc("x\n");  // a final line feed opens no line
  EXPECT_EQ(last, lineH + 1);
}

TEST_F(TextTest, RectanglesAtTheEndsOfTheIntRange) {
  const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
  for (int flags : {0, DT_CENTER | DT_VCENTER, DT_RIGHT | DT_BOTTOM}) {
    RECT r = {small + 5, small + 5, big - 5, big - 5};
    EXPECT_EQ(SHIM_DrawText(dc, "Hello", -1, &r, flags), lineH + 1) << flags;
  }
  RECT r = {big - 5, big - 5, 0, 0};
  EXPECT_EQ(SHIM_DrawText(dc, "Hello", -1, &r, DT_CALCRECT), lineH + 1);
  EXPECT_EQ(r, (RECT{big - 5, big - 5, big, big}));  // saturated, not wrapped
}

TEST_F(TextTest, PrefixAmpersands) {
  // a final '&' ends the text; with no-prefix every '&' shows
  const struct {
    const char* text;
    int flags;
    const char32_t* shown;
  } cases[] = {{"&&", 0, U"&"},   {"&Save", 0, U"Save"}, {"A&", 0, U"A"}, {"&&&x", 0, U"&x"},
               {"&Save", DT_NOPREFIX, U"&Save"}, {"&&", DT_NOPREFIX, U"&&"}};
  for (const auto& c : cases) EXPECT_EQ(calc(c.text, -1, c.flags).right - 3, width(c.shown)) << c.text;
}

TEST_F(TextTest, NothingToDrawLeavesTheRectangle) {
  const struct {
    HDC ctx;
    const char* text;
    int len;
  } cases[] = {{dc, "", -1},      {dc, "\r\r\r", -1}, {dc, "&", -1}, {dc, "abc", 0}, {dc, nullptr, -1},
               {nullptr, "abc", -1}, {dc, "a\xC3", -1} /* no UTF-8 and no ASCII either */};
  for (const auto& c : cases)
    for (int flags : {0, DT_CALCRECT}) {
      SCOPED_TRACE(testing::Message() << (c.text ? c.text : "(null)") << " len " << c.len << " flags " << flags);
      RECT r = {1, 2, 3, 4};
      EXPECT_EQ(SHIM_DrawText(c.ctx, c.text, c.len, &r, flags), 0);
      EXPECT_EQ(r, (RECT{1, 2, 3, 4}));
      EXPECT_EQ(SHIM_DrawText(dc, "abc", -1, nullptr, flags), 0);  // a null rectangle is refused
    }
  EXPECT_TRUE(allZero());
}

TEST_F(TextTest, CountAndLengthLimits) {
  EXPECT_EQ(calc("abcdef", 3).right - 3, width(U"abc"));
  EXPECT_EQ(calc("ab\0cd", 5).right - 3, width(U"ab"));  // a NUL ends it earlier
  const int adv = platform::fontAdvance(pf, U'i');
  EXPECT_EQ(calc(std::string(5000, 'i').c_str()).right - 3, 4095 * adv);
  // A two-byte character that would not fit whole is left out, not split.
  EXPECT_EQ(calc((std::string(4094, 'i') + "\xC3\xA9zz").c_str()).right - 3, 4094 * adv);
  EXPECT_EQ(calc((std::string(4093, 'i') + "\xC3\xA9zz").c_str()).right - 3,
            4093 * adv + platform::fontAdvance(pf, 0xE9));
}

TEST_F(TextTest, AlignmentPlacesTheBackgroundBox) {
  const RECT area = {10, 5, 190, 75};
  const int W = width(U"HH"), T = lineH + 1;
  const int cx = area.left + (area.right - area.left) / 2 - W / 2;
  const int cy = area.top + (area.bottom - area.top) / 2 - T / 2;
  const struct {
    int flags, x, y;
  } cases[] = {
      {0, area.left, area.top},
      {DT_RIGHT, area.right - W, area.top},
      {DT_CENTER, cx, area.top},
      {DT_RIGHT | DT_CENTER, area.right - W, area.top},  // right wins
      {DT_BOTTOM, area.left, area.bottom - T},
      {DT_VCENTER, area.left, cy},
      {DT_BOTTOM | DT_VCENTER | DT_CENTER, cx, area.bottom - T},  // bottom wins
  };
  solid(0x00102030);
  for (const auto& c : cases) {
    std::memset(px(0, 0), 0, kW * kH * 4);
    RECT r = area;
    EXPECT_EQ(SHIM_DrawText(dc, "HH", -1, &r, c.flags), T);
    EXPECT_EQ(r, area);  // drawing leaves the rectangle alone
    int n = 0, others = 0;
    EXPECT_EQ(boxOf(0x00102030, &n, &others), (RECT{c.x, c.y, c.x + W, c.y + T})) << c.flags;
    EXPECT_EQ(n, W * T) << c.flags;
    EXPECT_EQ(others, 0) << c.flags;
  }
}

TEST_F(TextTest, SeveralLinesStepByTheRoundedLineHeight) {
  solid(0x00405060);
  RECT r = {0, 0, kW, kH};
  EXPECT_EQ(SHIM_DrawText(dc, "HHHH\nH", -1, &r, 0), 2 * lineH + 1);
  const float lh = m.ascent + m.descent + m.leading;
  const int step = static_cast<int>(std::floor(lh + 0.5f));
  const platform::PixelRect a = platform::pixelsCovered(0, 0, static_cast<float>(width(U"HHHH")), lh);
  const platform::PixelRect b = platform::pixelsCovered(0, static_cast<float>(step), static_cast<float>(width(U"H")), lh);
  int n = 0, others = 0;
  const RECT box = boxOf(0x00405060, &n, &others);
  EXPECT_EQ(others, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.bottom, b.bottom);
  EXPECT_EQ(box.right, a.right);
  EXPECT_EQ(n, (a.right - a.left) * (a.bottom - a.top) + (b.right - b.left) * (b.bottom - b.top) -
                   std::max(0, a.bottom - b.top) * (b.right - b.left));
}

TEST_F(TextTest, ClipsToTheRectangleUnlessNoClip) {
  solid(0x00FFFFFF);
  RECT r = {20, 10, 40, 20};  // smaller than the text
  SHIM_DrawText(dc, "Clipped text", -1, &r, 0);
  int n = 0, others = 0;
  EXPECT_EQ(boxOf(0x00FFFFFF, &n, &others), r);
  EXPECT_EQ(n, 20 * 10);
  EXPECT_EQ(others, 0);
  SHIM_DrawText(dc, "Clipped text", -1, &r, DT_NOCLIP);
  EXPECT_NE(px(r.right + 2, r.top + 1)[3], 0);  // the box spills past the rectangle
}

TEST_F(TextTest, CoverageCompositesLinearlyInBytesOneToThreeAndNeverByteZero) {
  uint8_t* p = px(0, 0);
  for (int i = 0; i < kW * kH; ++i) p[i * 4] = static_cast<uint8_t>(0x5A + i);
  SetTextColor(dc, 0x00C86432);  // red 200, green 100, blue 50
  RECT r = {2, 2, kW, 38};
  SHIM_DrawText(dc, "Wavy grey edges\nof 12 px text", -1, &r, 0);
  int partial = 0, full = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const uint8_t* q = p + i * 4;
    if (!q[1] && !q[2] && !q[3]) continue;
    // Some coverage c over black gives exactly these three bytes.
    bool found = false;
    for (int c = 1; c <= 255 && !found; ++c)
      found = q[1] == platform::blendChannel(0, 200, c) && q[2] == platform::blendChannel(0, 100, c) &&
              q[3] == platform::blendChannel(0, 50, c);
    ASSERT_TRUE(found) << i % kW << "," << i / kW;
    (q[1] == 200 ? full : partial)++;
  }
  EXPECT_GT(full, 0);
  EXPECT_GT(partial, 0);  // antialiased by default
  opaque(0x00C86432, 0x00112233);
  RECT r2 = {100, 40, kW, kH};
  SHIM_DrawText(dc, "opaque", -1, &r2, 0);
  for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(p[i * 4], static_cast<uint8_t>(0x5A + i)) << i;
}

TEST_F(TextTest, MonochromeFontsWriteOnlyTwoValues) {
  HFONT mono = sansFont(-14, FW_NORMAL, NONANTIALIASED_QUALITY);
  SelectObject(dc, mono);
  SetTextColor(dc, 0xFFFFFF);
  RECT r = {0, 0, kW, kH};
  EXPECT_GT(SHIM_DrawText(dc, "Mono text", -1, &r, 0), 0);
  int ink = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const uint8_t g = px(0, 0)[i * 4 + 1];
    ASSERT_TRUE(g == 0 || g == 255) << i;
    ink += g == 255;
  }
  EXPECT_GT(ink, 0);
  EXPECT_TRUE(SHIM_GetCtxGC(dc)->state.antialias);  // the switch is restored with the state
  SelectObject(dc, fnt);
  DeleteObject(mono);
}

TEST(TextClip, WritesStayInsideTheBufferWhateverTheFlags) {
  // A surface in the middle of a larger buffer: everything around it must
  // keep its guard value.
  const int w = 30, h = 12, span = (w + 10) * 4, rows = h + 6;
  std::vector<uint8_t> mem(static_cast<size_t>(span) * rows, 0xEE);
  uint8_t* origin = mem.data() + 3 * span + 5 * 4;
  for (int y = 0; y < h; ++y) std::memset(origin + y * span, 0, w * 4);
  platform::Surface* s = platform::surfaceCreate(origin, w, h, span);
  HDC dc = SHIM_CreateGfxContext(s);
  HFONT f = sansFont(-20, FW_BOLD);
  SelectObject(dc, f);
  SetTextColor(dc, 0xFFFFFF);
  SetBkColor(dc, 0x808080);
  SetBkMode(dc, OPAQUE);
  for (RECT r : {RECT{-15, -9, 10, 5}, RECT{20, 5, 60, 40}, RECT{-100, -100, 200, 200}, RECT{0, 0, 0, 0}})
    for (int flags : {0, DT_NOCLIP, DT_NOCLIP | DT_CENTER | DT_VCENTER, DT_RIGHT | DT_BOTTOM | DT_NOCLIP})
      SHIM_DrawText(dc, "Wide\nlines of text", -1, &r, flags);
  for (size_t i = 0; i < mem.size(); ++i) {
    const ptrdiff_t off = static_cast<ptrdiff_t>(i) - (origin - mem.data());
    if (off < 0 || off / span >= h || off % span >= w * 4) { ASSERT_EQ(mem[i], 0xEE) << i; }
  }
  EXPECT_EQ(origin[1], 0x80);  // the surface itself was drawn on
  DeleteObject(f);
  SHIM_DeleteGfxContext(dc);
  platform::surfaceRelease(s);
}

std::vector<int> fields(const TEXTMETRIC& tm) {
  return {tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmInternalLeading, tm.tmAveCharWidth};
}

TEST(TextMetrics, FormulasDefaultsAndDefaultFont) {
  TEXTMETRIC tm;
  std::memset(&tm, 0x55, sizeof(tm));
  EXPECT_EQ(GetTextMetrics(nullptr, &tm), 0);  // the defaults still filled in
  EXPECT_EQ(fields(tm), (std::vector<int>{16, 12, 4, 3, 10}));
  HDC dc = SHIM_CreateMemContext(nullptr, 4, 4);
  EXPECT_EQ(GetTextMetrics(dc, nullptr), 0);
  // No font selected: the default, the pinned sans face at 10 px.
  platform::Font* def = SHIM_ContextFont(dc);
  ASSERT_NE(def, nullptr);
  EXPECT_STREQ(platform::fontGetFilePath(def), "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  EXPECT_FLOAT_EQ(platform::fontGetSize(def), 10.f);
  for (int size : {0, -7, -13, -29}) {
    HFONT f = size ? CreateFont(size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans Mono") : nullptr;
    if (f) SelectObject(dc, f);
    const platform::FontMetrics fm = platform::fontGetMetrics(SHIM_ContextFont(dc));
    EXPECT_NE(fm.ascent, std::floor(fm.ascent));  // unrounded metrics from the horizontal header
    ASSERT_EQ(GetTextMetrics(dc, &tm), 1);
    const int a = static_cast<int>(fm.ascent), d = static_cast<int>(fm.descent), l = static_cast<int>(fm.leading);
    EXPECT_EQ(fields(tm), (std::vector<int>{a + d + l + 1, a, d, l, (a + d + l) * 2 / 3})) << size;
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(3));
    DeleteObject(f);
  }
  SHIM_DeleteGfxContext(dc);
}

}  // namespace
