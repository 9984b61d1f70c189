// Line clipping, integer and float lines, anti-aliased weights and dashed
// lines.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <random>
#include <utility>

#include "raster/lines.h"
#include "shapetest.h"

using namespace shapetest;

namespace {

struct Clip {
  int x1, y1, x2, y2, lo, hi;  // window lo..hi-1 on both axes
  bool in;
  int w1, v1, w2, v2;
};

// Pixel -> weight of the anti-aliased stepper (or of every pixel of a plain
// line, weight ia), by the closed forms of the walk from both ends.
std::map<std::pair<int, int>, int> expectedLine(int x1, int y1, int x2, int y2, bool aa, int ia) {
  const bool xmajor = std::abs(x2 - x1) > std::abs(y2 - y1);
  if ((xmajor ? x2 - x1 : y2 - y1) < 0) std::swap(x1, x2), std::swap(y1, y2);
  const int n = xmajor ? x2 - x1 : y2 - y1, dmin = xmajor ? y2 - y1 : x2 - x1, sg = dmin < 0 ? -1 : 1;
  const int slope = n ? static_cast<int>(std::abs(dmin) / static_cast<double>(n) * 65536.0) : 0;
  std::map<std::pair<int, int>, int> m;
  auto put = [&](bool fromStart, int k, int off, int w) {
    const int a = fromStart ? k : n - k, b = fromStart ? sg * off : dmin - sg * off;
    m[xmajor ? std::make_pair(x1 + a, y1 + b) : std::make_pair(x1 + b, y1 + a)] = w;
  };
  for (int k = 0; k <= n; ++k) {
    const bool fromStart = k <= n / 2;
    const int kk = fromStart ? k : n - k;
    const int64_t acc = int64_t{kk} * slope;
    if (!aa) {
      put(fromStart, kk, static_cast<int>((acc + 32768) / 65536), ia);
    } else if (kk == 0) {
      put(fromStart, 0, 0, ia);
    } else {
      const int f = static_cast<int>(acc % 65536) >> 8, off = static_cast<int>(acc / 65536);
      const int wm = ia == 256 ? 255 - f : (255 - f) * ia / 256, ws = ia == 256 ? f : f * ia / 256;
      put(fromStart, kk, off, wm);
      put(fromStart, kk, off + 1, ws);
    }
  }
  return m;
}

}  // namespace

TEST(LineClip, Cases) {
  const Clip cases[] = {
      {2, 3, 7, 8, 0, 10, true, 2, 3, 7, 8},            // inside: unchanged
      {-5, 3, -1, 8, 0, 10, false, -5, 3, -1, 8},       // both left
      {-5, 3, 15, 3, 0, 10, true, 0, 3, 9, 3},          // across: clipped to 0 and w - 1
      {15, 8, 12, 13, 10, 20, true, 14, 10, 12, 13},    // window 10..19: the top cut truncates toward zero
      {5, 25, 5, 20, 10, 20, false, 5, 19, 5, 20},      // a point at 20 is outside
      {INT_MIN, 4, INT_MAX, 4, 0, 10, true, 0, 4, 9, 4},  // no overflow at the int range
  };
  for (const Clip& c : cases) {
    int x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    EXPECT_EQ(RAST_ClipLine(&x1, &y1, &x2, &y2, c.lo, c.lo, c.hi, c.hi), c.in) << c.x1 << "," << c.y1;
    if (c.in) {
      EXPECT_EQ(std::make_tuple(x1, y1, x2, y2), std::make_tuple(c.w1, c.v1, c.w2, c.v2)) << c.x1;
    }
  }
  // the bottom cut interpolates at h, not h - 1
  int x1 = 0, y1 = 0, x2 = 10, y2 = 20;
  EXPECT_TRUE(RAST_ClipLine(&x1, &y1, &x2, &y2, 0, 0, 100, 10));
  EXPECT_EQ(std::make_pair(x2, y2), std::make_pair(5, 9));
}

TEST(LineClip, Float) {
  float x1 = 2, y1 = 2, x2 = 9, y2 = 2;  // w = 10: x = 9 is outside and moves to 8
  EXPECT_TRUE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10));
  EXPECT_EQ(x2, 8.0f);
  x1 = 9, y1 = 1, x2 = 9, y2 = 5;  // a line on x = w - 1 is rejected
  EXPECT_FALSE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10));
  x1 = 2, y1 = 2, x2 = 9, y2 = 2;  // width 10.9 truncates to 10
  EXPECT_TRUE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 0, 0, 10.9f, 10));
  EXPECT_EQ(x2, 8.0f);
  x1 = NAN;
  EXPECT_FALSE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10));
  x1 = 2, y1 = 2, x2 = 1e30f, y2 = -1e30f;  // a move that overflows is dropped
  EXPECT_FALSE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 0, 0, 10, 10) && !std::isfinite(x2));
}

