// Glyph masks, bitmap utilities and Bezier curves.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "raster/bezier.h"
#include "raster/glyphs.h"
#include "raster/lines.h"
#include "shapetest.h"

using namespace shapetest;

TEST(Glyph, Painting) {
  std::vector<unsigned char> mask(10 * 2);
  for (int i = 0; i < 10; ++i) mask[i] = mask[10 + i] = static_cast<unsigned char>(10 + i);
  TestBitmap a(8, 4, 9, true);
  RAST_DrawGlyph(&a, -3, 1, kWhite, mask.data(), 10, 2, 1.0f, kAdd);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(a.at(x, 1) != 0, x <= 6) << x;  // mask columns 3-9 at 0-6
  EXPECT_TRUE(a.paddingIntact());
  const unsigned char full = 255, half = 128;
  TestBitmap b(3, 1);
  b.at(0, 0) = b.at(1, 0) = 0x20406080u;
  RAST_DrawGlyph(&b, 0, 0, 0xc0a08060u, &full, 1, 1, 1.0f, 0);
  RAST_DrawGlyph(&b, 1, 0, 0xc0a08060u, &half, 1, 1, 1.0f, 0);
  EXPECT_EQ(b.at(0, 0), 0xc0a08060u);  // weight 255 still writes the colour
  EXPECT_EQ(b.at(1, 0), rastertest::combine<_RAST_CombinePixelsCopyNoClamp>(0x20406080u, 0xc0a08060u, 128));
  // modes 1-5 take negative weights, copy needs a positive one, no mask no drawing
  TestBitmap c(2, 1);
  c.at(0, 0) = c.at(1, 0) = 0x40404040u;
  RAST_DrawGlyph(&c, 0, 0, kWhite, &full, 1, 1, -0.5f, kAdd);
  RAST_DrawGlyph(&c, 1, 0, kWhite, &full, 1, 1, -0.5f, 0);
  RAST_DrawGlyph(&c, 1, 0, kWhite, nullptr, 1, 1, 1.0f, 0);
  EXPECT_EQ(c.at(0, 0), 0u);  // 64 + 255 x -127 / 256 clamps to 0
  EXPECT_EQ(c.at(1, 0), 0x40404040u);
}

TEST(Glyph, ClipInvariant) {
  std::mt19937 rng(5);
  for (int it = 0; it < 200; ++it) {
    const int w = 1 + rng() % 9, h = 1 + rng() % 9, span = w + rng() % 3;
    std::vector<unsigned char> mask(static_cast<size_t>(span * h));
    for (auto& m : mask) m = static_cast<unsigned char>(rng());
    const int x = static_cast<int>(rng() % 24) - 8, y = static_cast<int>(rng() % 20) - 8;
    EXPECT_TRUE(clipInvariant(14, 10, 12, [&](RAST_IBitmap* b, int dx, int dy) {
      RAST_DrawGlyphEx(b, x + dx, y + dy, 0x8040c020u, mask.data(), w, span, h, 0.7f, it % 6);
    }, it % 2));
  }
}

TEST(BitmapUtils, KeysFillsHalvesAndCompares) {
  TestBitmap k(3, 1, 4, true);
  k.at(0, 0) = 0x11223344u, k.at(1, 0) = 0x11223300u, k.at(2, 0) = 0x99999999u;
  RAST_SetAlphaFromColorMask(&k, 0x11223300u);
  EXPECT_EQ(k.logical(), (std::vector<RAST_pixel>{0x11223300u, 0x11223300u, 0x999999ffu}));
  RAST_SetAlphaFromColorMask(&k, 0x11223301u);  // a key with alpha matches nothing
  EXPECT_EQ(k.at(0, 0), 0x112233ffu);

  TestBitmap f(5, 4, 6);
  RAST_SimpleFill(&f, 2, 1, 0x77u, 0xffffffffu, 0);
  EXPECT_TRUE(rastertest::allAre(f, 0x77u));  // every row reaches both edges
  EXPECT_TRUE(f.paddingIntact());

  TestBitmap s(5, 4), d(9, 9);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) s.at(x, y) = kWhite;
  RAST_HalveBlitAA(&d, &s);
  EXPECT_EQ(d.at(1, 1), 0xfcfcfcfcu);
  EXPECT_EQ(d.at(2, 0), 0u);
  EXPECT_EQ(d.at(0, 2), 0u);

  TestBitmap p(4, 4, 5), q(4, 4, 4, true), r3(3, 4), r5(5, 4);
  int c[4] = {9, 9, 9, 9};
  EXPECT_EQ(RAST_BitmapCmp(&p, &q, c), 0);
  EXPECT_EQ(c[0] | c[1] | c[2] | c[3], 0);
  EXPECT_EQ(RAST_BitmapCmp(&p, &q, nullptr), 0);
  q.at(1, 1) = 5, q.at(3, 2) = 7;
  EXPECT_EQ(RAST_BitmapCmp(&p, &q, c), 1);
  EXPECT_EQ(std::vector<int>(c, c + 4), (std::vector<int>{1, 1, 3, 2}));
  EXPECT_NE(RAST_BitmapCmp(&p, &q, nullptr), 0);
  EXPECT_EQ(RAST_BitmapCmp(&r3, &r5, nullptr), 2);
  EXPECT_EQ(RAST_BitmapCmp(nullptr, &r5, nullptr), -1);
  EXPECT_EQ(RAST_BitmapCmp(&r5, nullptr, nullptr), 1);
}

