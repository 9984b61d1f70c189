// Delta, rotated and transform blits.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/blit.h"
#include "raster/deltablit.h"
#include "shapetest.h"

using namespace shapetest;

namespace {

constexpr int kW = 9, kH = 7;

// A source whose pixels all differ.
TestBitmap source(bool flipped = false) {
  TestBitmap s(kW, kH, kW + 2, flipped);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) s.at(x, y) = RAST_RGBA(x * 20, y * 30, x + y, 255);
  return s;
}

}  // namespace

TEST(RotatedBlit, TurnsAndMirrors) {
  TestBitmap src = source(true);
  TestBitmap copy(kW, kH), plain(kW, kH);
  RAST_RotatedBlit(&copy, &src, 0, 0, kW, kH, 0, 0, kW, kH, 0.0f, true, 1.0f, 0, 0, 0);
  RAST_Blit(&plain, &src, 0, 0, nullptr, 1.0f, 0);
  EXPECT_EQ(copy.logical(), plain.logical());
  // half a turn: the interior shows the source turned about the rectangle's centre
  TestBitmap half(kW, kH, kW + 1, true);
  RAST_RotatedBlit(&half, &src, 0, 0, kW, kH, 0, 0, kW, kH, 3.1415927f, true, 1.0f, 0, 0, 0);
  for (int y = 2; y < kH - 1; ++y)
    for (int x = 1; x < kW - 1; ++x) EXPECT_EQ(half.at(x, y), src.at(kW - x, kH - y)) << x << "," << y;
  // a negative width or height at angle 0 is the exact mirror
  TestBitmap mx(kW, kH), my(kW, kH, kW, true);
  RAST_RotatedBlit(&mx, &src, kW, 0, -kW, kH, 0, 0, kW, kH, 0.0f, true, 1.0f, 0, 0, 0);
  RAST_RotatedBlit(&my, &src, 0, kH, kW, -kH, 0, 0, kW, kH, 0.0f, true, 1.0f, 0, 0, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      EXPECT_EQ(mx.at(x, y), src.at(kW - 1 - x, y)) << x << "," << y;
      EXPECT_EQ(my.at(x, y), src.at(x, kH - 1 - y)) << x << "," << y;
    }
  // modes without a combiner draw nothing
  for (int mode : {6, 0x10006}) {
    TestBitmap none(kW, kH);
    RAST_RotatedBlit(&none, &src, 0, 0, kW, kH, 0, 0, kW, kH, 0.3f, true, 1.0f, mode, 0, 0);
    RAST_DeltaBlit(&none, &src, 0, 0, kW, kH, 0, 0, kW, kH, 1, 0, 0, 1, 0, 0, true, 1.0f, mode);
    EXPECT_TRUE(rastertest::allAre(none, 0));
  }
}

TEST(DeltaBlit, Sampling) {
  TestBitmap src = source();
  TestBitmap a(3, 1);
  RAST_DeltaBlit(&a, &src, 0, 0, 3, 1, -0.5f, 0, kW, kH, 1, 0, 0, 1, 0, 0, false, 1.0f, 0);
  EXPECT_EQ(a.at(0, 0), src.at(0, 0));  // -0.5 truncates to column 0
  EXPECT_EQ(a.at(1, 0), src.at(0, 0));
  // bilinear on the last column: only the vertical mix
  TestBitmap b(1, 1);
  RAST_DeltaBlit(&b, &src, 0, 0, 1, 1, kW - 1, 0.5f, kW, kH, 1, 0, 0, 1, 0, 0, false, 1.0f, RAST_BLIT_FILTER_BILINEAR);
  EXPECT_EQ(RAST_GETG(b.at(0, 0)), (RAST_GETG(src.at(kW - 1, 0)) + RAST_GETG(src.at(kW - 1, 1))) / 2);
  EXPECT_EQ(RAST_GETR(b.at(0, 0)), RAST_GETR(src.at(kW - 1, 0)));
  // a bilinear position just below 0 reads pixel 0 without fraction
  TestBitmap c(1, 1);
  RAST_DeltaBlit(&c, &src, 0, 0, 1, 1, -0.25f, -0.25f, kW, kH, 1, 0, 0, 1, 0, 0, false, 1.0f, RAST_BLIT_FILTER_BILINEAR);
  EXPECT_EQ(c.at(0, 0), src.at(0, 0));
  // positions beyond the 16.16 range draw nothing
  TestBitmap d(4, 4);
  RAST_DeltaBlit(&d, &src, 0, 0, 4, 4, 0, 0, kW, kH, 40000.0, 0, 0, 1, 0, 0, false, 1.0f, 0);
  RAST_DeltaBlit(&d, &src, 0, 0, 4, 4, 0, 0, kW, kH, 1, 0, 0, 1, 12000.0, 0, false, 1.0f, 0);
  EXPECT_TRUE(rastertest::allAre(d, 0));
}

TEST(DeltaBlit, ClipInvariant) {
  TestBitmap src = source();
  std::mt19937 rng(17);
  auto q = [&](int range) { return static_cast<double>(static_cast<int>(rng() % (2 * range + 1)) - range) / 64.0; };
  for (int it = 0; it < 300; ++it) {
    const int x = static_cast<int>(rng() % 20) - 10, y = static_cast<int>(rng() % 16) - 8;
    const int w = 1 + rng() % 14, h = 1 + rng() % 12;
    const float sx = static_cast<float>(q(256)), sy = static_cast<float>(q(256));
    const double s1 = q(80), t1 = q(80), s2 = q(80), t2 = q(80), s3 = q(4), t3 = q(4);
    const int mode = (it % 3 == 0 ? RAST_BLIT_FILTER_BILINEAR : 0) | (it % 4);
    EXPECT_TRUE(clipInvariant(12, 10, 16, [&](RAST_IBitmap* b, int dx, int dy) {
      RAST_DeltaBlit(b, &src, x + dx, y + dy, w, h, sx, sy, kW, kH, s1, t1, s2, t2, s3, t3, it % 2, 0.8f, mode);
    }, it % 2)) << it;
    // transform blits with whole-pixel cells of 4 x 4 and points on 1/16
    std::vector<float> pts(3 * 3 * 2);
    for (float& p : pts) p = static_cast<float>(rng() % 160) / 16.0f - 1;
    EXPECT_TRUE(clipInvariant(12, 10, 16, [&](RAST_IBitmap* b, int dx, int dy) {
      RAST_TransformBlit(b, &src, x + dx, y + dy, 8, 8, pts.data(), 3, 3, 1.0f, mode);
    })) << it;
  }
}

TEST(TransformBlit, TwoByTwoIsADeltaBlit) {
  TestBitmap src = source(true);
  const double pts[] = {1, 1, 7, 1, 1, 6, 7, 6};
  TestBitmap t(10, 8, 11), d(10, 8);
  RAST_TransformBlit2(&t, &src, 1, 1, 8, 6, pts, 2, 2, 0.7f, RAST_BLIT_FILTER_BILINEAR);
  RAST_DeltaBlit(&d, &src, 1, 1, 8, 6, 1, 1, 6, 5, 6.0 / 8, 0, 0, 5.0 / 6, 0, 0, false, 0.7f, RAST_BLIT_FILTER_BILINEAR);
  EXPECT_EQ(t.logical(), d.logical());
  EXPECT_FALSE(rastertest::allAre(t, 0));
  EXPECT_TRUE(t.paddingIntact());
}
