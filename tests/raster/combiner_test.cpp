// Exact values of every combiner, the dispatch and the one-pixel functions.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <algorithm>
#include <utility>
#include <vector>

#include "raster/pixel.h"
#include "rastertest.h"

using rastertest::combine;
using rastertest::splat;

namespace {

// Plain 64-bit restatements of the per-channel formulas, for weights whose
// 32-bit arithmetic does not overflow.
int64_t tdiv(int64_t a, int64_t b) { return a / b; }  // truncates toward zero
int lowByte(int64_t v) { return static_cast<int>(static_cast<uint64_t>(v) & 0xff); }
int clampB(int64_t v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

int refCopy(int d, int s, int w) { return lowByte(s + tdiv((int64_t(d) - s) * (256 - w), 256)); }
int refAdd(int d, int s, int w) { return clampB(d + tdiv(int64_t(s) * w, 256)); }
int refDodge(int d, int s, int w) {
  const int64_t t = 256 - tdiv(int64_t(s) * w, 256);
  const int64_t v = t > 1 ? (int64_t(d) * 256) / t : int64_t(d) * 256;
  return static_cast<int>(v > 255 ? 255 : v);
}
int refMul(int d, int s, int w) { return lowByte(tdiv(int64_t(d) * (int64_t(s) * w + (256 - int64_t(w)) * 256), 65536)); }
int refOverlay(int d, int s, int w) {
  const int64_t S = int64_t(s) * w + (256 - int64_t(w)) * 128;
  const int64_t T = S + tdiv((32768 - S) * d, 256);
  return clampB(tdiv(T * d, 32768));
}
int effW(int a, int w) { return static_cast<int>(tdiv((int64_t(a) + 1) * w, 256)); }

// Every blend key with the combiner it selects.
using Combine = RAST_pixel (*)(RAST_pixel, RAST_pixel, int);
const struct {
  int key;
  Combine fn;
} kKeyed[] = {{0, combine<_RAST_CombinePixelsCopyNoClamp>},
              {1, combine<_RAST_CombinePixelsAdd>},
              {2, combine<_RAST_CombinePixelsColorDodge>},
              {3, combine<_RAST_CombinePixelsMulNoClamp>},
              {4, combine<_RAST_CombinePixelsOverlay>},
              {5, combine<_RAST_CombinePixelsHSVAdjust>},
              {0x10000, combine<_RAST_CombinePixelsCopySourceAlphaNoClamp>},
              {0x10001, combine<_RAST_CombinePixelsAddSourceAlpha>},
              {0x10002, combine<_RAST_CombinePixelsColorDodgeSourceAlpha>},
              {0x10003, combine<_RAST_CombinePixelsMulSourceAlphaNoClamp>},
              {0x10004, combine<_RAST_CombinePixelsOverlaySourceAlpha>},
              {0x10005, combine<_RAST_CombinePixelsHSVAdjustSourceAlpha>}};

const int kWeights[] = {1, 2, 63, 64, 127, 128, 129, 192, 255, 256, 257, 300, 1000, -1, -50, -256, -1000};

// Every destination byte against every source byte, all four channels at
// once, for a set of weights.
template <class C, class Ref>
void exhaustive(Ref ref, const char* name) {
  for (int w : kWeights) {
    for (int d = 0; d < 256; ++d) {
      for (int s = 0; s < 256; ++s) {
        const RAST_pixel got = combine<C>(splat(d), splat(s), w);
        const int want = ref(d, s, w);
        if (got != splat(want)) {
          ADD_FAILURE() << name << " d=" << d << " s=" << s << " w=" << w << " got " << std::hex << got << " want "
                        << want;
          return;
        }
      }
    }
  }
}

}  // namespace

TEST(Combiners, PlainFormulasExhaustive) {
  exhaustive<_RAST_CombinePixelsCopyNoClamp>(refCopy, "copy");
  exhaustive<_RAST_CombinePixelsCopyClamp>([](int d, int s, int w) { return clampB(s + tdiv((int64_t(d) - s) * (256 - w), 256)); }, "copy clamp");
  exhaustive<_RAST_CombinePixelsAdd>(refAdd, "add");
  exhaustive<_RAST_CombinePixelsColorDodge>(refDodge, "dodge");
  exhaustive<_RAST_CombinePixelsMulNoClamp>(refMul, "mul");
  exhaustive<_RAST_CombinePixelsMulClamp>([](int d, int s, int w) { return clampB(tdiv(int64_t(d) * (int64_t(s) * w + (256 - int64_t(w)) * 256), 65536)); }, "mul clamp");
  exhaustive<_RAST_CombinePixelsOverlay>(refOverlay, "overlay");
  exhaustive<_RAST_CombinePixelsClobberNoClamp>([](int, int s, int) { return s; }, "clobber");
}

TEST(Combiners, DocumentedValues) {
  // Copy at 128 of 255 over 0: -32640 / 256 truncates to -127.
  EXPECT_EQ(combine<_RAST_CombinePixelsCopyNoClamp>(0, splat(255), 128), splat(128));
  // Copy at 256 writes the source whole.
  EXPECT_EQ(combine<_RAST_CombinePixelsCopyNoClamp>(0x12345678u, 0x9abcdef0u, 256), 0x9abcdef0u);
  // Add saturates, alpha included.
  EXPECT_EQ(combine<_RAST_CombinePixelsAdd>(splat(200), splat(100), 256), splat(255));
  // Dodge with 255 at 256: non-zero becomes 255, zero stays.
  EXPECT_EQ(combine<_RAST_CombinePixelsColorDodge>(RAST_RGBA(1, 0, 128, 255), splat(255), 256), RAST_RGBA(255, 0, 255, 255));
  // Multiply by 255 at full weight loses one step (the factor is s x 256).
  for (int d = 0; d < 256; ++d)
    EXPECT_EQ(combine<_RAST_CombinePixelsMulNoClamp>(splat(d), splat(255), 256), splat(d ? d - 1 : 0));
}

TEST(Combiners, SourceAlphaFormulasExhaustive) {
  for (int w : kWeights) {
    for (int a = 0; a < 256; ++a) {
      for (int d = 0; d < 256; d += 3) {
        const int s = (d * 7 + a) & 255;
        const RAST_pixel dest = RAST_RGBA(d, 255 - d, d / 2, d);
        const RAST_pixel src = RAST_RGBA(s, 255 - s, s / 3, a);
        const int ew = effW(a, w);
        const int dr = d, dg = 255 - d, db = d / 2, da = d;
        const int sr = s, sg = 255 - s, sb = s / 3;
        // copy by source alpha and weight
        RAST_pixel want = a == 0 ? dest
                                 : RAST_RGBA(refCopy(dr, sr, ew), refCopy(dg, sg, ew), refCopy(db, sb, ew),
                                             lowByte(std::min<int64_t>(255, da + ew)));
        ASSERT_EQ(combine<_RAST_CombinePixelsCopySourceAlphaNoClamp>(dest, src, w), want) << a << " " << d << " " << w;
        // copy by source alpha only
        auto mixA = [&](int dc, int sc) { return lowByte(sc + tdiv((int64_t(dc) - sc) * (255 - a), 256)); };
        want = a == 0     ? dest
               : a == 255 ? RAST_RGBA(sr, sg, sb, 255)
                          : RAST_RGBA(mixA(dr, sr), mixA(dg, sg), mixA(db, sb), std::min(255, da + a));
        ASSERT_EQ(combine<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(dest, src, w), want);
        // add, dodge, multiply, overlay with the effective weight
        want = a == 0 ? dest : RAST_RGBA(refAdd(dr, sr, ew), refAdd(dg, sg, ew), refAdd(db, sb, ew), refAdd(da, a, ew));
        ASSERT_EQ(combine<_RAST_CombinePixelsAddSourceAlpha>(dest, src, w), want);
        want = RAST_RGBA(refDodge(dr, sr, ew), refDodge(dg, sg, ew), refDodge(db, sb, ew), refDodge(da, a, ew));
        ASSERT_EQ(combine<_RAST_CombinePixelsColorDodgeSourceAlpha>(dest, src, w), want);
        want = a == 0 ? dest : RAST_RGBA(refMul(dr, sr, ew), refMul(dg, sg, ew), refMul(db, sb, ew), refMul(da, a, ew));
        ASSERT_EQ(combine<_RAST_CombinePixelsMulSourceAlphaNoClamp>(dest, src, w), want);
        want = RAST_RGBA(refOverlay(dr, sr, ew), refOverlay(dg, sg, ew), refOverlay(db, sb, ew), refOverlay(da, a, ew));
        ASSERT_EQ(combine<_RAST_CombinePixelsOverlaySourceAlpha>(dest, src, w), want);
        // HSV by source alpha is HSV with the effective weight
        ASSERT_EQ(combine<_RAST_CombinePixelsHSVAdjustSourceAlpha>(dest, src, w),
                  combine<_RAST_CombinePixelsHSVAdjust>(dest, src, ew));
      }
    }
  }
}

TEST(Combiners, WholeWordMixes) {
  for (int p = 0; p < 256; ++p) {
    for (int c = 0; c < 256; ++c) {
      const RAST_pixel P = splat(p), C = splat(c);
      ASSERT_EQ(_RAST_CombinePixelsHalfMixFAST::mix(P, C), splat(p / 2 + c / 2));
      ASSERT_EQ(_RAST_CombinePixelsQuarterMixFAST::mix(P, C), splat(p / 4 + p / 2 + c / 4));
      ASSERT_EQ(_RAST_CombinePixelsThreeQuarterMixFAST::mix(P, C), splat(p / 4 + c / 4 + c / 2));
      ASSERT_EQ(_RAST_CombinePixelsClobberFAST::mix(P, C), C);
    }
  }
}

TEST(Combiners, ExtremeWeightsAreDefined) {
  // Saturated weights must not overflow (the sanitizer build traps on it).
  for (int w : {INT_MAX, INT_MIN, INT_MAX - 255, INT_MIN + 1, 1 << 24}) {
    for (int v = 0; v < 256; v += 17) {
      const RAST_pixel d = splat(v), s = RAST_RGBA(v, 255 - v, 128, v);
      for (const auto& k : kKeyed) k.fn(d, s, w);
      RAST_pixel p = d;
      RAST_CombinePixels2Clamp(&p, INT_MAX, INT_MIN, v, INT_MAX, w, 3);
      RAST_CombinePixels2Clamp(&p, INT_MAX, INT_MIN, v, INT_MAX, w, 0x10003);
      RAST_CombinePixels2Clamp(&p, INT_MAX, INT_MIN, v, 7, w, 0x10000);
    }
  }
}

TEST(Combiners, WeightFromOpacity) {
  // truncated toward zero, saturated to the int range, NaN gives 0
  const std::pair<double, int> cases[] = {{1.0, 256},      {0.003, 0},         {0.75, 192},
                                          {-0.003, 0},     {-0.5, -128},       {0.999, 255},
                                          {1e30, INT_MAX}, {-1e30, INT_MIN},   {std::numeric_limits<double>::infinity(), INT_MAX},
                                          {std::nan(""), 0}};
  for (auto [alpha, weight] : cases) EXPECT_EQ(RAST_WeightFromAlpha(alpha), weight) << alpha;
}

TEST(Combiners, OnePixelFunctionsDispatch) {
  const RAST_pixel d = RAST_RGBA(10, 200, 30, 40), s = RAST_RGBA(250, 5, 128, 100);
  // weight 0 or below 1/256: unchanged
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.003f, 0), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.0f, 1), d);
  // copy: 256 clobbers, other weights copy; copy below weight 1 draws nothing
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0), s);
  EXPECT_EQ(RAST_CombinePixels(d, s, -0.5f, 0), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, -0.5f, 1), combine<_RAST_CombinePixelsAdd>(d, s, -128));
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x10000), combine<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(d, s, 256));
  for (const auto& k : kKeyed) EXPECT_EQ(RAST_CombinePixels(d, s, 0.5f, k.key), k.fn(d, s, 128)) << k.key;
  // the filter field plays no part; unknown keys do nothing
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.5f, 0x101), combine<_RAST_CombinePixelsAdd>(d, s, 128));
  for (int key : {6, 0x10006, 0xff, 0x100ff, 0x20000 | 0xf0})
    EXPECT_EQ(RAST_CombinePixels(d, s, 0.5f, key), d) << key;

  // Clamping and non-clamping forms with channel values out of range.
  auto two = [](bool clamp, RAST_pixel p, int r, int g, int b, int a, int w, int mode) {
    (clamp ? RAST_CombinePixels2Clamp : RAST_CombinePixels2)(&p, r, g, b, a, w, mode);
    return p;
  };
  EXPECT_EQ(two(false, 0, 300, -5, 7, 0x1ff, 256, 0), RAST_RGBA(300 & 255, -5 & 255, 7, 0xff));
  EXPECT_EQ(two(true, 0, 300, -5, 7, 0x1ff, 256, 0), RAST_RGBA(255, 0, 7, 255));
  EXPECT_EQ(two(true, 0, 300, -5, 7, 255, 256, 0x10000), RAST_RGBA(255, 0, 7, 255));  // a = 255 clamps the colour
  EXPECT_EQ(two(false, splat(100), 1000, 1000, 1000, 1000, 0, 1), splat(100));      // weight 0: nothing
  RAST_CombinePixels2(nullptr, 1, 2, 3, 4, 256, 0);  // null pixel: nothing
}

