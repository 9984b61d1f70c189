// Trapezoid, polygon and triangle fills, rectangle outlines.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <random>
#include <vector>

#include "raster/fills.h"
#include "shapetest.h"

using namespace shapetest;

namespace {

// Counts the nothrow array allocations, so that a test can see the polygon
// take its heap buffer.
int g_nothrowArrays = 0;

// The columns of row y that hold a non-zero red channel, as [first, last].
std::pair<int, int> rowSpan(TestBitmap& bm, int y) {
  int a = -1, b = -1;
  for (int x = 0; x < bm.getWidth(); ++x)
    if (red(bm, x, y)) {
      if (a < 0) a = x;
      b = x;
    }
  return {a, b};
}

// A random convex polygon: points on an ellipse, shuffled.
void convex(std::mt19937& rng, std::vector<int>& xs, std::vector<int>& ys, int cx, int cy) {
  const int n = 3 + rng() % 9;
  xs.clear(), ys.clear();
  const double rx = 2 + rng() % 30, ry = 2 + rng() % 30, a0 = rng() % 100;
  for (int i = 0; i < n; ++i) {
    const double a = a0 + i * 6.283185307179586 / n;
    xs.push_back(cx + static_cast<int>(std::lround(rx * std::cos(a))));
    ys.push_back(cy + static_cast<int>(std::lround(ry * std::sin(a))));
  }
  for (int i = n - 1; i > 0; --i) {
    const int j = rng() % (i + 1);
    std::swap(xs[i], xs[j]), std::swap(ys[i], ys[j]);
  }
}

}  // namespace

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  ++g_nothrowArrays;
  try {
    return ::operator new[](n);
  } catch (...) {
    return nullptr;
  }
}

TEST(FillTrapezoid, Anchors) {
  TestBitmap a(12, 8, 13);
  RAST_FillTrapezoid(&a, 0, 9, 5, 9, 0, 5, kOne, 1.0f, kAdd);
  EXPECT_EQ(rowSpan(a, 5), std::make_pair(0, 9));
  EXPECT_EQ(total(a), 10);
  // steps of 218453 per row: the last row lands at 9, not 10
  TestBitmap b(16, 8);
  RAST_FillTrapezoid(&b, 0, 0, 0, 10, 10, 3, kOne, 1.0f, kAdd);
  const std::pair<int, int> rows[] = {{0, 0}, {3, 3}, {6, 6}, {9, 9}};
  for (int y = 0; y < 4; ++y) EXPECT_EQ(rowSpan(b, y), rows[y]) << y;
  // ends at or beyond the left and right edges make vertical edges there
  TestBitmap c(10, 6);
  RAST_FillTrapezoid(&c, -3, 4, 0, 0, 6, 5, kOne, 1.0f, kAdd);
  RAST_FillTrapezoid(&c, 7, 9, 0, 8, 30, 2, kOne, 1.0f, kAdd);
  EXPECT_EQ(rowSpan(c, 5).first, 0);
  EXPECT_EQ(rowSpan(c, 1).second, 9);
  // seven rows above the bitmap: row 0 starts with both edges 7 rows on
  TestBitmap d(40, 4), e(40, 11);
  RAST_FillTrapezoid(&d, 0, 1, -7, 30, 39, 3, kOne, 1.0f, kAdd);
  RAST_FillTrapezoid(&e, 0, 1, 0, 30, 39, 10, kOne, 1.0f, kAdd);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(rowSpan(d, y), rowSpan(e, y + 7)) << y;
}

TEST(FillTrapezoid, CopyWeights) {
  const RAST_pixel p = 0x80604020u, c = 0x11335577u;
  const struct {
    float alpha;
    RAST_pixel want;
  } cases[] = {
      {1.0f, c},
      {0.5f, _RAST_CombinePixelsHalfMix2FAST::mix(p, c)},
      {0.25f, _RAST_CombinePixelsQuarterMix2FAST::mix(p, c)},
      {0.75f, _RAST_CombinePixelsThreeQuarterMix2FAST::mix(p, c)},
      {0.3f, rastertest::combine<_RAST_CombinePixelsCopyNoClamp>(p, c, 76)},
  };
  for (const auto& k : cases)
    for (bool rect : {true, false}) {
      TestBitmap bm(6, 4, 7, true);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) bm.at(x, y) = p;
      RAST_FillTrapezoid(&bm, 1, 3, 1, 1, rect ? 3 : 4, 2, c, k.alpha, 0);
      EXPECT_EQ(bm.at(2, 2), k.want) << k.alpha;
      EXPECT_EQ(bm.at(0, 2), p);
      EXPECT_TRUE(bm.paddingIntact());
    }
}

