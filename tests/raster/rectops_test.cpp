// Fills, clears, multiply-add, per-pixel functions and single pixels.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <algorithm>
#include <random>

#include "raster/rectops.h"
#include "rastertest.h"

using rastertest::combine;
using rastertest::splat;
using rastertest::TestBitmap;

namespace {

// The expected fill, by definition: every logical pixel inside the clipped
// rectangle is mapped by f.
template <class F>
void referenceRect(TestBitmap& bm, int64_t x, int64_t y, int64_t w, int64_t h, F&& f) {
  for (int64_t yy = std::max<int64_t>(y, 0); yy < std::min<int64_t>(y + h, bm.getHeight()); ++yy)
    for (int64_t xx = std::max<int64_t>(x, 0); xx < std::min<int64_t>(x + w, bm.getWidth()); ++xx) {
      RAST_pixel& p = bm.at(static_cast<int>(xx), static_cast<int>(yy));
      p = f(p);
    }
}

// One-pixel fill result at integer weight ia under the fill's rules.
RAST_pixel fillPixel(RAST_pixel p, RAST_pixel c, int ia, int low) {
  if (low == 0) {
    switch (ia) {
      case 0: return p;
      case 64: return _RAST_CombinePixelsQuarterMixFAST::mix(p, c);
      case 128: return _RAST_CombinePixelsHalfMixFAST::mix(p, c);
      case 192: return _RAST_CombinePixelsThreeQuarterMixFAST::mix(p, c);
      case 256: return c;
    }
    if (ia < 1) return p;
  } else if (ia == 0 || low > 5) {
    return p;
  }
  // the weight goes in as the source alpha too
  using Apply = RAST_pixel (*)(RAST_pixel, int, int, int, int, int);
  using namespace rastertest;
  static const Apply kApply[] = {apply<_RAST_CombinePixelsCopyNoClamp>, apply<_RAST_CombinePixelsAdd>,
                                 apply<_RAST_CombinePixelsColorDodge>,  apply<_RAST_CombinePixelsMulNoClamp>,
                                 apply<_RAST_CombinePixelsOverlay>,     apply<_RAST_CombinePixelsHSVAdjust>};
  return kApply[low](p, RAST_GETR(c), RAST_GETG(c), RAST_GETB(c), ia, ia);
}

}  // namespace

TEST(FillRect, OnePixelAnchors) {
  const struct {
    RAST_pixel dest, colour;
    float alpha;
    int mode;
    RAST_pixel want;
  } cases[] = {
      // at 0.5 every byte, alpha included, is the sum of the halved bytes
      {0, splat(254), 0.5f, 0, splat(127)},
      // 0.3 goes through the copy combiner, weight 76 also as source alpha over 40
      {RAST_RGBA(10, 20, 30, 40), RAST_RGBA(200, 100, 0, 255), 0.3f, 0, RAST_RGBA(67, 44, 21, 51)},
      // the source-alpha flag scales the opacity: 0 draws nothing, 128/255 gives weight 128
      {0, RAST_RGBA(255, 255, 255, 0), 1.0f, 0x10000, 0},
      {0, RAST_RGBA(254, 254, 254, 128), 1.0f, 0x10000, RAST_RGBA(127, 127, 127, 64)},
      // the HSV fill's weight 256, passed as source alpha, must not carry into red
      {RAST_RGBA(255, 0, 0, 99), RAST_RGBA(128, 128, 128, 255), 1.0f, 5, RAST_RGBA(255, 0, 0, 0)},
  };
  for (const auto& c : cases) {
    TestBitmap bm(1, 1);
    bm.at(0, 0) = c.dest;
    RAST_FillRect(&bm, 0, 0, 1, 1, c.colour, c.alpha, c.mode);
    EXPECT_EQ(bm.at(0, 0), c.want) << c.alpha << " " << c.mode;
  }
}

TEST(FillRect, EveryModeAndWeight) {
  std::mt19937 rng(1);
  const float alphas[] = {0.1f, 0.25f, 0.3f, 0.5f, 0.6f, 0.75f, 1.0f, 1.7f, -0.4f, 0.004f};
  for (int mode : {0, 1, 2, 3, 4, 5, 6, 0x10001, 0x10005, 0x105}) {
    for (float alpha : alphas) {
      TestBitmap bm(5, 4, 6, (rng() & 1) != 0);
      bm.fillRandom(rng);
      TestBitmap want = bm;
      const RAST_pixel c = static_cast<RAST_pixel>(rng()) | 0xffu;  // opaque: the flag leaves alpha
      RAST_FillRect(&bm, 1, -1, 3, 4, c, alpha, mode);
      const int ia = RAST_WeightFromAlpha(alpha);
      referenceRect(want, 1, -1, 3, 4, [&](RAST_pixel p) { return fillPixel(p, c, ia, mode & 0xff); });
      ASSERT_EQ(bm.logical(), want.logical()) << mode << " " << alpha;
      ASSERT_TRUE(bm.paddingIntact());
    }
  }
}

