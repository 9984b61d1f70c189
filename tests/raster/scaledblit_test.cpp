// The scaled blit's sampling rules on small bitmaps, mirroring, clipping and
// random parameters under the sanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "raster/blit.h"
#include "rastertest.h"

using rastertest::splat;
using rastertest::TestBitmap;

namespace {

TestBitmap row(std::initializer_list<RAST_pixel> px) {
  TestBitmap b(static_cast<int>(px.size()), 1);
  int x = 0;
  for (RAST_pixel p : px) b.at(x++, 0) = p;
  return b;
}

// Channel-wise average of the listed pixels, truncated.
RAST_pixel average(const std::vector<RAST_pixel>& px) {
  int sum[4] = {0, 0, 0, 0};
  for (RAST_pixel p : px)
    for (int k = 0; k < 4; ++k) sum[k] += (p >> (8 * k)) & 0xff;
  const int n = static_cast<int>(px.size());
  return RAST_RGBA(sum[1] / n, sum[2] / n, sum[3] / n, sum[0] / n);
}

constexpr int kBilinear = RAST_BLIT_FILTER_BILINEAR;

}  // namespace

TEST(ScaledBlit, NothingDrawnCases) {
  TestBitmap src(4, 4), dest(4, 4);
  std::mt19937 rng(1);
  src.fillRandom(rng);
  dest.fillRandom(rng);
  const auto before = dest.logical();
  RAST_ScaledBlit(&dest, &src, 0, 0, 0, 4, 0, 0, 2, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.003f, kBilinear);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0xfc);  // channel copy needs no scaling
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 6);
  RAST_ScaledBlit(&dest, &src, 0, 0, -4, 4, 0, 0, -4, 4, 1.0f, 0);  // equal negative sizes: empty plain blit
  RAST_ScaledBlit(nullptr, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, nullptr, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
  RAST_MemBitmap empty;
  RAST_ScaledBlit(&dest, &empty, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, 0);
  // values whose fixed-point form leaves the int range, NaN and infinity
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 1e10f, 0, 2, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, -1e10f, 2, 2, 1.0f, kBilinear);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 1e10f, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, nan, 0, 2, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, inf, 2, 1.0f, 0);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, nan, 1);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 4, nan, 1.0f, 0);
  EXPECT_EQ(dest.logical(), before);
  // extreme destination rectangles are clipped without overflow
  RAST_ScaledBlit(&dest, &src, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 4, 4, 1.0f, kBilinear);
  RAST_ScaledBlit(&dest, &src, INT_MAX, INT_MAX, INT_MIN, INT_MIN, 0, 0, 4, 4, 1.0f, kBilinear);
  RAST_ScaledBlit(&dest, &src, INT_MIN, 0, -1, 4, 0, 0, 4, 4, 1.0f, 0);
}

TEST(ScaledBlit, UnscaledShortcutAndItsFilterCondition) {
  // a plain blit from x 3 without the filter or near a whole pixel; with
  // the filter, fraction 13107 at 3.2
  const struct {
    float x;
    int filter;
    RAST_pixel first;
  } cases[] = {{3.2f, 0, splat(0)}, {3.2f, kBilinear, splat((255 * 13107) >> 16)}, {3.02f, kBilinear, splat(0)}};
  for (const auto& c : cases) {
    TestBitmap s = row({splat(9), splat(9), splat(9), splat(0), splat(255), splat(255)}), dest(2, 1);
    RAST_ScaledBlit(&dest, &s, 0, 0, 2, 1, c.x, 0, 2, 1, 1.0f, c.filter);
    EXPECT_EQ(dest.logical(), (std::vector<RAST_pixel>{c.first, splat(255)})) << c.x << " " << c.filter;
  }
  {
    TestBitmap s(5, 4), dest(5, 4);
    std::mt19937 rng(2);
    s.fillRandom(rng);
    RAST_ScaledBlit(&dest, &s, 0, 0, 5, 4, 0, 0, 5, 4, 1.0f, kBilinear);  // the image-cache call at scale 1
    EXPECT_EQ(dest.logical(), s.logical());
  }
}

TEST(ScaledBlit, BilinearEnlargement) {
  const RAST_pixel A = RAST_RGBA(10, 200, 31, 255), B = RAST_RGBA(250, 0, 101, 3);
  TestBitmap src = row({A, B}), dest(4, 1);
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 1, 0, 0, 2, 1, 1.0f, kBilinear);
  EXPECT_EQ(dest.at(0, 0), A);
  EXPECT_EQ(dest.at(1, 0), average({A, B}));
  EXPECT_EQ(dest.at(2, 0), B);
  EXPECT_EQ(dest.at(3, 0), B);

  // Two dimensions: the inner weights of all four neighbours.
  TestBitmap sq(2, 2), out(4, 4);
  sq.at(0, 0) = splat(0);
  sq.at(1, 0) = splat(100);
  sq.at(0, 1) = splat(200);
  sq.at(1, 1) = splat(40);
  RAST_ScaledBlit(&out, &sq, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, kBilinear);
  // (0.5, 0.5): each weight 16384
  EXPECT_EQ(out.at(1, 1), splat((0 + 100 + 200 + 40) / 4));
  // (0.5, 0) on the inner row's top: P and R only
  EXPECT_EQ(out.at(1, 0), splat(50));
  // last column, inner row (1, 0.5): P and D
  EXPECT_EQ(out.at(2, 1), splat((100 + 40) / 2));
  // last row and column
  EXPECT_EQ(out.at(3, 3), splat(40));
}