TEST(Combiners, PixelMacrosGiveAlphaRedGreenBlueInMemory) {
  const RAST_pixel p = RAST_RGBA(0x11, 0x22, 0x33, 0x44);
  EXPECT_EQ(p, 0x33221144u);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&p);
  const std::vector<int> want = {0x44, 0x11, 0x22, 0x33};
  EXPECT_EQ((std::vector<int>{b[RAST_BYTE_A], b[RAST_BYTE_R], b[RAST_BYTE_G], b[RAST_BYTE_B]}), want);
  EXPECT_EQ((std::vector<int>{RAST_GETA(p), RAST_GETR(p), RAST_GETG(p), RAST_GETB(p)}), want);
  EXPECT_EQ(RAST_BLIT_MODE_CHANCOPY(0, 3), 0xfc);
}

// ---------------------------------------------------------------------------
// HSV adjustment

namespace {
RAST_pixel hsv(RAST_pixel d, int r, int g, int b, int a, int w) {
  return rastertest::apply<_RAST_CombinePixelsHSVAdjust>(d, r, g, b, a, w);
}
}  // namespace

TEST(HsvAdjust, ReciprocalTable) {
  const std::pair<int, int> entries[] = {{0, 0}, {1, 65535}, {2, 32767}, {3, 21844}, {255, 256}};
  for (auto [i, v] : entries) EXPECT_EQ(_RAST_RGB2HSV_invtab[i], v) << i;
}