TEST(FillRect, ClippingAndFlippedRows) {
  TestBitmap bm(8, 3);
  RAST_FillRect(&bm, -5, 0, 10, 1, 0xffffffffu, 1.0f, 0);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(bm.at(x, 0), x <= 4 ? 0xffffffffu : 0u) << x;
  const auto before = bm.logical();
  RAST_FillRect(&bm, 8, 0, 5, 5, 1u, 1.0f, 0);
  RAST_FillRect(&bm, -10, 0, 10, 5, 1u, 1.0f, 0);
  RAST_FillRect(&bm, 0, 0, 0, 5, 1u, 1.0f, 0);
  RAST_FillRect(&bm, 0, 0, 5, 5, 1u, 0.0f, 0);
  RAST_FillRect(&bm, 0, 0, 5, 5, 1u, std::nanf(""), 1);
  RAST_FillRect(nullptr, 0, 0, 5, 5, 1u, 1.0f, 0);
  EXPECT_EQ(bm.logical(), before);

  TestBitmap fl(4, 10, 4, true);
  RAST_FillRect(&fl, 0, 0, 4, 2, 7u, 1.0f, 0);
  for (int memRow = 0; memRow < 10; ++memRow)
    EXPECT_EQ(fl.getBits()[memRow * 4], memRow >= 8 ? 7u : 0u) << memRow;
}

TEST(RectOps, RandomRectanglesStayInside) {
  std::mt19937 rng(2);
  const int extremes[] = {INT_MIN, INT_MIN + 1, -100000, -3, 0, 2, 100000, INT_MAX - 1, INT_MAX};
  auto pick = [&]() { return rng() % 4 ? static_cast<int>(rng() % 19) - 8 : extremes[rng() % 9]; };
  for (int i = 0; i < 4000; ++i) {
    const int w = static_cast<int>(rng() % 7), h = static_cast<int>(rng() % 6);
    TestBitmap bm(w, h, w + static_cast<int>(rng() % 3), (rng() & 1) != 0);
    bm.fillRandom(rng);
    TestBitmap want = bm;
    const int x = pick(), y = pick(), rw = pick(), rh = pick();
    const RAST_pixel c = static_cast<RAST_pixel>(rng());
    switch (i % 4) {
      case 0:
        RAST_FillRect(&bm, x, y, rw, rh, c, 0.5f, 0);
        referenceRect(want, x, y, rw, rh, [&](RAST_pixel p) { return _RAST_CombinePixelsHalfMixFAST::mix(p, c); });
        break;
      case 1:
        RAST_FillRect(&bm, x, y, rw, rh, c, 0.4f, 4);
        referenceRect(want, x, y, rw, rh, [&](RAST_pixel p) { return fillPixel(p, c, 102, 4); });
        break;
      case 2:
        RAST_ClearRect(&bm, x, y, rw, rh, 0x00ff00ffu, c);
        referenceRect(want, x, y, rw, rh, [&](RAST_pixel p) { return (p & 0x00ff00ffu) | c; });
        break;
      case 3:
        RAST_MultiplyAddRect(&bm, x, y, rw, rh, 1, 1, 1, 1, 0, 0, 0, 0);  // identity
        RAST_ProcessRect(&bm, x, y, rw, rh, [](RAST_pixel* p, void*) { *p ^= 0x01010101u; }, nullptr);
        referenceRect(want, x, y, rw, rh, [&](RAST_pixel p) { return p ^ 0x01010101u; });
        break;
    }
    ASSERT_EQ(bm.logical(), want.logical()) << i;
    ASSERT_TRUE(bm.paddingIntact());
  }
}

TEST(RectOps, MultiplyAdd) {
  TestBitmap bm(2, 1);
  bm.at(0, 0) = RAST_RGBA(200, 100, 0, 50);
  bm.at(1, 0) = RAST_RGBA(1, 2, 3, 4);
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 2, 2, 2, 1, 0, 0, 0, 0);
  EXPECT_EQ(bm.at(0, 0), RAST_RGBA(255, 200, 0, 50));
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1, 1, 1, 1, -1.0f, 0, 0, 1.0f);
  EXPECT_EQ(bm.at(0, 0), RAST_RGBA(254, 200, 0, 51));
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1, 1, 1, 1, -1.0f, -1.0f, -1.0f, 0);
  EXPECT_EQ(bm.at(0, 0), RAST_RGBA(253, 199, 0, 51));
  EXPECT_EQ(bm.at(1, 0), RAST_RGBA(1, 2, 3, 4));
  // huge factors saturate instead of overflowing
  RAST_MultiplyAddRect(&bm, 0, 0, 2, 1, 1e30f, -1e30f, std::nanf(""), 1, 1e30f, 0, 0, 0);
  EXPECT_EQ(bm.at(1, 0), RAST_RGBA(255, 0, 0, 4));
}