TEST(ScaledBlit, BoxFilteredReduction) {
  TestBitmap src(4, 4), dest(2, 2);
  std::mt19937 rng(3);
  src.fillRandom(rng);
  RAST_ScaledBlit(&dest, &src, 0, 0, 2, 2, 0, 0, 4, 4, 1.0f, kBilinear);
  EXPECT_EQ(dest.at(0, 0), average({src.at(0, 0), src.at(1, 0), src.at(0, 1), src.at(1, 1)}));
  EXPECT_EQ(dest.at(1, 1), average({src.at(1, 1), src.at(2, 1), src.at(3, 1), src.at(1, 2), src.at(2, 2), src.at(3, 2),
                                    src.at(1, 3), src.at(2, 3), src.at(3, 3)}));

  // A step above 3 takes the 5 x 5 box.
  TestBitmap big(10, 10), small(2, 2);
  big.fillRandom(rng);
  RAST_ScaledBlit(&small, &big, 0, 0, 2, 2, 0, 0, 10, 10, 1.0f, kBilinear);
  auto boxAt = [&](int cx, int cy) {
    std::vector<RAST_pixel> box;
    for (int y = std::max(cy - 2, 0); y <= std::min(cy + 2, 9); ++y)
      for (int x = std::max(cx - 2, 0); x <= std::min(cx + 2, 9); ++x) box.push_back(big.at(x, y));
    return average(box);
  };
  EXPECT_EQ(small.at(0, 0), boxAt(0, 0));
  EXPECT_EQ(small.at(1, 1), boxAt(5, 5));
  EXPECT_EQ(small.at(1, 0), boxAt(5, 0));

  // A reduction by 1.5 samples bilinearly: (1.5, 1.5) mixes four pixels.
  TestBitmap six(6, 6), four(4, 4);
  six.fillRandom(rng);
  RAST_ScaledBlit(&four, &six, 0, 0, 4, 4, 0, 0, 6, 6, 1.0f, kBilinear);
  EXPECT_EQ(four.at(1, 1), average({six.at(1, 1), six.at(2, 1), six.at(1, 2), six.at(2, 2)}));
  // Without the filter the reduction samples the nearest pixel.
  TestBitmap near(2, 2);
  RAST_ScaledBlit(&near, &src, 0, 0, 2, 2, 0, 0, 4, 4, 1.0f, 0);
  EXPECT_EQ(near.at(1, 1), src.at(2, 2));
}

TEST(ScaledBlit, NearestFastPathsAndWeights) {
  TestBitmap src(2, 2), orig(4, 4);
  std::mt19937 rng(4);
  src.fillRandom(rng);
  orig.fillRandom(rng);
  // opaque copies, the word half mix at 0.5, the copy combiner otherwise
  for (float alpha : {1.0f, 0.5f, 0.75f}) {
    TestBitmap d = orig;
    RAST_ScaledBlit(&d, &src, 0, 0, 4, 4, 0, 0, 2, 2, alpha, 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const RAST_pixel s = src.at(x / 2, y / 2), o = orig.at(x, y);
        EXPECT_EQ(d.at(x, y), alpha == 1.0f   ? s
                              : alpha == 0.5f ? _RAST_CombinePixelsHalfMixFAST::mix(o, s)
                                              : rastertest::combine<_RAST_CombinePixelsCopyNoClamp>(o, s, 192))
            << alpha << " " << x << "," << y;
      }
  }
}