TEST(Line, Anchors) {
  const struct {
    int x1, y1, x2, y2;
    bool aa;
    int ia;
    std::vector<std::pair<std::pair<int, int>, int>> want;  // pixel, weight; the rest stay 0
  } cases[] = {
      {3, 2, 3, 2, false, 256, {{{3, 2}, 256}}},
      {0, 0, 4, 1, false, 256, {{{0, 0}, 256}, {{1, 0}, 256}, {{2, 1}, 256}, {{3, 1}, 256}, {{4, 1}, 256}}},
      {0, 0, 2, 1, false, 256, {{{0, 0}, 256}, {{1, 1}, 256}, {{2, 1}, 256}}},
      {0, 0, 4, 1, true, 256,
       {{{0, 0}, 256}, {{1, 0}, 191}, {{1, 1}, 64}, {{2, 0}, 127}, {{2, 1}, 128}, {{3, 0}, 64}, {{3, 1}, 191},
        {{4, 1}, 256}}},
      {0, 0, 4, 1, true, 128,
       {{{0, 0}, 128}, {{1, 0}, 95}, {{1, 1}, 32}, {{2, 0}, 63}, {{2, 1}, 64}, {{3, 0}, 32}, {{3, 1}, 95},
        {{4, 1}, 128}}},
      {-3, 2, 2, 2, true, 256, {{{0, 2}, 256}, {{1, 2}, 256}, {{2, 2}, 256}}},  // aa: no change when straight
  };
  for (const auto& c : cases) {
    TestBitmap bm(8, 6, 9);
    RAST_Line(&bm, c.x1, c.y1, c.x2, c.y2, kWhite, c.ia / 256.0f, kAdd, c.aa);
    TestBitmap want(8, 6);
    for (const auto& [p, w] : c.want) want.at(p.first, p.second) = 0x01010101u * shown(w);
    EXPECT_EQ(bm.logical(), want.logical()) << c.x2 << " aa " << c.aa << " ia " << c.ia;
  }
}

TEST(Line, CopyRulesAndModes) {
  // copy at exactly 0.5 is the word mix, at weight 128 otherwise the byte mix
  TestBitmap a(4, 1), b(4, 1);
  a.at(1, 0) = b.at(1, 0) = 0x01010101u;
  RAST_Line(&a, 1, 0, 1, 0, 0x01010101u, 0.5f, 0, false);
  RAST_Line(&b, 1, 0, 1, 0, 0x01010101u, 0.501f, 0, false);
  EXPECT_EQ(a.at(1, 0), 0u);
  EXPECT_EQ(b.at(1, 0), 0x01010101u);
  // 45 degrees, anti-aliased, opaque copy: 3/4 main pixels, 1/4 corners
  TestBitmap d(5, 5);
  RAST_Line(&d, 0, 0, 3, 3, 0xfcfcfcfcu, 1.0f, 0, true);
  int main = 0, side = 0;
  for (RAST_pixel p : d.logical()) main += p == 0xbdbdbdbdu, side += p == 0x3f3f3f3fu;
  EXPECT_EQ(main, 4);
  EXPECT_EQ(side, 6);
  EXPECT_EQ(d.at(2, 1), 0x3f3f3f3fu);
  // flipped rows, 0x10000 as plain copy, and the draw-nothing cases
  TestBitmap f(6, 4, 7, true);
  RAST_Line(&f, 1, 0, 4, 0, kWhite, 1.0f, RAST_BLIT_USE_SOURCE_ALPHA, false);
  EXPECT_EQ(f.getBits()[3 * 7 + 2], kWhite);
  for (auto [alpha, mode] : {std::pair{1.0f, 6}, {0.003f, 0}, {-0.5f, 0}, {NAN, 1}}) {
    TestBitmap n(6, 4);
    RAST_Line(&n, 0, 0, 5, 2, kWhite, alpha, mode, false);
    RAST_FLine(&n, 0, 0, 5, 2, kWhite, alpha, mode, true);
    EXPECT_TRUE(rastertest::allAre(n, 0)) << alpha << " " << mode;
  }
}

TEST(Line, ClosedFormsOverRandomLines) {
  std::mt19937 rng(7);
  for (int it = 0; it < 3000; ++it) {
    const int x1 = rng() % 40, y1 = rng() % 30, x2 = rng() % 40, y2 = rng() % 30;
    const bool aa = it % 2;
    const bool general = std::abs(x2 - x1) != std::abs(y2 - y1) && x1 != x2 && y1 != y2;
    if (aa && !general) continue;
    const int ia = it % 3 == 0 ? 128 : 256;
    TestBitmap bm(40, 30, 41);
    RAST_Line(&bm, x1, y1, x2, y2, aa ? kWhite : kOne, aa ? ia / 256.0f + 0.001f : 1.0f, kAdd, aa);
    const auto want = expectedLine(x1, y1, x2, y2, aa, aa ? ia : 256);
    int sum = 0;
    for (const auto& [p, w] : want) {
      const int v = red(bm, p.first, p.second);
      EXPECT_EQ(v, aa ? shown(w) : 1) << x1 << "," << y1 << "-" << x2 << "," << y2 << " at " << p.first;
      sum += v;
    }
    EXPECT_EQ(total(bm), sum);  // nothing else written, nothing twice
    // every other mode writes the same pixels
    const int mode = it % 6;
    TestBitmap other(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) other.at(x, y) = 0x80808080u;
    RAST_Line(&other, x1, y1, x2, y2, 0x30c0a0ffu, 0.7f, mode, aa);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        if (!want.count({x, y})) {
          ASSERT_EQ(other.at(x, y), 0x80808080u) << mode;
        }
  }
}

