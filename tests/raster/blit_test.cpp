// The plain blit and copy: fast paths word for word, clipping against every
// edge, flipped bitmaps, and thousands of random rectangles checked against
// a direct geometric definition.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

#include "raster/blit.h"
#include "raster/rectops.h"
#include "rastertest.h"

using rastertest::TestBitmap;

namespace {

// Expected result of a blit, by definition: source pixel (sx, sy) of the
// rectangle, inside the source, lands on dest (dstx + sx - left,
// dsty + sy - top) when that is inside the destination.
template <class Pixel>
void referenceBlit(TestBitmap& dest, TestBitmap& src, int64_t dstx, int64_t dsty, int64_t left, int64_t top,
                   int64_t right, int64_t bottom, Pixel&& pixel) {
  for (int64_t sy = std::max<int64_t>(top, 0); sy < std::min<int64_t>(bottom, src.getHeight()); ++sy)
    for (int64_t sx = std::max<int64_t>(left, 0); sx < std::min<int64_t>(right, src.getWidth()); ++sx) {
      const int64_t x = dstx + sx - left, y = dsty + sy - top;
      if (x < 0 || y < 0 || x >= dest.getWidth() || y >= dest.getHeight()) continue;
      RAST_pixel& d = dest.at(static_cast<int>(x), static_cast<int>(y));
      d = pixel(d, src.at(static_cast<int>(sx), static_cast<int>(sy)));
    }
}

RAST_pixel copyWhole(RAST_pixel, RAST_pixel s) { return s; }

}  // namespace

TEST(Blit, OnePixelWordResults) {
  // Opaque copies replace all four bytes (alpha 0 too) whatever the filter
  // flag, also at an opacity whose weight is 256; half opacity is the word
  // half mix; a negative opacity in add mode subtracts.
  const struct {
    float alpha;
    int mode;
    RAST_pixel dest, src, want;
  } cases[] = {
      {1.0f, 0, 0xabcdef01u, 0x00112233u, 0x00112233u},
      {1.0f, 0x100, 0xabcdef01u, 0x00112233u, 0x00112233u},
      {1.002f, 0, 0xabcdef01u, 0xffffffffu, 0xffffffffu},
      {0.5f, 0, 0, 0xffffffffu, 0x7f7f7f7fu},
      {0.5f, 0, 0xfffefdfcu, 0x01030507u, ((0x01030507u >> 1) & 0x7f7f7f7fu) + ((0xfffefdfcu >> 1) & 0x7f7f7f7fu)},
      {-0.5f, 1, RAST_RGBA(200, 50, 200, 200), RAST_RGBA(100, 100, 100, 100), RAST_RGBA(150, 0, 150, 150)},
  };
  for (const auto& c : cases) {
    TestBitmap src(1, 1), dest(1, 1);
    src.at(0, 0) = c.src;
    dest.at(0, 0) = c.dest;
    RAST_Blit(&dest, &src, 0, 0, nullptr, c.alpha, c.mode);
    EXPECT_EQ(dest.at(0, 0), c.want) << c.alpha << " " << c.mode;
  }
}

TEST(Blit, ChannelCopyMovesOneByteAtAnyNonZeroOpacity) {
  std::mt19937 rng(5);
  for (int from = 0; from < 4; ++from)
    for (int to = 0; to < 4; ++to) {
      TestBitmap d(2, 2), s(2, 2);
      s.fillRandom(rng);
      d.fillRandom(rng);
      TestBitmap w = d;
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
          unsigned char* wb = reinterpret_cast<unsigned char*>(&w.at(x, y));
          wb[to] = reinterpret_cast<unsigned char*>(&s.at(x, y))[from];
        }
      RAST_Blit(&d, &s, 0, 0, nullptr, (from + to) % 2 ? 1.0f : 0.001f, RAST_BLIT_MODE_CHANCOPY(from, to));
      EXPECT_EQ(d.logical(), w.logical()) << from << " " << to;
    }
}