TEST(ScaledBlit, MirroringGivesTheExactReverse) {
  std::mt19937 rng(5);
  struct Case {
    int sw, dw;
    int filter;
  } cases[] = {{8, 4, 0}, {4, 8, 0}, {3, 6, 0}, {4, 8, kBilinear}, {8, 4, kBilinear}, {5, 5, kBilinear}};
  for (const Case& c : cases) {
    TestBitmap src(c.sw, 3);
    src.fillRandom(rng);
    TestBitmap plain(c.dw, 3), mirrored(c.dw, 3);
    RAST_ScaledBlit(&plain, &src, 0, 0, c.dw, 3, 0, 0, static_cast<float>(c.sw), 3, 1.0f, c.filter);
    RAST_ScaledBlit(&mirrored, &src, c.dw, 0, -c.dw, 3, 0, 0, static_cast<float>(c.sw), 3, 1.0f, c.filter);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < c.dw; ++x)
        ASSERT_EQ(mirrored.at(x, y), plain.at(c.dw - 1 - x, y)) << c.sw << "->" << c.dw << " " << x;
    // vertically as well
    TestBitmap vplain(3, c.dw), vmirrored(3, c.dw), tall(3, c.sw);
    tall.fillRandom(rng);
    RAST_ScaledBlit(&vplain, &tall, 0, 0, 3, c.dw, 0, 0, 3, static_cast<float>(c.sw), 1.0f, c.filter);
    RAST_ScaledBlit(&vmirrored, &tall, 0, c.dw, 3, -c.dw, 0, 0, 3, static_cast<float>(c.sw), 1.0f, c.filter);
    for (int y = 0; y < c.dw; ++y)
      for (int x = 0; x < 3; ++x) ASSERT_EQ(vmirrored.at(x, y), vplain.at(x, c.dw - 1 - y));
  }
}

TEST(ScaledBlit, BackwardStepLeftOfZeroSamplesPixelZero) {
  const RAST_pixel A = splat(0), B = splat(200), keep = 0x12345678u;
  TestBitmap src = row({A, B}), dest(4, 1);
  for (int x = 0; x < 4; ++x) dest.at(x, 0) = keep;
  // X = 1.25, 0.5, -0.25, -1.0
  RAST_ScaledBlit(&dest, &src, 0, 0, 4, 1, 1.25f, 0, -3, 1, 1.0f, kBilinear);
  EXPECT_EQ(dest.at(0, 0), B);
  EXPECT_EQ(dest.at(1, 0), splat(100));
  EXPECT_EQ(dest.at(2, 0), A);  // not a mix with the right neighbour
  EXPECT_EQ(dest.at(3, 0), keep);
}

TEST(ScaledBlit, FlippedBitmapsSampleLogicalRows) {
  std::mt19937 rng(6);
  for (int filter : {0, kBilinear}) {
    TestBitmap s(5, 7, 6, false), sf(5, 7, 5, true);
    s.fillRandom(rng);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 5; ++x) sf.at(x, y) = s.at(x, y);
    TestBitmap d(9, 4, 9, false), df(9, 4, 10, true);
    RAST_ScaledBlit(&d, &s, -1, 0, 10, 4, 0.5f, 0.25f, 4.5f, 6.5f, 0.8f, filter | 0x10000);
    RAST_ScaledBlit(&df, &sf, -1, 0, 10, 4, 0.5f, 0.25f, 4.5f, 6.5f, 0.8f, filter | 0x10000);
    EXPECT_EQ(d.logical(), df.logical());
    EXPECT_TRUE(df.paddingIntact());
  }
}

TEST(ScaledBlit, RandomParametersStayInsideBothBitmaps) {
  std::mt19937 rng(8);
  const float floats[] = {0.0f, -0.5f, 0.25f, 1.0f, 2.5f, 3.99f, -3.0f, 7.0f, 1e9f, -1e9f, 1e-7f, 65535.9f};
  auto pickF = [&]() { return rng() % 3 ? static_cast<float>(static_cast<int>(rng() % 200) - 60) / 16.0f : floats[rng() % 12]; };
  const int ints[] = {INT_MIN, -1000000, 1000000, INT_MAX, 0};
  auto pickI = [&]() { return rng() % 6 ? static_cast<int>(rng() % 21) - 8 : ints[rng() % 5]; };
  const int modes[] = {0, kBilinear, 0x10000, 0x10000 | kBilinear, 1, 3 | kBilinear, 5, 0x10005 | kBilinear, 0x10004};
  const float alphas[] = {1.0f, 0.5f, 0.75f, -0.25f, 2.0f};
  for (int i = 0; i < 6000; ++i) {
    const int sw = static_cast<int>(rng() % 6), sh = static_cast<int>(rng() % 6);
    const int dw = static_cast<int>(rng() % 7), dh = static_cast<int>(rng() % 7);
    TestBitmap src(sw, sh, sw + static_cast<int>(rng() % 2), rng() & 1);
    TestBitmap dest(dw, dh, dw + static_cast<int>(rng() % 2), rng() & 1);
    src.fillRandom(rng);
    RAST_ScaledBlit(&dest, &src, pickI(), pickI(), pickI(), pickI(), pickF(), pickF(), pickF(), pickF(),
                    alphas[rng() % 5], modes[rng() % 9]);
    ASSERT_TRUE(dest.paddingIntact()) << i;
  }
}