TEST(FLine, Anchors) {
  TestBitmap a(12, 12, 13);
  RAST_FLine(&a, 2.9f, 1.0f, 6.0f, 1.0f, kOne, 1.0f, kAdd, false);  // truncated to x = 2
  EXPECT_EQ(red(a, 2, 1), 1);
  EXPECT_EQ(total(a), 5);
  const struct {
    float x1, y1, x2, y2;
    std::vector<std::pair<std::pair<int, int>, int>> want;  // shown values
  } cases[] = {
      {3.0f, 3.0f, 3.0f, 3.0f, {}},
      {2.3f, 5.0f, 2.7f, 5.0f, {}},
      {0.0f, 5.0f, 3.0f, 5.0f, {{{0, 5}, shown(255)}, {{3, 5}, shown(255)}, {{0, 6}, 0}}},
      {0.0f, 5.5f, 3.0f, 5.5f, {{{1, 5}, shown(127)}, {{1, 6}, shown(128)}}},
      {0.0f, 5.25f, 10.0f, 4.25f, {{{0, 6}, shown(64)}, {{0, 5}, shown(191)}}},
      {2.0f, 2.0f, 5.0f, 5.0f, {{{3, 3}, shown(255)}, {{4, 3}, 0}}},  // |dx| = |dy|: stepped along y
      {1.0f, 2.0f, 11.0f, 2.0f, {{{10, 2}, shown(255)}, {{11, 2}, 0}}},  // the end on w - 1 stops at w - 2
  };
  for (const auto& c : cases) {
    TestBitmap bm(12, 12, 13);
    RAST_FLine(&bm, c.x1, c.y1, c.x2, c.y2, kWhite, 1.0f, kAdd, true);
    if (c.want.empty()) {
      EXPECT_EQ(total(bm), 0) << c.x1;
    }
    for (const auto& [p, v] : c.want) EXPECT_EQ(red(bm, p.first, p.second), v) << c.x1 << "," << c.y1;
  }
}

TEST(DashedLine, Patterns) {
  const struct {
    int x1, y1, x2, y2, on, off;
    float alpha;
    std::vector<int> set;  // coordinates along the line that are written
  } cases[] = {
      {0, 2, 10, 2, 3, 2, 1.0f, {0, 1, 2, 5, 6, 7}},
      {10, 2, 0, 2, 3, 2, 1.0f, {0, 1, 2, 5, 6, 7}},
      {-4, 2, 10, 2, 3, 2, 1.0f, {0, 1, 2, 5, 6, 7}},
      {3, 0, 3, 4, 1, 1, 1.0f, {0, 2}},
      {3, 0, 3, 4, 1, 1, 0.9f, {0, 2}},
      {0, 0, 5, 5, 1, 1, 1.0f, {}},   // diagonal
      {4, 4, 4, 4, 1, 1, 1.0f, {}},   // single point
      {0, 2, 10, 2, 3, -3, 1.0f, {}},  // no progress
      {0, 2, 10, 2, 0, 2, 1.0f, {}},
  };
  for (const auto& c : cases) {
    TestBitmap bm(12, 12, 13, true);  // memory rows, even on a flipped bitmap
    if (c.alpha == 1.0f) RAST_DashedLine(&bm, c.x1, c.y1, c.x2, c.y2, c.on, c.off, kOne, 1.0f, kAdd, false);
    else RAST_DashedLine(&bm, c.x1, c.y1, c.x2, c.y2, c.on, c.off, kWhite, c.alpha, 0, false);
    const bool horiz = c.y1 == c.y2 && c.x1 != c.x2;
    for (int k = 0; k < 12; ++k) {
      const RAST_pixel p = horiz ? rastertest::px(bm, k, c.y1) : rastertest::px(bm, c.x1, k);
      const bool on = std::find(c.set.begin(), c.set.end(), k) != c.set.end();
      EXPECT_EQ(RAST_GETR(p) != 0, on) << c.x1 << "," << c.y1 << " k " << k;
      if (on && c.alpha == 1.0f) {
        EXPECT_EQ(RAST_GETR(p), 1);  // combined once
      }
    }
  }
  // the opaque copy fast path gives the same rows as the copy member
  TestBitmap fast(4, 6), slow(4, 6);
  RAST_DashedLine(&fast, 1, 0, 1, 5, 1, 1, kWhite, 1.0f, 0, false);
  RAST_DashedLine(&slow, 1, 0, 1, 5, 1, 1, kWhite, 0.999f, 0, false);
  for (int y = 0; y < 6; ++y) EXPECT_EQ(fast.at(1, y) != 0, slow.at(1, y) != 0) << y;
}
