#pragma once
// Pixels, blend modes and the per-pixel combiners of the raster library.
//
// A pixel is one 32-bit word, not premultiplied: alpha in bits 0-7, red in
// 8-15, green in 16-23, blue in 24-31. Stored little-endian, its bytes in
// memory are alpha, red, green, blue; the combiners address them by index.
//
// Every combiner is a class with one static doPix(dest, r, g, b, a, weight):
// dest points at the four bytes of the destination pixel, r/g/b/a are the
// source channel values and weight runs from 0 to 256 (256 = all source).
// The drawing loops are templates instantiated once per combiner, so the
// blend mode is resolved once per call and the combiner is inlined.
#include <array>
#include <cstdint>

typedef uint32_t RAST_pixel;

// Byte index of each channel inside a pixel in memory.
#define RAST_BYTE_A 0
#define RAST_BYTE_R 1
#define RAST_BYTE_G 2
#define RAST_BYTE_B 3

#define RAST_RGBA(r, g, b, a)                                                     \
  ((RAST_pixel)(((uint32_t)(a) & 0xffu) | (((uint32_t)(r) & 0xffu) << 8) |        \
                (((uint32_t)(g) & 0xffu) << 16) | (((uint32_t)(b) & 0xffu) << 24)))
#define RAST_GETA(p) ((int)((RAST_pixel)(p) & 0xffu))
#define RAST_GETR(p) ((int)(((RAST_pixel)(p) >> 8) & 0xffu))
#define RAST_GETG(p) ((int)(((RAST_pixel)(p) >> 16) & 0xffu))
#define RAST_GETB(p) ((int)(((RAST_pixel)(p) >> 24) & 0xffu))

// Blend-mode word.
#define RAST_BLIT_MODE_COPY 0
#define RAST_BLIT_MODE_ADD 1
#define RAST_BLIT_MODE_DODGE 2
#define RAST_BLIT_MODE_MUL 3
#define RAST_BLIT_MODE_OVERLAY 4
#define RAST_BLIT_MODE_HSVADJ 5
#define RAST_BLIT_MODE_MASK 0xff
#define RAST_BLIT_FILTER_MASK 0xff00
#define RAST_BLIT_FILTER_BILINEAR 0x100
#define RAST_BLIT_USE_SOURCE_ALPHA 0x10000
// The key that selects a combiner: the mode and the source-alpha flag.
#define RAST_BLIT_KEY_MASK 0x100ff
// Channel-copy form of the plain blit: byte (from) of each source pixel goes
// into byte (to) of the destination pixel.
#define RAST_BLIT_MODE_CHANCOPY(from, to) (0xf0 | ((from) & 3) | (((to) & 3) << 2))
#define RAST_BLIT_IS_CHANCOPY(mode) (((mode) & 0xf0) == 0xf0)

// The integer weight of a float opacity: opacity x 256 truncated toward
// zero, saturated to the int range; NaN gives 0 (the operation does nothing).
int RAST_WeightFromAlpha(double alpha);

// 32-bit signed arithmetic that wraps like two's complement instead of
// overflowing. It gives the plain int result wherever that is defined and a
// defined one for the out-of-range weights (opacities far above 1.0) that
// the operations pass on unchanged. Division truncates toward zero.
struct _RAST_wint {
  int32_t v;
  constexpr _RAST_wint(int32_t x) : v(x) {}
  friend constexpr _RAST_wint operator+(_RAST_wint a, _RAST_wint b) {
    return _RAST_wint(static_cast<int32_t>(static_cast<uint32_t>(a.v) + static_cast<uint32_t>(b.v)));
  }
  friend constexpr _RAST_wint operator-(_RAST_wint a, _RAST_wint b) {
    return _RAST_wint(static_cast<int32_t>(static_cast<uint32_t>(a.v) - static_cast<uint32_t>(b.v)));
  }
  friend constexpr _RAST_wint operator*(_RAST_wint a, _RAST_wint b) {
    return _RAST_wint(static_cast<int32_t>(static_cast<uint32_t>(a.v) * static_cast<uint32_t>(b.v)));
  }
  // Divisors are positive constants or values of at least 2.
  friend constexpr _RAST_wint operator/(_RAST_wint a, int32_t d) { return _RAST_wint(a.v / d); }
};

