#include "platform/textengine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace {

TEST(Surface, CreationRefusesBadBuffers) {
  std::vector<uint8_t> px(64);
  EXPECT_EQ(platform::surfaceCreate(nullptr, 2, 2, 8), nullptr);
  EXPECT_EQ(platform::surfaceCreate(px.data(), 0, 2, 8), nullptr);
  EXPECT_EQ(platform::surfaceCreate(px.data(), 2, -1, 8), nullptr);
  EXPECT_EQ(platform::surfaceCreate(px.data(), 3, 2, 8), nullptr);  // span below w * 4
  platform::Surface* s = platform::surfaceCreate(px.data(), 2, 2, 8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->state.clip.right, 2);
  EXPECT_TRUE(s->state.antialias);
  platform::surfaceRelease(s);
}

TEST(Surface, ClipStackAndFillRules) {
  std::vector<uint8_t> px(6 * 4 * 4, 0);
  platform::Surface* s = platform::surfaceCreate(px.data(), 6, 4, 24);
  platform::Color red;
  red.r = 1.f;
  platform::surfaceSaveState(s);
  platform::surfaceClipToRect(s, 1.f, 1.f, 2.f, 2.f);
  platform::surfaceSetAntialias(s, false);
  platform::surfaceFillRect(s, -10.f, -10.f, 100.f, 100.f, red);
  platform::surfaceRestoreState(s);
  platform::surfaceRestoreState(s);  // unmatched: nothing
  EXPECT_TRUE(s->state.antialias);
  EXPECT_EQ(s->state.clip.right, 6);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool in = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(px[(y * 6 + x) * 4 + 1], in ? 255 : 0) << x << "," << y;
      EXPECT_EQ(px[(y * 6 + x) * 4 + 0], 0);
    }
  // Half-pixel edges round to the nearest edge; alpha mixes linearly.
  platform::Color half;
  half.b = 1.f;
  half.a = 0.5f;
  platform::surfaceFillRect(s, 3.4f, 0.6f, 1.2f, 1.0f, half);  // pixels x 3..4, y 1
  EXPECT_EQ(px[(1 * 6 + 3) * 4 + 3], platform::blendChannel(0, 255, 128));
  EXPECT_EQ(px[(1 * 6 + 4) * 4 + 3], platform::blendChannel(0, 255, 128));
  EXPECT_EQ(px[(1 * 6 + 5) * 4 + 3], 0);
  EXPECT_EQ(px[(0 * 6 + 3) * 4 + 3], 0);
  platform::surfaceRelease(s);
}

TEST(Surface, BlendChannelEndpointsAndRounding) {
  for (int bg : {0, 17, 255})
    for (int fg : {0, 200, 255}) {
      EXPECT_EQ(platform::blendChannel(bg, fg, 0), bg);
      EXPECT_EQ(platform::blendChannel(bg, fg, 255), fg);
    }
  EXPECT_EQ(platform::blendChannel(0, 255, 128), 128);
  EXPECT_EQ(platform::blendChannel(255, 0, 128), 127);
  EXPECT_EQ(platform::blendChannel(100, 200, 51), 120);
}

TEST(Text, DecodeUtf8ThenAscii) {
  std::u32string out;
  EXPECT_TRUE(platform::decodeText("A\xE2\x82\xAC\xC3\xA9", 6, out));
  EXPECT_EQ(out, std::u32string(U"A\u20AC\u00E9"));
  EXPECT_TRUE(platform::decodeText("\xF0\x9F\x98\x80", 4, out));
  EXPECT_EQ(out, std::u32string(U"\U0001F600"));
  const char* bad[] = {"\xC3", "\xC3\x28", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xFF"};
  for (const char* b : bad) EXPECT_FALSE(platform::decodeText(b, std::strlen(b), out)) << b;
  EXPECT_TRUE(platform::decodeText("", 0, out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(platform::decodeText(nullptr, 0, out));
}

TEST(Text, MetricsAreUnroundedAndWidthsSumWholeAdvances) {
  platform::Font* f = platform::fontCreateLabel(12.f);
  ASSERT_NE(f, nullptr);
  const platform::FontMetrics m = platform::fontGetMetrics(f);
  EXPECT_GT(m.ascent, 0.f);
  EXPECT_GT(m.descent, 0.f);
  EXPECT_GE(m.leading, 0.f);
  EXPECT_NE(m.ascent, std::round(m.ascent));
  // Scaling with the size: twice the size, twice the metrics.
  platform::Font* f2 = platform::fontCreateLabel(24.f);
  EXPECT_FLOAT_EQ(platform::fontGetMetrics(f2).ascent, 2.f * m.ascent);
  const std::u32string s = U"Kerning AV To";
  int sum = 0;
  for (char32_t c : s) sum += platform::fontAdvance(f, c);
  EXPECT_EQ(platform::measureLine(f, s.data(), s.size()), sum);  // no kerning
  // Drawing without a surface measures the same.
  EXPECT_EQ(platform::drawLine(nullptr, f, s.data(), s.size(), 0.4f, 10.f, platform::Color{}), sum);
  EXPECT_EQ(platform::measureLine(nullptr, s.data(), s.size()), 0);
  platform::fontRelease(f2);
  platform::fontRetain(f);
  platform::fontRelease(f);
  EXPECT_EQ(platform::fontGetSize(f), 12.f);
  platform::fontRelease(f);
}

TEST(Text, BadNamesAndSizesGiveNoFont) {
  EXPECT_EQ(platform::fontCreate("", 12.f), nullptr);
  EXPECT_EQ(platform::fontCreate("0:/nonexistent/face.ttf", 12.f), nullptr);
  const std::string sans = platform::resolveFontName("Not Installed Anywhere");
  EXPECT_EQ(platform::fontCreate(sans, 0.f), nullptr);
  EXPECT_EQ(platform::fontCreate(sans, -3.f), nullptr);
  EXPECT_EQ(platform::fontCreate(sans, NAN), nullptr);
  platform::Font* f = platform::fontCreate(sans, 9.f);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(platform::fontGetFilePath(f), platform::kDefaultSansFacePath);
  platform::fontRelease(f);
}

}  // namespace
