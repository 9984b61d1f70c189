// Circles, discs, arcs and rounded rectangles.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "raster/circles.h"
#include "raster/fills.h"
#include "raster/glyphs.h"
#include "shapetest.h"

using namespace shapetest;

namespace {

std::set<std::pair<int, int>> written(TestBitmap& bm) {
  std::set<std::pair<int, int>> s;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x)
      if (bm.at(x, y)) s.insert({x, y});
  return s;
}

bool isMaskRadius(float r) {
  for (const RAST_CircleMask& m : RAST_CircleMasks)
    if (m.r == r) return true;
  return false;
}

}  // namespace

TEST(Circle, Anchors) {
  TestBitmap a(21, 21, 22);
  RAST_Circle(&a, 10, 10, 3.2f, kOne, 1.0f, kAdd, false);
  const std::set<std::pair<int, int>> ring = {{7, 9},  {7, 10},  {7, 11},  {8, 8},   {8, 12},  {9, 7},
                                              {10, 7}, {11, 7},  {9, 13},  {10, 13}, {11, 13}, {12, 8},
                                              {12, 12}, {13, 9}, {13, 10}, {13, 11}};
  EXPECT_EQ(written(a), ring);
  EXPECT_EQ(total(a), 16);
  TestBitmap b(9, 9), c(9, 9);
  RAST_Circle(&b, 4, 4, 0.4f, kOne, 1.0f, kAdd, false);
  EXPECT_EQ(red(b, 4, 4), 4);
  EXPECT_EQ(total(b), 4);
  RAST_Circle(&c, 4, 4, 1.2f, kOne, 1.0f, kAdd, false);
  EXPECT_EQ(written(c), (std::set<std::pair<int, int>>{{4, 3}, {5, 4}, {4, 5}, {3, 4}}));
  // copy weights: 0.5 averages byte by byte, 1.0 overwrites, 0.999 blends at 255
  const RAST_pixel p = 0x03030303u, col = 0x80808080u;
  for (auto [alpha, want] : {std::pair{0.5f, 0x41414141u}, {1.0f, col},
                             {0.999f, rastertest::combine<_RAST_CombinePixelsCopyNoClamp>(p, col, 255)}}) {
    TestBitmap d(21, 21);
    d.at(10, 5) = p;
    RAST_Circle(&d, 10, 10, 5.0f, col, alpha, 0, false);
    EXPECT_EQ(d.at(10, 5), want) << alpha;
  }
}

TEST(Circle, Masks) {
  for (const RAST_CircleMask& m : RAST_CircleMasks) {
    EXPECT_EQ(m.size, static_cast<int>(2 * m.r + 1));
    for (const unsigned char* mask : {m.plain, m.aa})
      for (int y = 0; y < m.size; ++y)
        for (int x = 0; x < m.size; ++x) {
          EXPECT_EQ(mask[y * m.size + x], mask[y * m.size + (m.size - 1 - x)]) << m.r;
          EXPECT_EQ(mask[y * m.size + x], mask[(m.size - 1 - y) * m.size + x]) << m.r;
        }
    // the radius stamps its mask at the truncated corner
    for (bool aa : {false, true}) {
      TestBitmap s(12, 12, 13, aa), g(12, 12);
      RAST_Circle(&s, 5.7f, 6.2f, m.r, kWhite, 0.8f, kAdd, aa);
      RAST_DrawGlyph(&g, static_cast<int>(5.7f - m.r), static_cast<int>(6.2f - m.r), kWhite, aa ? m.aa : m.plain,
                     m.size, m.size, 0.8f, kAdd);
      EXPECT_EQ(s.logical(), g.logical()) << m.r;
    }
  }
  TestBitmap r(12, 12), g(12, 12);
  RAST_Circle(&r, 6, 6, 2.01f, kWhite, 1.0f, 0, false);
  RAST_DrawGlyph(&g, 4, 4, kWhite, RAST_CircleMasks[1].plain, 5, 5, 1.0f, 0);
  EXPECT_NE(r.logical(), g.logical());
}