namespace {

// The bilinear sample of one destination pixel worked out on its own, as
// the sampling rules state it: -1 when the pixel is skipped.
int64_t bilinearAt(const _RAST_ScaleArgs& a, int i, int j) {
  const int x = static_cast<int>(static_cast<uint32_t>(a.x0) + static_cast<uint32_t>(i) * static_cast<uint32_t>(a.dx));
  const int y = static_cast<int>(static_cast<uint32_t>(a.y0) + static_cast<uint32_t>(j) * static_cast<uint32_t>(a.dy));
  if (x < -65535 || y < -65535) return -1;
  const int cx = x < 0 ? 0 : x >> 16, fx = x < 0 ? 0 : x & 0xffff;
  const int cy = y < 0 ? 0 : y >> 16, fy = y < 0 ? 0 : y & 0xffff;
  const bool innerCol = cx < a.clipw - 1, innerRow = cy < a.cliph - 1;
  if ((!innerCol && cx != a.clipw - 1) || (!innerRow && cy != a.cliph - 1)) return -1;
  auto byte = [&](int px, int py, int k) { return static_cast<int>(a.src[py * a.src_step + px * 4 + k]); };
  int ch[4];
  for (int k = 0; k < 4; ++k) {
    const int P = byte(cx, cy, k);
    if (innerRow && innerCol) {
      const int wQ = static_cast<int>((static_cast<uint32_t>(fx) * static_cast<uint32_t>(fy)) >> 16);
      const int wR = fx - wQ, wP = (65536 - fy) - wR, wD = fy - wQ;
      ch[k] = (P * wP + byte(cx + 1, cy, k) * wR + byte(cx, cy + 1, k) * wD + byte(cx + 1, cy + 1, k) * wQ) >> 16;
    } else if (innerRow) {
      ch[k] = (P * (65536 - fy) + byte(cx, cy + 1, k) * fy) >> 16;
    } else if (innerCol) {
      ch[k] = (P * (65536 - fx) + byte(cx + 1, cy, k) * fx) >> 16;
    } else {
      ch[k] = P;
    }
  }
  return RAST_RGBA(ch[1], ch[2], ch[3], ch[0]);
}

template <class C>
void expectBilinearRowsMatchPixelRule(std::mt19937& rng, int weight) {
  for (int round = 0; round < 300; ++round) {
    const int sw = 1 + static_cast<int>(rng() % 40), sh = 1 + static_cast<int>(rng() % 6);
    // Wide destinations cross the column table's blocks.
    const int w = round % 25 == 0 ? 2049 + static_cast<int>(rng() % 3000) : 1 + static_cast<int>(rng() % 300);
    const int h = 1 + static_cast<int>(rng() % 5);
    TestBitmap src(sw, sh), dest(w, h), expected(w, h);
    src.fillRandom(rng);
    dest.fillRandom(rng);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) expected.at(x, y) = dest.at(x, y);
    _RAST_ScaleArgs a;
    a.dest = reinterpret_cast<unsigned char*>(dest.getBits());
    a.src = reinterpret_cast<const unsigned char*>(src.getBits());
    a.w = w, a.h = h;
    a.clipw = 1 + static_cast<int>(rng() % sw);
    a.cliph = 1 + static_cast<int>(rng() % sh);
    a.src_step = static_cast<ptrdiff_t>(sw) * 4, a.dest_step = static_cast<ptrdiff_t>(w) * 4;
    // Forward, backward and still steps, starting left of the source too.
    a.dx = static_cast<int>(rng() % 3 ? rng() % 200000 : 0) * (rng() % 4 ? 1 : -1);
    a.dy = static_cast<int>(rng() % 120000) * (rng() % 4 ? 1 : -1);
    a.x0 = static_cast<int>(rng() % (sw * 65536 + 200000)) - 100000;
    a.y0 = static_cast<int>(rng() % (sh * 65536 + 200000)) - 100000;
    _RAST_Template_Blit2<C>::scaleBlit(a, weight, kBilinear);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        const int64_t s = bilinearAt(a, i, j);
        if (s >= 0)
          expected.at(i, j) = rastertest::apply<C>(expected.at(i, j), RAST_GETR(s), RAST_GETG(s), RAST_GETB(s),
                                                   RAST_GETA(s), weight);
      }
    ASSERT_EQ(dest.logical(), expected.logical()) << "round " << round << " dx " << a.dx << " x0 " << a.x0;
  }
}

}  // namespace

TEST(ScaledBlit, BilinearRowsGiveEachPixelsOwnSample) {
  std::mt19937 rng(9);
  expectBilinearRowsMatchPixelRule<_RAST_CombinePixelsClobberNoClamp>(rng, 256);
  expectBilinearRowsMatchPixelRule<_RAST_CombinePixelsCopyNoClamp>(rng, 192);
  expectBilinearRowsMatchPixelRule<_RAST_CombinePixelsAddSourceAlpha>(rng, 100);
}