TEST(Blit, NothingDrawnCases) {
  TestBitmap src(4, 4), dest(4, 4);
  std::mt19937 rng(1);
  src.fillRandom(rng);
  dest.fillRandom(rng);
  const auto before = dest.logical();
  RAST_Blit(&dest, &src, 0, 0, nullptr, 0.0f, 0);
  RAST_Blit(&dest, &src, 0, 0, nullptr, 0.003f, 0);  // weight 0
  RAST_Blit(&dest, &src, 0, 0, nullptr, -0.5f, 0);   // copy below weight 1
  RAST_Blit(&dest, &src, 0, 0, 2, 0, -1, 4, 1.0f, 0);  // negative width
  RAST_Blit(&dest, &src, 0, 0, nullptr, 0.5f, 6);
  RAST_Blit(&dest, &src, 0, 0, nullptr, 0.5f, 0x10006);
  RAST_Blit(&dest, &src, 0, 0, nullptr, std::nanf(""), 1);
  RAST_Blit(&dest, nullptr, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dest, &src, 4, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dest, &src, 0, -4, nullptr, 1.0f, 0);
  RAST_MemBitmap empty;
  RAST_Blit(&dest, &empty, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(dest.logical(), before);
}

TEST(Blit, ClippingAgainstEveryEdge) {
  std::mt19937 rng(2);
  // each edge, both bitmaps; a source rectangle left of the source moves
  // the destination, a destination left of the bitmap cuts the source
  struct Case {
    int dstx, dsty, l, t, r, b;
  } cases[] = {{-2, -3, 0, 0, 6, 5}, {3, 2, 0, 0, 6, 5},   {0, 0, -1, -2, 7, 9}, {1, 1, 2, 1, 100, 100},
               {4, 3, -3, -3, 2, 2}, {-1, 0, 3, 3, 3, 5},  {0, 3, 1, 1, 5, 4},   {0, 0, -3, 0, 8, 5},
               {-5, 0, 0, 0, 6, 5}};
  for (const Case& c : cases) {
    for (bool flipS : {false, true}) {
      for (bool flipD : {false, true}) {
        TestBitmap s(6, 5, 7, flipS), dest(5, 4, 6, flipD);
        s.fillRandom(rng);
        dest.fillRandom(rng);
        TestBitmap want = dest;
        const RECT r{c.l, c.t, c.r, c.b};
        RAST_Blit(&dest, &s, c.dstx, c.dsty, &r, 1.0f, 0);
        referenceBlit(want, s, c.dstx, c.dsty, c.l, c.t, c.r, c.b, copyWhole);
        EXPECT_EQ(dest.logical(), want.logical()) << c.dstx << "," << c.dsty << " " << flipS << flipD;
        EXPECT_TRUE(dest.paddingIntact());
      }
    }
  }
}

TEST(Blit, RandomRectanglesEveryCombinerStayInsideBothBitmaps) {
  // Every blend key and opacity in turn through the row loops, against the
  // one-pixel combiner (the filter flag plays no part).
  std::mt19937 rng(6);
  const float alphas[] = {0.25f, 0.5f, 0.75f, 1.0f, 0.6f, -0.3f, 1.5f};
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0x101, 0x10100};
  const int extremes[] = {INT_MIN, INT_MIN + 1, -1000000, -7, -1, 0, 1, 3, 7, 1000000, INT_MAX - 1, INT_MAX};
  auto pick = [&]() -> int {
    if (rng() % 4 == 0) return extremes[rng() % (sizeof extremes / sizeof extremes[0])];
    return static_cast<int>(rng() % 23) - 11;
  };
  for (int i = 0; i < 4000; ++i) {
    const int sw = static_cast<int>(rng() % 7), sh = static_cast<int>(rng() % 6);
    const int dw = static_cast<int>(rng() % 8), dh = static_cast<int>(rng() % 7);
    TestBitmap src(sw, sh, sw + static_cast<int>(rng() % 3), rng() & 1);
    TestBitmap dest(dw, dh, dw + static_cast<int>(rng() % 3), rng() & 1);
    src.fillRandom(rng);
    dest.fillRandom(rng);
    TestBitmap want = dest;
    const int dstx = pick(), dsty = pick(), sx = pick(), sy = pick(), w = pick(), h = pick();
    const float alpha = alphas[(i / 14) % 7];
    const int mode = modes[i % 14];
    RAST_Blit(&dest, &src, dstx, dsty, sx, sy, w, h, alpha, mode);
    referenceBlit(want, src, dstx, dsty, sx, sy, int64_t(sx) + w, int64_t(sy) + h,
                  [&](RAST_pixel d, RAST_pixel s) {
                    // a plain copy at half opacity is the word half mix
                    return (mode & 0x100ff) == 0 && alpha == 0.5f ? _RAST_CombinePixelsHalfMixFAST::mix(d, s)
                                                                  : RAST_CombinePixels(d, s, alpha, mode & 0x100ff);
                  });
    ASSERT_EQ(dest.logical(), want.logical())
        << mode << " " << alpha << ": " << dstx << " " << dsty << " " << sx << " " << sy << " " << w << " " << h;
    ASSERT_TRUE(dest.paddingIntact());
  }
}