TEST(HsvAdjust, DocumentedValues) {
  // Value and saturation span -256..+254 at full weight; the hue wraps on the
  // circle of 384 for weights above 256 (+190 x 8 = 1520 steps is 368, sector
  // 5, f = 48; -1520 is 16); the alpha byte takes only the low byte of the
  // source alpha, so a weight passed as alpha (256) cannot spill into red.
  const struct {
    RAST_pixel dest;
    int r, g, b, a, w;
    RAST_pixel want;
  } cases[] = {{RAST_RGBA(255, 0, 0, 9), 128, 128, 128, 77, 256, RAST_RGBA(255, 0, 0, 77)},
               {RAST_RGBA(255, 0, 0, 0), 255, 128, 128, 255, 256, RAST_RGBA(0, 255, 247, 255)},
               {RAST_RGBA(200, 100, 50, 0), 128, 128, 0, 0, 256, RAST_RGBA(0, 0, 0, 0)},
               {RAST_RGBA(200, 100, 50, 0), 128, 0, 128, 0, 256, RAST_RGBA(200, 200, 200, 0)},
               {RAST_RGBA(0, 0, 255, 0), 128, 128, 128, 0, 256, RAST_RGBA(0, 0, 255, 0)},
               {RAST_RGBA(255, 0, 0, 0), 255, 128, 128, 0, 2048, RAST_RGBA(255, 0, 64, 0)},
               {RAST_RGBA(255, 0, 0, 0), 255, 128, 128, 0, -2048, RAST_RGBA(255, 64, 0, 0)},
               {RAST_RGBA(255, 0, 0, 0), 128, 128, 128, 256, 256, RAST_RGBA(255, 0, 0, 0)},
               {RAST_RGBA(255, 0, 0, 0), 128, 128, 128, 0x1ff, 256, RAST_RGBA(255, 0, 0, 0xff)}};
  for (const auto& c : cases)
    EXPECT_EQ(hsv(c.dest, c.r, c.g, c.b, c.a, c.w), c.want) << std::hex << c.dest << " " << c.r << " " << c.w;
  EXPECT_EQ(hsv(RAST_RGBA(200, 100, 50, 0), 128, 128, 255, 0, 256) >> 8 & 0xff, 255u);
  // a red-magenta in the 383 base: a small hue shift moves it the expected way
  const RAST_pixel rm = hsv(RAST_RGBA(255, 0, 40, 0), 128, 128, 128, 0, 256);
  EXPECT_EQ(RAST_GETR(rm), 255);
  EXPECT_GT(RAST_GETB(rm), RAST_GETG(rm));
}

TEST(HsvAdjust, NeutralSourceKeepsGreyAndColour) {
  for (int v = 0; v < 256; ++v)  // grey stays grey under any hue shift
    for (int r = 0; r < 256; r += 5)
      ASSERT_EQ(hsv(RAST_RGBA(v, v, v, 0), r, 128, 128, 3, 256), RAST_RGBA(v, v, v, 3)) << v << " " << r;
  for (int R = 0; R < 256; ++R)
    for (int G = 0; G < 256; G += 3)
      for (int B = 0; B < 256; B += 5) {
        const RAST_pixel out = hsv(RAST_RGBA(R, G, B, 0), 128, 128, 128, 0, 256);
        const int mx = std::max({R, G, B});
        ASSERT_EQ(std::max({RAST_GETR(out), RAST_GETG(out), RAST_GETB(out)}), mx);
        ASSERT_LE(std::max({std::abs(RAST_GETR(out) - R), std::abs(RAST_GETG(out) - G), std::abs(RAST_GETB(out) - B)}), 5)
            << R << " " << G << " " << B;
      }
}