namespace rast_detail {

inline int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Stores a result channel: its low byte, or clamped to 0-255.
template <bool Clamp>
inline void store(unsigned char& d, int v) {
  d = static_cast<unsigned char>(Clamp ? clamp255(v) : v);
}

// The effective weight of the source-alpha combiners.
inline int sourceAlphaWeight(int a, int w) { return ((_RAST_wint(a) + 1) * w / 256).v; }

template <bool Clamp>
struct Clobber {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int /*w*/) {
    store<Clamp>(d[RAST_BYTE_R], r);
    store<Clamp>(d[RAST_BYTE_G], g);
    store<Clamp>(d[RAST_BYTE_B], b);
    store<Clamp>(d[RAST_BYTE_A], a);
  }
};

template <bool Clamp>
struct Copy {
  static inline int mix(int d, int s, int w) { return (_RAST_wint(s) + (_RAST_wint(d) - s) * (_RAST_wint(256) - w) / 256).v; }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    store<Clamp>(d[RAST_BYTE_R], mix(d[RAST_BYTE_R], r, w));
    store<Clamp>(d[RAST_BYTE_G], mix(d[RAST_BYTE_G], g, w));
    store<Clamp>(d[RAST_BYTE_B], mix(d[RAST_BYTE_B], b, w));
    store<Clamp>(d[RAST_BYTE_A], mix(d[RAST_BYTE_A], a, w));
  }
};

template <bool Clamp>
struct Mul {
  static inline int mul(int d, int s, int w) {
    return ((_RAST_wint(s) * w + (_RAST_wint(256) - w) * 256) * d / 65536).v;
  }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    store<Clamp>(d[RAST_BYTE_R], mul(d[RAST_BYTE_R], r, w));
    store<Clamp>(d[RAST_BYTE_G], mul(d[RAST_BYTE_G], g, w));
    store<Clamp>(d[RAST_BYTE_B], mul(d[RAST_BYTE_B], b, w));
    store<Clamp>(d[RAST_BYTE_A], mul(d[RAST_BYTE_A], a, w));
  }
};

// Copy by the source alpha and the weight.
template <bool Clamp>
struct CopySourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    const int sw = sourceAlphaWeight(a, w);
    store<Clamp>(d[RAST_BYTE_R], Copy<Clamp>::mix(d[RAST_BYTE_R], r, sw));
    store<Clamp>(d[RAST_BYTE_G], Copy<Clamp>::mix(d[RAST_BYTE_G], g, sw));
    store<Clamp>(d[RAST_BYTE_B], Copy<Clamp>::mix(d[RAST_BYTE_B], b, sw));
    const int na = (_RAST_wint(d[RAST_BYTE_A]) + sw).v;
    store<Clamp>(d[RAST_BYTE_A], na > 255 ? 255 : na);
  }
};

// Copy by the source alpha alone; the weight is ignored.
template <bool Clamp>
struct CopySourceAlphaIgnoreAlphaParm {
  static inline int mix(int d, int s, int a) { return (_RAST_wint(s) + (_RAST_wint(d) - s) * (_RAST_wint(255) - a) / 256).v; }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int /*w*/) {
    if (a == 0) return;
    if (a == 255) {
      store<Clamp>(d[RAST_BYTE_R], r);
      store<Clamp>(d[RAST_BYTE_G], g);
      store<Clamp>(d[RAST_BYTE_B], b);
      d[RAST_BYTE_A] = 255;
      return;
    }
    store<Clamp>(d[RAST_BYTE_R], mix(d[RAST_BYTE_R], r, a));
    store<Clamp>(d[RAST_BYTE_G], mix(d[RAST_BYTE_G], g, a));
    store<Clamp>(d[RAST_BYTE_B], mix(d[RAST_BYTE_B], b, a));
    const int na = (_RAST_wint(d[RAST_BYTE_A]) + a).v;
    store<Clamp>(d[RAST_BYTE_A], na > 255 ? 255 : na);
  }
};