TEST(Circle, OnceEachAndClipInvariant) {
  std::mt19937 rng(11);
  for (int it = 0; it < 600; ++it) {
    const float cx = (rng() % 400) / 10.0f, cy = (rng() % 300) / 10.0f, r = 2.0f + (rng() % 250) / 10.0f;
    const bool aa = it % 2, filled = it % 4 >= 2;
    if (isMaskRadius(r)) continue;
    if (!aa || filled) {  // each pixel combined once
      TestBitmap bm(40, 30, 41, it % 3 == 0);
      if (filled) RAST_FillCircle(&bm, cx, cy, r, kOne, 1.0f, kAdd, aa);
      else RAST_Circle(&bm, cx, cy, r, kOne, 1.0f, kAdd, aa);
      ASSERT_LE(most(bm), 1) << cx << "," << cy << " r " << r << " aa " << aa << " filled " << filled;
      EXPECT_TRUE(bm.paddingIntact());
    }
    const int mode = it % 6;
    const float alpha = it % 5 == 0 ? 1.0f : 0.6f;
    EXPECT_TRUE(clipInvariant(30, 24, 40, [&](RAST_IBitmap* b, int dx, int dy) {
      const RAST_pixel c = 0x50a0c0e0u;
      if (filled) RAST_FillCircle(b, cx + dx, cy + dy, r, c, alpha, mode, aa);
      else RAST_Circle(b, cx + dx, cy + dy, r, c, alpha, mode, aa);
      RAST_Arc(b, cx + dx, cy + dy, r + 2, r - 3.0f, r / 2, c, alpha, mode, aa);
    })) << cx << "," << cy << " r " << r << " aa " << aa << " filled " << filled;
  }
}

TEST(Circle, ArcsAndRoundRects) {
  TestBitmap full(30, 30), circle(30, 30), none(30, 30);
  RAST_Arc(&full, 15, 15, 9.5f, 0.0f, 6.2831855f, kWhite, 1.0f, 0, true);
  RAST_Circle(&circle, 15, 15, 9.5f, kWhite, 1.0f, 0, true);
  EXPECT_EQ(full.logical(), circle.logical());
  RAST_Arc(&none, 15, 15, 9.5f, 1.0f, 1.0f, kWhite, 1.0f, 0, true);
  EXPECT_EQ(total(none), 0);
  // a quarter from 0 (up) to pi/2 (right) stays in the upper right quadrant
  TestBitmap q(30, 30);
  RAST_Arc(&q, 15, 15, 9.0f, 0.0f, 1.5707964f, kOne, 1.0f, kAdd, false);
  for (auto [x, y] : written(q)) EXPECT_TRUE(x >= 15 && y <= 15) << x << "," << y;
  EXPECT_EQ(red(q, 15, 6), 1);
  EXPECT_EQ(red(q, 24, 15), 0);  // the clip stops above the centre row
  // corner radius 1, or one that clamps below 2, is the plain outline
  for (auto [rad, h] : {std::pair{1, 8.0f}, {9, 3.0f}}) {
    TestBitmap rr(20, 20), rect(20, 20);
    RAST_RoundRect(&rr, 2.5f, 3.0f, 10.0f, h, rad, kOne, 1.0f, kAdd, false);
    RAST_DrawRect(&rect, 2, 3, 10, static_cast<int>(h), kOne, 1.0f, kAdd);
    EXPECT_EQ(rr.logical(), rect.logical()) << rad;
  }
  TestBitmap rr(20, 20, 21, true);
  RAST_RoundRect(&rr, 2.0f, 3.0f, 12.0f, 10.0f, 4, kOne, 1.0f, kAdd, false);
  EXPECT_EQ(red(rr, 6, 3), 1);    // top edge from x + c
  EXPECT_EQ(red(rr, 2, 3), 0);    // the corner is cut
  EXPECT_EQ(red(rr, 14, 9), 1);   // right edge
  EXPECT_TRUE(rr.paddingIntact());
}
