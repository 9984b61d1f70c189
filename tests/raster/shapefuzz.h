#pragma once
// Drives every shape, glyph and delta-blit entry point with values read
// from arbitrary bytes: ints across the int range, floats with NaN,
// infinities, 1e30 and denormals, odd opacities and mode words, into padded,
// flipped and empty bitmaps. Shared by the fuzz target and the robustness
// test; the caller checks that the padding stays untouched.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "raster/raster.h"
#include "rastertest.h"

namespace shapefuzz {

class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : m_d(d), m_n(n) {}
  bool empty() const { return m_n == 0; }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
    return v;
  }
  uint8_t byte() {
    if (m_n == 0) return 0;
    --m_n;
    return *m_d++;
  }
  int i() {
    static const int kInts[] = {0,  1,  -1, 2,  3,  5,       9,        12,      -7,      40,     INT32_MAX,
                                INT32_MIN, INT32_MAX - 1, INT32_MIN + 1, 1 << 24, -(1 << 24), 1 << 30, -(1 << 30)};
    const uint8_t sel = byte();
    if (sel < 128) return static_cast<int>(sel % 48) - 12;
    if (sel < 224) return kInts[sel % (sizeof kInts / sizeof kInts[0])];
    return static_cast<int>(u32());
  }
  float f() {
    const float inf = std::numeric_limits<float>::infinity();
    static const float kFloats[] = {0.0f, -0.0f, 0.5f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 3.1415927f, 6.2831855f,
                                    std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f, 1e-40f,
                                    -1e-40f, 16777216.0f, 2147483648.0f};
    const uint8_t sel = byte();
    if (sel < 128) return static_cast<float>(static_cast<int>(u32() % 12000) - 2000) / 200.0f;
    if (sel < 240) return kFloats[sel % (sizeof kFloats / sizeof kFloats[0])];
    const uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  float alpha() {
    static const float kAlphas[] = {1.0f,  0.5f,  0.25f, 0.75f, 0.999f, 0.501f, 0.3f, -1.0f,
                                    -0.5f, 1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(), 0.0f, 2.0f};
    return kAlphas[byte() % (sizeof kAlphas / sizeof kAlphas[0])];
  }
  int mode() {
    const uint8_t b = byte();
    int m = b % 7;
    if (b & 0x08) m |= RAST_BLIT_USE_SOURCE_ALPHA;
    if (b & 0x10) m |= RAST_BLIT_FILTER_BILINEAR;
    if (b & 0x20) m |= 0xff00;
    return m;
  }
  RAST_pixel colour() { return u32(); }
  bool flag() { return byte() & 1; }

 private:
  const uint8_t* m_d;
  size_t m_n;
};

struct Bitmaps {
  rastertest::TestBitmap padded{23, 17, 29};
  rastertest::TestBitmap flipped{19, 13, 21, true};
  rastertest::TestBitmap tiny{1, 1, 2};
  rastertest::TestBitmap none{0, 0};
  RAST_IBitmap* pick(uint8_t b) {
    switch (b % 4) {
      case 0: return &padded;
      case 1: return &flipped;
      case 2: return &tiny;
      default: return &none;
    }
  }
  bool intact() const { return padded.paddingIntact() && flipped.paddingIntact() && tiny.paddingIntact(); }
};