template <bool Clamp>
struct MulSourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    Mul<Clamp>::doPix(d, r, g, b, a, sourceAlphaWeight(a, w));
  }
};

}  // namespace rast_detail

using _RAST_CombinePixelsClobberNoClamp = rast_detail::Clobber<false>;
using _RAST_CombinePixelsClobberClamp = rast_detail::Clobber<true>;
using _RAST_CombinePixelsCopyNoClamp = rast_detail::Copy<false>;
using _RAST_CombinePixelsCopyClamp = rast_detail::Copy<true>;
using _RAST_CombinePixelsMulNoClamp = rast_detail::Mul<false>;
using _RAST_CombinePixelsMulClamp = rast_detail::Mul<true>;

struct _RAST_CombinePixelsAdd {
  static inline int add(int d, int s, int w) { return rast_detail::clamp255((_RAST_wint(d) + _RAST_wint(s) * w / 256).v); }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    d[RAST_BYTE_R] = static_cast<unsigned char>(add(d[RAST_BYTE_R], r, w));
    d[RAST_BYTE_G] = static_cast<unsigned char>(add(d[RAST_BYTE_G], g, w));
    d[RAST_BYTE_B] = static_cast<unsigned char>(add(d[RAST_BYTE_B], b, w));
    d[RAST_BYTE_A] = static_cast<unsigned char>(add(d[RAST_BYTE_A], a, w));
  }
};

struct _RAST_CombinePixelsColorDodge {
  static inline int dodge(int d, int s, int w) {
    const int t = (_RAST_wint(256) - _RAST_wint(s) * w / 256).v;
    const int v = t > 1 ? (d * 256) / t : d * 256;
    return v > 255 ? 255 : v;
  }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    d[RAST_BYTE_R] = static_cast<unsigned char>(dodge(d[RAST_BYTE_R], r, w));
    d[RAST_BYTE_G] = static_cast<unsigned char>(dodge(d[RAST_BYTE_G], g, w));
    d[RAST_BYTE_B] = static_cast<unsigned char>(dodge(d[RAST_BYTE_B], b, w));
    d[RAST_BYTE_A] = static_cast<unsigned char>(dodge(d[RAST_BYTE_A], a, w));
  }
};

struct _RAST_CombinePixelsOverlay {
  static inline int overlay(int d, int s, int w) {
    const _RAST_wint S = _RAST_wint(s) * w + (_RAST_wint(256) - w) * 128;
    const _RAST_wint T = S + (_RAST_wint(32768) - S) * d / 256;
    return rast_detail::clamp255((T * d / 32768).v);
  }
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    d[RAST_BYTE_R] = static_cast<unsigned char>(overlay(d[RAST_BYTE_R], r, w));
    d[RAST_BYTE_G] = static_cast<unsigned char>(overlay(d[RAST_BYTE_G], g, w));
    d[RAST_BYTE_B] = static_cast<unsigned char>(overlay(d[RAST_BYTE_B], b, w));
    d[RAST_BYTE_A] = static_cast<unsigned char>(overlay(d[RAST_BYTE_A], a, w));
  }
};

// Treats the source red, green and blue as signed adjustments of the
// destination's hue, saturation and value (128 = no change), scaled by the
// weight; writes the source alpha (its low byte) into the alpha byte.
// Out of line: the conversion to and from HSV is long.
struct _RAST_CombinePixelsHSVAdjust {
  static void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha);
};

// Reciprocal table of the HSV conversion: entry 0 is 0, entry i is
// 65536 / i - 1.
extern const std::array<uint16_t, 256> _RAST_RGB2HSV_invtab;

using _RAST_CombinePixelsCopySourceAlphaNoClamp = rast_detail::CopySourceAlpha<false>;
using _RAST_CombinePixelsCopySourceAlphaClamp = rast_detail::CopySourceAlpha<true>;
using _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp = rast_detail::CopySourceAlphaIgnoreAlphaParm<false>;
using _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp = rast_detail::CopySourceAlphaIgnoreAlphaParm<true>;
using _RAST_CombinePixelsMulSourceAlphaNoClamp = rast_detail::MulSourceAlpha<false>;
using _RAST_CombinePixelsMulSourceAlphaClamp = rast_detail::MulSourceAlpha<true>;