TEST(Bezier, GetY) {
  float nx = -1, dy = -1;
  double lo = -1, hi = -1;
  // a straight segment: points on the line, y3 and slope 0 at x3
  EXPECT_NEAR(RAST_CBezier_GetY(0, 3, 6, 9, 0, 2, 4, 6, 4.5f, &nx, &dy, &lo, &hi), 3.0f, 1e-4);
  EXPECT_NEAR(dy, 2.0f / 3.0f, 1e-4);
  EXPECT_EQ(RAST_CBezier_GetY(0, 3, 6, 9, 0, 2, 4, 6, 9, &nx, &dy, nullptr, nullptr), 6.0f);
  EXPECT_EQ(dy, 0.0f);
  EXPECT_EQ(nx, 9.0f);
  double t = -1;
  EXPECT_EQ(RAST_Bezier_GetY<float>(0, 5, 10, 0, 5, 20, 2.5f, &t), 5.0f);  // A = 0: y0 + (y2 - y0) t
  EXPECT_FLOAT_EQ(static_cast<float>(t), 0.25f);
}

TEST(Bezier, Curves) {
  // control point on the chord: the same pixels as the straight line
  TestBitmap q(20, 10), l(20, 10);
  RAST_DrawQBezier(&q, 1, 2, 9, 6, 17, 10, kOne, 1.0f, kAdd, false, 100);
  RAST_FLine(&l, 1, 2, 17, 10, kOne, 1.0f, kAdd, false);
  EXPECT_EQ(q.logical(), l.logical());
  // trimmed at x = 0 with the curve's own y there; tol 0 acts as 1
  TestBitmap t0(20, 20), t1(20, 20);
  RAST_DrawQBezier(&t0, -50, 0, 0, 40, 50, 0, kWhite, 1.0f, 0, true, 0);
  RAST_DrawQBezier(&t1, -50, 0, 0, 40, 50, 0, kWhite, 1.0f, 0, true, 1);
  EXPECT_EQ(t0.logical(), t1.logical());
  EXPECT_NE(t0.at(0, 15), 0u);  // y(0) = 20 for x = 0, clipped at the bottom; the curve enters at row 15
  // control polygon of length 2.5 with tol 1: one straight segment
  TestBitmap c(8, 8), s(8, 8);
  RAST_DrawCBezier(&c, 1, 1, 1.5f, 1.5f, 2, 2, 2.5f, 2.5f, kOne, 1.0f, kAdd, false, 1);
  RAST_FLine(&s, 1, 1, 2.5f, 2.5f, kOne, 1.0f, kAdd, false);
  EXPECT_EQ(c.logical(), s.logical());
}

TEST(Bezier, Fills) {
  // above the fill row: from the curve down to yfill + 1; below: from yfill
  // (wide pieces; a piece of one column stops at yfill)
  TestBitmap a(20, 20), b(20, 20), x(20, 20);
  RAST_FillCBezier(&a, 0, 2, 6, 2, 12, 2, 18, 2, 10, kOne, 1.0f, kAdd, 6);
  EXPECT_EQ(red(a, 5, 2), 1);
  EXPECT_EQ(red(a, 5, 11), 1);
  EXPECT_EQ(red(a, 5, 12), 0);
  RAST_FillCBezier(&b, 0, 15, 6, 15, 12, 15, 18, 15, 10, kOne, 1.0f, kAdd, 6);
  EXPECT_EQ(red(b, 5, 10), 1);
  EXPECT_EQ(red(b, 5, 9), 0);
  EXPECT_EQ(red(b, 5, 15), 1);
  // crossing: split at the crossing column into two triangles
  RAST_FillCBezier(&x, 0, 2, 6, 6, 12, 14, 18, 18, 10, kOne, 1.0f, kAdd, 10);
  EXPECT_EQ(red(x, 2, 9), 1);
  EXPECT_EQ(red(x, 16, 15), 1);
  EXPECT_EQ(red(x, 2, 12), 0);
  // consecutive pieces share no column
  std::mt19937 rng(9);
  for (int it = 0; it < 200; ++it) {
    float p[8];
    for (float& v : p) v = static_cast<float>(rng() % 200) / 10.0f - 5;
    TestBitmap m(24, 24, 25, it % 2);
    const int yfill = it % 2 ? 17 : -7;  // the curve wholly on one side
    RAST_FillCBezier(&m, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], yfill, kOne, 1.0f, kAdd, 1 + it % 3);
    ASSERT_LE(most(m), 1) << it;
    RAST_FillCBezierX(&m, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], rng() % 24, kOne, 1.0f, kAdd, 2);
    EXPECT_TRUE(m.paddingIntact());
  }
}