// One call chosen and fed by the bytes.
inline void callOne(Reader& in, Bitmaps& bms) {
  const uint8_t op = in.byte();
  RAST_IBitmap* d = bms.pick(in.byte());
  RAST_IBitmap* s = bms.pick(in.byte());
  switch (op % 28) {
    case 0: {
      int a = in.i(), b = in.i(), c = in.i(), e = in.i();
      RAST_ClipLine(&a, &b, &c, &e, in.i(), in.i(), in.i(), in.i());
      break;
    }
    case 1: {
      float a = in.f(), b = in.f(), c = in.f(), e = in.f();
      RAST_ClipFLine(&a, &b, &c, &e, in.f(), in.f(), in.f(), in.f());
      break;
    }
    case 2: RAST_Line(d, in.i(), in.i(), in.i(), in.i(), in.colour(), in.alpha(), in.mode(), in.flag()); break;
    case 3: RAST_FLine(d, in.f(), in.f(), in.f(), in.f(), in.colour(), in.alpha(), in.mode(), in.flag()); break;
    case 4:
      RAST_DashedLine(d, in.i(), in.i(), in.i(), in.i(), in.i(), in.i(), in.colour(), in.alpha(), in.mode(), in.flag());
      break;
    case 5: RAST_FillTrapezoid(d, in.i(), in.i(), in.i(), in.i(), in.i(), in.i(), in.colour(), in.alpha(), in.mode()); break;
    case 6: {
      const int n = in.byte() % 16 == 0 ? 513 + in.byte() : in.byte() % 12;
      std::vector<int> xs(static_cast<size_t>(n)), ys(static_cast<size_t>(n));
      for (int k = 0; k < n; ++k) xs[static_cast<size_t>(k)] = in.i(), ys[static_cast<size_t>(k)] = in.i();
      RAST_FillConvexPolygon(d, xs.data(), ys.data(), n, in.colour(), in.alpha(), in.mode());
      break;
    }
    case 7: RAST_FillTriangle(d, in.i(), in.i(), in.i(), in.i(), in.i(), in.i(), in.colour(), in.alpha(), in.mode()); break;
    case 8: RAST_DrawRect(d, in.i(), in.i(), in.i(), in.i(), in.colour(), in.alpha(), in.mode()); break;
    case 9: RAST_BorderedRect(d, in.i(), in.i(), in.i(), in.i(), in.colour(), in.colour(), in.alpha(), in.mode()); break;
    case 10: RAST_Circle(d, in.f(), in.f(), in.f(), in.colour(), in.alpha(), in.mode(), in.flag()); break;
    case 11: RAST_FillCircle(d, in.f(), in.f(), in.f(), in.colour(), in.alpha(), in.mode(), in.flag()); break;
    case 12:
      RAST_Arc(d, in.f(), in.f(), in.f(), in.f(), in.f(), in.colour(), in.alpha(), in.mode(), in.flag());
      break;
    case 13:
      RAST_RoundRect(d, in.f(), in.f(), in.f(), in.f(), in.i(), in.colour(), in.alpha(), in.mode(), in.flag());
      break;
    case 14:
      RAST_DrawQBezier(d, in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.colour(), in.alpha(), in.mode(), in.flag(),
                       in.f());
      break;
    case 15:
      RAST_DrawCBezier(d, in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.colour(), in.alpha(),
                       in.mode(), in.flag(), in.f());
      break;
    case 16:
      RAST_FillCBezier(d, in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.i(), in.colour(),
                       in.alpha(), in.mode(), in.f());
      break;
    case 17:
      RAST_FillCBezierX(d, in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.i(), in.colour(),
                        in.alpha(), in.mode(), in.f());
      break;
    case 18: {
      const int w = in.byte() % 12, h = in.byte() % 12, span = w + in.byte() % 3;
      std::vector<unsigned char> mask(static_cast<size_t>(span * h));
      for (auto& m : mask) m = in.byte();
      RAST_DrawGlyphEx(d, in.i(), in.i(), in.colour(), mask.empty() ? nullptr : mask.data(), w, span, h, in.alpha(),
                       in.mode());
      break;
    }
    case 19: RAST_SetAlphaFromColorMask(d, in.colour()); break;
    case 20: RAST_SimpleFill(d, in.i(), in.i(), in.colour(), in.colour(), in.colour()); break;
    case 21: RAST_HalveBlitAA(d, s); break;
    case 22: {
      int coords[4];
      RAST_BitmapCmp(d, s, in.flag() ? coords : nullptr);
      break;
    }
    case 23: {
      float nx, dy;
      double lo, hi;
      RAST_CBezier_GetY(in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), &nx, &dy, &lo, &hi);
      RAST_Bezier_GetY<float>(in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), &lo);
      break;
    }
    case 24:
      RAST_DeltaBlit(d, s, in.i(), in.i(), in.i(), in.i(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(), in.f(),
                     in.f(), in.f(), in.f(), in.flag(), in.alpha(), in.mode());
      break;
    case 25:
      RAST_RotatedBlit(d, s, in.i(), in.i(), in.i(), in.i(), in.f(), in.f(), in.f(), in.f(), in.f(), in.flag(),
                       in.alpha(), in.mode(), in.f(), in.f());
      break;
    default: {
      const int dw = in.byte() % 5, dh = in.byte() % 5;
      std::vector<float> fp(static_cast<size_t>(dw * dh * 2));
      std::vector<double> dp(fp.size());
      for (size_t k = 0; k < fp.size(); ++k) fp[k] = in.f(), dp[k] = fp[k];
      const int x = in.i(), y = in.i(), w = in.i(), h = in.i();
      const float a = in.alpha();
      const int m = in.mode();
      if (op % 2) RAST_TransformBlit(d, s, x, y, w, h, fp.empty() ? nullptr : fp.data(), dw, dh, a, m);
      else RAST_TransformBlit2(d, s, x, y, w, h, dp.empty() ? nullptr : dp.data(), dw, dh, a, m);
      break;
    }
  }
}

}  // namespace shapefuzz