struct _RAST_CombinePixelsAddSourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    _RAST_CombinePixelsAdd::doPix(d, r, g, b, a, rast_detail::sourceAlphaWeight(a, w));
  }
};

struct _RAST_CombinePixelsColorDodgeSourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    _RAST_CombinePixelsColorDodge::doPix(d, r, g, b, a, rast_detail::sourceAlphaWeight(a, w));
  }
};

struct _RAST_CombinePixelsOverlaySourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    _RAST_CombinePixelsOverlay::doPix(d, r, g, b, a, rast_detail::sourceAlphaWeight(a, w));
  }
};

struct _RAST_CombinePixelsHSVAdjustSourceAlpha {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int w) {
    _RAST_CombinePixelsHSVAdjust::doPix(d, r, g, b, a, rast_detail::sourceAlphaWeight(a, w));
  }
};

// Whole-word combiners for plain copies at fixed weights. Each byte of the
// result is built from the shifted bytes of colour c and old pixel p, every
// partial term rounding down.
struct _RAST_CombinePixelsClobberFAST {
  static inline RAST_pixel mix(RAST_pixel p, RAST_pixel c) { return (void)p, c; }
};
struct _RAST_CombinePixelsHalfMixFAST {
  static inline RAST_pixel mix(RAST_pixel p, RAST_pixel c) { return ((c >> 1) & 0x7f7f7f7fu) + ((p >> 1) & 0x7f7f7f7fu); }
};
struct _RAST_CombinePixelsQuarterMixFAST {  // a quarter of c
  static inline RAST_pixel mix(RAST_pixel p, RAST_pixel c) {
    return ((p >> 2) & 0x3f3f3f3fu) + ((p >> 1) & 0x7f7f7f7fu) + ((c >> 2) & 0x3f3f3f3fu);
  }
};
struct _RAST_CombinePixelsThreeQuarterMixFAST {  // three quarters of c
  static inline RAST_pixel mix(RAST_pixel p, RAST_pixel c) {
    return ((p >> 2) & 0x3f3f3f3fu) + ((c >> 2) & 0x3f3f3f3fu) + ((c >> 1) & 0x7f7f7f7fu);
  }
};

// The word mixes under the names the shape fills use.
using _RAST_CombinePixelsHalfMix2FAST = _RAST_CombinePixelsHalfMixFAST;
using _RAST_CombinePixelsQuarterMix2FAST = _RAST_CombinePixelsQuarterMixFAST;
using _RAST_CombinePixelsThreeQuarterMix2FAST = _RAST_CombinePixelsThreeQuarterMixFAST;

// Half way between pixel and colour, byte by byte: (p + c) >> 1 for each of
// the four bytes; the weight is ignored. It rounds like the sum, so it can
// be one above the word mix, which halves both terms first.
struct _RAST_CombinePixelsHalfMixNoClamp {
  static inline void doPix(unsigned char* d, int r, int g, int b, int a, int /*w*/) {
    d[RAST_BYTE_R] = static_cast<unsigned char>((d[RAST_BYTE_R] + (r & 0xff)) >> 1);
    d[RAST_BYTE_G] = static_cast<unsigned char>((d[RAST_BYTE_G] + (g & 0xff)) >> 1);
    d[RAST_BYTE_B] = static_cast<unsigned char>((d[RAST_BYTE_B] + (b & 0xff)) >> 1);
    d[RAST_BYTE_A] = static_cast<unsigned char>((d[RAST_BYTE_A] + (a & 0xff)) >> 1);
  }
};