TEST(RectOps, ClearAndProcessRectGuardMissingPixelsAndFunctions) {
  TestBitmap bm(3, 2, 5);
  RAST_Clear(&bm, 0x11223344u);
  EXPECT_TRUE(rastertest::allAre(bm, 0x11223344u));
  EXPECT_TRUE(bm.paddingIntact());
  RAST_Clear(nullptr, 1);
  RAST_MemBitmap empty;
  RAST_Clear(&empty, 1);
  RAST_SysBitmap noPixels(10, 0);
  RAST_Clear(&noPixels, 1);
  int count = 0;
  RAST_ProcessRect(&bm, 0, 0, 3, 2, [](RAST_pixel*, void* parm) { ++*static_cast<int*>(parm); }, &count);
  EXPECT_EQ(count, 6);
  RAST_ProcessRect(&bm, 0, 0, 3, 2, nullptr, &count);
}

TEST(Pixels, GetAndPut) {
  TestBitmap bm(4, 3, 4, true);
  std::mt19937 rng(3);
  bm.fillRandom(rng);
  EXPECT_EQ(RAST_GetPixel(&bm, 1, 0), bm.getBits()[2 * 4 + 1]);  // flipped: row 0 is stored last
  EXPECT_EQ(RAST_GetPixel(&bm, 4, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, 0, 3), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, -1, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(nullptr, 0, 0), 0u);
  const auto before = bm.logical();
  RAST_PutPixel(&bm, 4, 0, 1, 1.0f, 0);
  RAST_PutPixel(&bm, 0, -1, 1, 1.0f, 0);
  RAST_PutPixel(&bm, 0, 0, 1, 0.0f, 1);
  RAST_PutPixel(&bm, 0, 0, 1, 0.5f, 6);
  EXPECT_EQ(bm.logical(), before);

  // Same result as a one-pixel fill on the word paths.
  for (float alpha : {0.25f, 0.5f, 0.75f, 1.0f}) {
    TestBitmap a(1, 1), b(1, 1);
    a.at(0, 0) = b.at(0, 0) = 0x80604020u;
    RAST_PutPixel(&a, 0, 0, 0x10305070u, alpha, 0);
    RAST_FillRect(&b, 0, 0, 1, 1, 0x10305070u, alpha, 0);
    EXPECT_EQ(a.at(0, 0), b.at(0, 0)) << alpha;
  }
  // Other weights copy with the colour's own alpha; modes 1-5 use their combiner.
  TestBitmap p(1, 1);
  const RAST_pixel c = RAST_RGBA(250, 0, 100, 200), first = RAST_RGBA(10, 20, 30, 40);
  p.at(0, 0) = first;
  RAST_PutPixel(&p, 0, 0, c, 0.3f, 0);
  const RAST_pixel copied = combine<_RAST_CombinePixelsCopyNoClamp>(first, c, 76);
  EXPECT_EQ(p.at(0, 0), copied);
  RAST_PutPixel(&p, 0, 0, c, -0.3f, 0);  // copy below weight 1: nothing
  EXPECT_EQ(p.at(0, 0), copied);
  RAST_PutPixel(&p, 0, 0, c, 0.6f, 0x10003);
  EXPECT_EQ(p.at(0, 0), combine<_RAST_CombinePixelsMulNoClamp>(copied, c, 153));
}

TEST(FillRect, WideOpaqueRunsAtEveryAlignment) {
  for (int span : {100, 103}) {
    for (int x = 0; x < 9; ++x) {
      for (int w : {1, 7, 8, 9, 31, 33, 64, 90}) {
        TestBitmap bm(100, 3, span);
        TestBitmap want = bm;
        RAST_FillRect(&bm, x, 0, w, 3, 0xa1b2c3d4u, 1.0f, 0);
        referenceRect(want, x, 0, w, 3, [](RAST_pixel) { return 0xa1b2c3d4u; });
        ASSERT_EQ(bm.logical(), want.logical()) << span << " " << x << " " << w;
        ASSERT_TRUE(bm.paddingIntact());
      }
    }
  }
  // a whole bitmap whose rows are adjacent is one run
  TestBitmap whole(37, 5, 37, true);
  RAST_FillRect(&whole, 0, 0, 37, 5, 7u, 1.0f, 0);
  EXPECT_TRUE(rastertest::allAre(whole, 7u));
}
