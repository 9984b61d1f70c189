#include "raster/gradblur.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "raster/bitmap.h"
#include "raster/rectops.h"
#include "rastertest.h"

namespace {

using rastertest::allAre;
using rastertest::logicalPixels;
using rastertest::px;

void fill(RAST_IBitmap& b, RAST_pixel v) { RAST_Clear(&b, v); }

void randomize(RAST_IBitmap& b, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b.getHeight(); ++y)
    for (int x = 0; x < b.getWidth(); ++x) px(b, x, y) = rng();
}

int byteOf(RAST_pixel p, int i) { return (p >> (8 * i)) & 0xFF; }

// ---- gradient ----

// 16.16 form of a gradient value, as the fill steps it.
int fixed(float v, float scale) { return static_cast<int>(static_cast<double>(v * scale) * 65536.0); }

TEST(GradRect, CopyWritesFullAlphaOutrightAndMixesAnyOtherAlpha) {
  // Constant full alpha: channels truncated (0.5 x 255 = 127.5 gives 127)
  // and written outright with alpha 255.
  RAST_MemBitmap bm(256, 4, 4);
  fill(bm, 0x11223344);
  RAST_GradRect(&bm, 0, 0, 256, 1, 1.f, 0.5f, 0.25f, 1.f, -1.f / 256.f, 0, 0, 0, 0, 0, 0, 0, 0);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(px(bm, x, 0), RAST_RGBA(255 - x, 127, 63, 255)) << x;

  // Half alpha mixes white in at weight 128, the alpha byte included.
  RAST_MemBitmap four(4, 1, 4);
  fill(four, RAST_RGBA(100, 100, 100, 100));
  RAST_GradRect(&four, 0, 0, 4, 1, 1, 1, 1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(allAre(four, RAST_RGBA(178, 178, 178, 114)));

  // Ramps in every channel, alpha included, against the copy combiner.
  randomize(bm, 7);
  RAST_MemBitmap want(256, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 256; ++x) px(want, x, y) = px(bm, x, y);
  const float st[4] = {2.f, -1.f, 0.f, 0.f}, dx[4] = {0, 0, 0.25f, 0.1f}, dy[4] = {0, 0.3f, 0, 0.5f};
  RAST_GradRect(&bm, 0, 1, 8, 3, st[0], st[1], st[2], st[3], dx[0], dx[1], dx[2], dx[3], dy[0], dy[1], dy[2], dy[3],
                0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) {
      int c[4];
      for (int k = 0; k < 4; ++k) {
        const float scale = k == 3 ? 256.f : 255.f;
        c[k] = (fixed(st[k], scale) + x * fixed(dx[k], scale) + y * fixed(dy[k], scale)) / 65536;
      }
      _RAST_CombinePixelsCopyClamp::doPix(reinterpret_cast<unsigned char*>(&px(want, x, y + 1)), c[0], c[1], c[2],
                                          c[3], c[3]);
    }
  EXPECT_EQ(logicalPixels(bm), logicalPixels(want));
}

TEST(GradRect, AddAtHalfAlphaAndModeSelection) {
  RAST_MemBitmap bm(4, 4, 4);
  fill(bm, RAST_RGBA(10, 20, 30, 40));
  RAST_GradRect(&bm, 0, 0, 4, 4, 1.f, 0.5f, 0.f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0x10001);  // source-alpha flag ignored
  const RAST_pixel p = px(bm, 2, 2);
  EXPECT_EQ(RAST_GETR(p), 10 + 255 * 128 / 256);
  EXPECT_EQ(RAST_GETG(p), 20 + 127 * 128 / 256);
  EXPECT_EQ(RAST_GETB(p), 30);
  EXPECT_EQ(RAST_GETA(p), 40 + 64);  // 128 x 128 / 256
  // A low byte above 5 draws nothing.
  fill(bm, 0x01020304);
  RAST_GradRect(&bm, 0, 0, 4, 4, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 6);
  RAST_GradRect(&bm, 0, 0, 4, 4, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x10006);
  EXPECT_EQ(px(bm, 1, 1), 0x01020304u);
  // Multiply by white at full weight keeps d - 1.
  RAST_GradRect(&bm, 0, 0, 4, 4, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3);
  EXPECT_EQ(RAST_GETR(px(bm, 0, 0)), 0x02);
}

TEST(GradRect, ClippedStartsMoveAlongTheRamps) {
  RAST_MemBitmap full(16, 12, 4), part(16, 12, 4);
  fill(full, 0);
  fill(part, 0);
  const float dr = 1.f / 64, dg = 1.f / 32, db = -1.f / 80;
  RAST_GradRect(&full, -5, -3, 40, 40, 0.1f, 0.2f, 0.9f, 1, dr, 0, db, 0, 0, dg, 0, 0, 0);
  // The same gradient drawn unclipped into a larger bitmap.
  RAST_MemBitmap big(64, 64, 4);
  fill(big, 0);
  RAST_GradRect(&big, 0, 0, 40, 40, 0.1f, 0.2f, 0.9f, 1, dr, 0, db, 0, 0, dg, 0, 0, 0);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      for (int c = 1; c < 4; ++c) EXPECT_NEAR(byteOf(px(full, x, y), c), byteOf(px(big, x + 5, y + 3), c), 1);
  // Nothing outside the bitmap, nothing for empty or off-bitmap rectangles.
  RAST_GradRect(&part, 16, 0, 5, 5, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  RAST_GradRect(&part, 0, 0, 0, 5, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  RAST_GradRect(&part, -10, -10, 10, 10, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  RAST_GradRect(nullptr, 0, 0, 5, 5, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(allAre(part, 0u));
}

TEST(GradRect, ValuesBeyondTheFixedPointRangeDrawNothing) {
  RAST_MemBitmap bm(300, 300, 4);
  fill(bm, 0x5A5A5A5A);
  RAST_GradRect(&bm, 0, 0, 4, 4, 1e6f, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1);          // start too large
  RAST_GradRect(&bm, 0, 0, 4, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, NAN, 1);           // NaN
  RAST_GradRect(&bm, 0, 0, 300, 300, 0, 0, 0, 1, 200.f, 0, 0, 0, 0, 0, 0, 0, 1);     // runs past the range
  RAST_GradRect(&bm, -100000, 0, 100300, 4, 0, 0, 0, 1, 1.f, 0, 0, 0, 0, 0, 0, 0, 1);  // clipped start leaves it
  EXPECT_TRUE(allAre(bm, 0x5A5A5A5Au));
  // Just inside the range draws.
  RAST_GradRect(&bm, 0, 0, 300, 1, 0, 0, 0, 1, 0.4f, 0, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(RAST_GETR(px(bm, 299, 0)), 255);
}

// ---- blur ----

TEST(Blur, UniformAreasGiveTheKernelsExactValues) {
  RAST_MemBitmap bm(6, 5, 4);
  fill(bm, 0x80808080);
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 6, 5);
  EXPECT_TRUE(allAre(bm, 0x80808080u));

  fill(bm, 0xFFFFFFFF);
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool edgeRow = y == 0 || y == 4, edgeCol = x == 0 || x == 5;
      const uint32_t v = edgeRow && edgeCol ? 253 : (edgeRow || edgeCol) ? 252 : 251;
      ASSERT_EQ(px(bm, x, y), v * 0x01010101u) << x << "," << y;
    }
}

TEST(Blur, TooSmallOrMissingDrawsNothing) {
  RAST_MemBitmap bm(4, 4, 4);
  fill(bm, 0xFFFFFFFF);
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 1, 4);
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 4, 1);
  RAST_Blur(&bm, &bm, 0, 0, 3, 3, 4, 4);   // clips to 1 x 1
  RAST_Blur(&bm, &bm, 3, 0, 0, 0, 4, 4);   // destination clips to 1 wide
  RAST_Blur(nullptr, &bm, 0, 0, 0, 0, 4, 4);
  RAST_Blur(&bm, nullptr, 0, 0, 0, 0, 4, 4);
  RAST_MemBitmap empty;
  RAST_Blur(&bm, &empty, 0, 0, 0, 0, 4, 4);
  EXPECT_TRUE(allAre(bm, 0xFFFFFFFFu));
  // 2 x 2 takes only the first- and last-row formulas.
  px(bm, 0, 0) = 0;
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 2, 2);
  EXPECT_EQ(px(bm, 0, 0), (0u + 63 + 63) * 0x01010101u);
  EXPECT_EQ(px(bm, 1, 0), (0u + 127 + 63) * 0x01010101u);
  EXPECT_EQ(px(bm, 0, 1), (0u + 127 + 63) * 0x01010101u);  // its upper neighbour as it was: 0
  EXPECT_EQ(px(bm, 1, 1), 253u * 0x01010101u);
}

TEST(Blur, InPlaceEqualsOutOfPlace) {
  for (int w : {2, 3, 17, 1024, 2000}) {
    const int h = w > 100 ? 3 : 9;
    RAST_MemBitmap a(w, h, 4), copy(w, h, 4), out(w, h, 4);
    randomize(a, static_cast<unsigned>(w));
    randomize(copy, static_cast<unsigned>(w));
    fill(out, 0);
    RAST_Blur(&out, &copy, 0, 0, 0, 0, w, h);
    RAST_Blur(&a, &a, 0, 0, 0, 0, w, h);
    ASSERT_EQ(logicalPixels(a), logicalPixels(out)) << w;
  }
}

TEST(Blur, SubRectangleAndOffsetsAgainstAReference) {
  RAST_MemBitmap src(12, 10, 4), dst(12, 10, 4);
  randomize(src, 7);
  fill(dst, 0x01010101);
  // Source rectangle 2..9 x 1..8, drawn at (-1, 3): the first column is cut
  RAST_Blur(&dst, &src, -1, 3, 2, 1, 7, 7);
  const int left = 3, top = 1, right = 9, bottom = 8;  // after clipping: dest rows 3..9 hold source rows 1..7
  const int w = right - left;
  auto S = [&](int x, int y) { return px(src, left + x, y); };
  auto h8 = [](uint32_t p) { return (p >> 3) & 0x1f1f1f1fu; };
  auto h4 = [](uint32_t p) { return (p >> 2) & 0x3f3f3f3fu; };
  auto h2 = [](uint32_t p) { return (p >> 1) & 0x7f7f7f7fu; };
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < w; ++x) {
      // first and last rows take their one neighbour row at a quarter
      const bool first = y == top, last = y == bottom - 1;
      const uint32_t n = first || last ? h4(S(x, first ? y + 1 : y - 1)) : h8(S(x, y - 1)) + h8(S(x, y + 1));
      const uint32_t e = n + (x == 0       ? h2(S(0, y)) + h4(S(1, y))
                              : x == w - 1 ? h4(S(w - 2, y)) + h2(S(w - 1, y))
                                           : h8(S(x - 1, y)) + h2(S(x, y)) + h8(S(x + 1, y)));
      ASSERT_EQ(px(dst, x, 3 + y - top), e) << x << "," << y;
    }
  }
  EXPECT_EQ(px(dst, w, 3), 0x01010101u);
  EXPECT_EQ(px(dst, 0, 2), 0x01010101u);
}

}  // namespace