// The combiner of a shape (lines, circles, fills, curves and glyphs) by the
// mode's low byte alone: 0 copy, 1 add, 2 colour dodge, 3 multiply, 4
// overlay, 5 HSV adjust. Calls F<Combiner>::run(args...) and returns true,
// or returns false (nothing drawn) for weight 0, a low byte above 5 or a
// copy at a negative weight. The plain form (Plain true) copies at weight
// 128 with the byte half-mix and at 256 by overwriting; the anti-aliased
// form copies at every positive weight.
template <template <class> class F, bool Plain, class... Args>
inline bool RAST_DispatchShape(int mode, int weight, Args&&... args) {
  if (weight == 0) return false;
  switch (mode & RAST_BLIT_MODE_MASK) {
    case 0:
      if (weight < 0) return false;
      if constexpr (Plain) {
        if (weight == 128) {
          F<_RAST_CombinePixelsHalfMixNoClamp>::run(args...);
          return true;
        }
        if (weight == 256) {
          F<_RAST_CombinePixelsClobberNoClamp>::run(args...);
          return true;
        }
      }
      F<_RAST_CombinePixelsCopyNoClamp>::run(args...);
      return true;
    case 1: F<_RAST_CombinePixelsAdd>::run(args...); return true;
    case 2: F<_RAST_CombinePixelsColorDodge>::run(args...); return true;
    case 3: F<_RAST_CombinePixelsMulNoClamp>::run(args...); return true;
    case 4: F<_RAST_CombinePixelsOverlay>::run(args...); return true;
    case 5: F<_RAST_CombinePixelsHSVAdjust>::run(args...); return true;
    default: return false;
  }
}

// Calls F<Combiner>::run(args...) with the combiner that a blend-mode key
// selects under the shared dispatch rule, and returns true; returns false
// (nothing drawn) for a key or weight that selects none. Copy at weight 256
// uses Clobber, copy by source alpha at weight 256 the ignore-alpha form.
// With Clamp the clamping forms of clobber, copy, both source-alpha copies and
// both multiplies are used.
template <template <class> class F, bool Clamp = false, class... Args>
inline bool RAST_DispatchCombiner(int mode, int weight, Args&&... args) {
  using namespace rast_detail;
  switch (mode & RAST_BLIT_KEY_MASK) {
    case 0:
      if (weight < 1) return false;
      if (weight == 256) F<Clobber<Clamp>>::run(args...);
      else F<Copy<Clamp>>::run(args...);
      return true;
    case 1: F<_RAST_CombinePixelsAdd>::run(args...); return true;
    case 2: F<_RAST_CombinePixelsColorDodge>::run(args...); return true;
    case 3: F<Mul<Clamp>>::run(args...); return true;
    case 4: F<_RAST_CombinePixelsOverlay>::run(args...); return true;
    case 5: F<_RAST_CombinePixelsHSVAdjust>::run(args...); return true;
    case 0x10000:
      if (weight == 256) F<CopySourceAlphaIgnoreAlphaParm<Clamp>>::run(args...);
      else F<CopySourceAlpha<Clamp>>::run(args...);
      return true;
    case 0x10001: F<_RAST_CombinePixelsAddSourceAlpha>::run(args...); return true;
    case 0x10002: F<_RAST_CombinePixelsColorDodgeSourceAlpha>::run(args...); return true;
    case 0x10003: F<MulSourceAlpha<Clamp>>::run(args...); return true;
    case 0x10004: F<_RAST_CombinePixelsOverlaySourceAlpha>::run(args...); return true;
    case 0x10005: F<_RAST_CombinePixelsHSVAdjustSourceAlpha>::run(args...); return true;
    default: return false;
  }
}

// Combines src into a copy of dest with the opacity and blend mode and
// returns it; an opacity whose weight is 0 returns dest unchanged.
RAST_pixel RAST_CombinePixels(RAST_pixel dest, RAST_pixel src, float alpha, int mode);
// Combines r, g, b, a into *pixel in place (channel values 0-255).
void RAST_CombinePixels2(RAST_pixel* pixel, int r, int g, int b, int a, int weight, int mode);
// The same for channel values that may lie outside 0-255: every result
// channel is clamped instead of truncated to its low byte.
void RAST_CombinePixels2Clamp(RAST_pixel* pixel, int r, int g, int b, int a, int weight, int mode);
