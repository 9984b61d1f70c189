#include "raster/pixel.h"

#include <climits>
#include <cstring>

namespace {

constexpr std::array<uint16_t, 256> makeInvTab() {
  std::array<uint16_t, 256> t{};
  for (int i = 1; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<uint16_t>(65536 / i - 1);
  return t;
}

template <class C>
struct OnePixel {
  static void run(unsigned char* p, int r, int g, int b, int a, int w) { C::doPix(p, r, g, b, a, w); }
};

}  // namespace

const std::array<uint16_t, 256> _RAST_RGB2HSV_invtab = makeInvTab();

int RAST_WeightFromAlpha(double alpha) {
  const double v = alpha * 256.0;
  if (v != v) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

void _RAST_CombinePixelsHSVAdjust::doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
  const int R = dest[RAST_BYTE_R], G = dest[RAST_BYTE_G], B = dest[RAST_BYTE_B];

  // Integer HSV: hue on a circle of 384 (six sectors of 64 from red),
  // saturation and value 0-255.
  int V, delta, N, base;
  if (R < G) {
    if (G > B) {
      V = G, delta = G - (R < B ? R : B), N = B - R, base = 128;
    } else {
      V = B, delta = B - (R < G ? R : G), N = R - G, base = 256;
    }
  } else if (B < R) {
    V = R, delta = R - (G < B ? G : B), N = G - B, base = G >= B ? 0 : 383;
  } else {
    V = B, delta = B - (R < G ? R : G), N = R - G, base = 256;
  }
  int H = base + ((_RAST_RGB2HSV_invtab[static_cast<size_t>(delta)] + 1) * N) / 1024;
  int S = (_RAST_RGB2HSV_invtab[static_cast<size_t>(V)] * delta) / 256;

  // The adjustment; 128 in each source channel is neutral. The hue wraps
  // around the circle for any weight.
  H = (_RAST_wint(H) + (_RAST_wint(r) + r / 2 - 192) * alpha / 256).v % 384;
  if (H < 0) H += 384;
  S = rast_detail::clamp255((_RAST_wint(S) + (_RAST_wint(g) - 128) * alpha / 128).v);
  V = rast_detail::clamp255((_RAST_wint(V) + (_RAST_wint(b) - 128) * alpha / 128).v);

  const int P = ((256 - S) * V) / 256;
  const int f = H & 63;
  const int falling = ((16384 - f * S) * V) / 16384;
  const int rising = ((16384 - (64 - f) * S) * V) / 16384;
  int nr, ng, nb;
  switch (H >> 6) {
    case 0: nr = V, ng = rising, nb = P; break;
    case 1: nr = falling, ng = V, nb = P; break;
    case 2: nr = P, ng = V, nb = rising; break;
    case 3: nr = P, ng = falling, nb = V; break;
    case 4: nr = rising, ng = P, nb = V; break;
    default: nr = V, ng = P, nb = falling; break;
  }
  // One store of the whole pixel; only the low byte of the source alpha
  // goes into the alpha byte, so that a weight passed as alpha cannot spill
  // into red.
  const RAST_pixel px = RAST_RGBA(nr, ng, nb, a);
  std::memcpy(dest, &px, sizeof px);
}

RAST_pixel RAST_CombinePixels(RAST_pixel dest, RAST_pixel src, float alpha, int mode) {
  const int weight = RAST_WeightFromAlpha(alpha);
  if (weight == 0) return dest;
  unsigned char bytes[4];
  std::memcpy(bytes, &dest, 4);
  RAST_DispatchCombiner<OnePixel>(mode, weight, bytes, RAST_GETR(src), RAST_GETG(src), RAST_GETB(src), RAST_GETA(src),
                                  weight);
  std::memcpy(&dest, bytes, 4);
  return dest;
}

void RAST_CombinePixels2(RAST_pixel* pixel, int r, int g, int b, int a, int weight, int mode) {
  if (!pixel || weight == 0) return;
  RAST_DispatchCombiner<OnePixel>(mode, weight, reinterpret_cast<unsigned char*>(pixel), r, g, b, a, weight);
}

void RAST_CombinePixels2Clamp(RAST_pixel* pixel, int r, int g, int b, int a, int weight, int mode) {
  if (!pixel || weight == 0) return;
  RAST_DispatchCombiner<OnePixel, true>(mode, weight, reinterpret_cast<unsigned char*>(pixel), r, g, b, a, weight);
}