TEST(FillPolygon, Anchors) {
  TestBitmap t(8, 8);
  RAST_FillTriangle(&t, 0, 0, 4, 0, 0, 4, kOne, 1.0f, kAdd);
  EXPECT_EQ(total(t), 15);
  EXPECT_EQ(most(t), 1);
  // a single top vertex: two bands meeting at the middle vertex's row
  TestBitmap u(12, 12);
  RAST_FillTriangle(&u, 5, 0, 0, 4, 9, 10, kOne, 1.0f, kAdd);
  EXPECT_EQ(most(u), 1);
  // all on one row: min x to max x; a row wholly left of the bitmap draws nothing
  const int xs[] = {7, 2, 5}, ys[] = {3, 3, 3}, lx[] = {-9, -4, -6};
  TestBitmap v(10, 6);
  RAST_FillConvexPolygon(&v, xs, ys, 3, kOne, 1.0f, kAdd);
  EXPECT_EQ(rowSpan(v, 3), std::make_pair(2, 7));
  RAST_FillConvexPolygon(&v, lx, ys, 3, kOne, 1.0f, kAdd);
  RAST_FillConvexPolygon(&v, xs, ys, 2, kOne, 1.0f, kAdd);
  EXPECT_EQ(total(v), 6);
  // 513 vertices take the heap buffer (freed: the leak checker watches)
  std::vector<int> hx, hy;
  for (int i = 0; i < 513; ++i) {
    const double a = i * 6.283185307179586 / 513;
    hx.push_back(20 + static_cast<int>(std::lround(15 * std::cos(a))));
    hy.push_back(20 + static_cast<int>(std::lround(15 * std::sin(a))));
  }
  TestBitmap big(41, 41), small(41, 41);
  const int before = g_nothrowArrays;
  RAST_FillConvexPolygon(&big, hx.data(), hy.data(), 513, kOne, 1.0f, kAdd);
  EXPECT_EQ(g_nothrowArrays, before + 1);
  RAST_FillConvexPolygon(&small, hx.data(), hy.data(), 512, kOne, 1.0f, kAdd);
  EXPECT_EQ(g_nothrowArrays, before + 1);
  EXPECT_EQ(most(big), 1);
  EXPECT_GT(total(big), 600);
}

TEST(FillPolygon, OnceEachAndClipInvariant) {
  std::mt19937 rng(3);
  std::vector<int> xs, ys;
  for (int it = 0; it < 400; ++it) {
    convex(rng, xs, ys, 5 + rng() % 30, 5 + rng() % 30);
    TestBitmap bm(48, 48, 50, it % 2);
    for (auto& y : ys) y += 4;
    RAST_FillConvexPolygon(&bm, xs.data(), ys.data(), static_cast<int>(xs.size()), kOne, 1.0f, kAdd);
    ASSERT_LE(most(bm), 1) << it;
    EXPECT_TRUE(clipInvariant(20, 16, 40, [&](RAST_IBitmap* b, int dx, int dy) {
      std::vector<int> mx(xs), my(ys);
      for (auto& x : mx) x += dx;
      for (auto& y : my) y += dy;
      RAST_FillConvexPolygon(b, mx.data(), my.data(), static_cast<int>(mx.size()), 0x40302010u, 0.6f, 1 + it % 5);
      RAST_FillTrapezoid(b, mx[0], mx[1], my[0], mx[2] - 3, mx[2] + 4, my[2], 0x10203040u, 0.7f, it % 5);
    }, it % 3 == 0)) << it;
  }
  // a flipped bitmap is filled as the unflipped one with mirrored rows
  for (int it = 0; it < 50; ++it) {
    convex(rng, xs, ys, 5 + rng() % 30, 5 + rng() % 30);
    TestBitmap f(48, 48, 48, true), u(48, 48);
    std::vector<int> my(ys);
    for (auto& y : my) y = 47 - y;
    RAST_FillConvexPolygon(&f, xs.data(), ys.data(), static_cast<int>(xs.size()), kOne, 1.0f, kAdd);
    RAST_FillConvexPolygon(&u, xs.data(), my.data(), static_cast<int>(xs.size()), kOne, 1.0f, kAdd);
    RAST_FillTrapezoid(&f, xs[0], xs[1], ys[0], xs[2], xs[2] + 5, ys[2], kOne, 1.0f, kAdd);
    RAST_FillTrapezoid(&u, xs[0], xs[1], my[0], xs[2], xs[2] + 5, my[2], kOne, 1.0f, kAdd);
    ASSERT_TRUE(std::equal(f.getBits(), f.getBits() + 48 * 48, u.getBits())) << it;
  }
  // extreme corners stay in 64 bits
  TestBitmap e(9, 7, 10);
  RAST_FillTrapezoid(&e, INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MAX, kOne, 1.0f, kAdd);
  EXPECT_EQ(total(e), 63);
  RAST_FillTriangle(&e, INT_MIN, INT_MIN, INT_MAX, 3, INT_MIN, INT_MAX, kOne, 1.0f, 0);
  EXPECT_TRUE(e.paddingIntact());
}

TEST(Rects, OutlineAndBordered) {
  TestBitmap r(10, 8);
  RAST_DrawRect(&r, 1, 1, 5, 4, kOne, 1.0f, kAdd);
  EXPECT_EQ(rowSpan(r, 1), std::make_pair(1, 6));
  EXPECT_EQ(red(r, 1, 1), 2);  // each corner drawn by two lines
  EXPECT_EQ(total(r), 18 + 4);  // 6 x 5 outline, corners twice
  TestBitmap b(10, 8, 11, true);
  RAST_BorderedRect(&b, 1, 1, 5, 4, 0x02020202u, kOne, 1.0f, kAdd);
  EXPECT_EQ(red(b, 3, 3), 2);
  EXPECT_EQ(red(b, 6, 5), 2);
  RAST_DrawRect(&b, INT_MAX - 2, 0, INT_MAX, INT_MAX, kOne, 1.0f, kAdd);
  EXPECT_TRUE(b.paddingIntact());
}