TEST(Copy, MakesAnEqualBitmap) {
  TestBitmap src(10, 20);
  std::mt19937 rng(7);
  src.fillRandom(rng);
  RAST_MemBitmap dest;
  RAST_Copy(&dest, &src);
  ASSERT_EQ(dest.getWidth(), 10);
  EXPECT_EQ(rastertest::logicalPixels(dest), src.logical());
  RAST_Copy(nullptr, &src);
  RAST_Copy(&dest, nullptr);
  // a destination that cannot resize gets the part that fits
  TestBitmap small(4, 3);
  RAST_Copy(&small, &src);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(small.at(x, y), src.at(x, y));
}

TEST(Blit, SourceAlphaRowsMatchTheCombinerForEveryAlpha) {
  // Wide rows take the four-pixel path; every alpha against a spread of
  // colour pairs, with runs of all-transparent and all-opaque groups.
  std::mt19937 rng(8);
  const int w = 67, h = 64;
  TestBitmap src(w, h, w + 1), dest(w, h, w + 3, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int a = (y * w + x) % 256;
      const uint32_t c = static_cast<uint32_t>(rng());
      src.at(x, y) = (c & 0xffffff00u) | static_cast<uint32_t>(y < 4 ? 0 : y < 8 ? 255 : a);
      dest.at(x, y) = static_cast<RAST_pixel>(rng());
    }
  TestBitmap want = dest;
  const auto byAlpha = rastertest::combine<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>;
  RAST_Blit(&dest, &src, 0, 0, nullptr, 1.0f, RAST_BLIT_USE_SOURCE_ALPHA);
  referenceBlit(want, src, 0, 0, 0, 0, w, h, [&](RAST_pixel d, RAST_pixel s) { return byAlpha(d, s, 256); });
  EXPECT_EQ(dest.logical(), want.logical());
  EXPECT_TRUE(dest.paddingIntact());
  // exhaustive over one channel: every destination against every source
  // value, at the alphas next to the shortcuts and in between
  for (int a : {1, 2, 3, 64, 127, 128, 129, 200, 253, 254}) {
    TestBitmap s2(256, 256), d2(256, 256);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        s2.at(x, y) = RAST_RGBA(x, y, 255 - x, a);
        d2.at(x, y) = RAST_RGBA(y, x, 255 - y, x);
      }
    TestBitmap w2 = d2;
    RAST_Blit(&d2, &s2, 0, 0, nullptr, 1.0f, RAST_BLIT_USE_SOURCE_ALPHA);
    referenceBlit(w2, s2, 0, 0, 0, 0, 256, 256, [&](RAST_pixel d, RAST_pixel s) { return byAlpha(d, s, 256); });
    ASSERT_EQ(d2.logical(), w2.logical()) << a;
  }
}
