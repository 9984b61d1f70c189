#pragma once
// Value types shared by the window model: rectangles, colours, text styles,
// bitmaps, mouse modifiers and blends. Plain records, copied by value.
#include <cstdint>

class RAST_IBitmap;
class RAST_IFont;

struct IRECT {
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  void Clear() { L = T = R = B = 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }

  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const IRECT& o) const { return !(*this == o); }

  // The smallest rectangle holding both; an empty side gives the other.
  IRECT Union(const IRECT* o) const {
    if (Empty()) return *o;
    if (o->Empty()) return *this;
    return IRECT(L < o->L ? L : o->L, T < o->T ? T : o->T, R > o->R ? R : o->R, B > o->B ? B : o->B);
  }
  // True when both are non-empty and meet. The test is not symmetric at the
  // right and bottom edges: a rectangle o whose left edge lies on this one's
  // right edge counts as meeting it. The redraw evaluates it as
  // dirtyArea.Intersects(controlRect).
  bool Intersects(const IRECT* o) const {
    if (Empty() || o->Empty()) return false;
    return L < o->R && R >= o->L && T < o->B && B >= o->T;
  }
  // The overlap of two rectangles; empty when they do not overlap.
  IRECT Intersect(const IRECT* o) const {
    if (Empty() || o->Empty()) return IRECT();
    const int l = L > o->L ? L : o->L, t = T > o->T ? T : o->T;
    const int r = R < o->R ? R : o->R, b = B < o->B ? B : o->B;
    if (r <= l || b <= t) return IRECT();
    return IRECT(l, t, r, b);
  }
  bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
};

struct IColor {
  int A = 255, R = 0, G = 0, B = 0;
  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  bool operator!=(const IColor& o) const { return !(*this == o); }
  // The raster library's pixel: alpha in bits 0-7, red 8-15, green 16-23,
  // blue 24-31.
  uint32_t Pack() const {
    return (uint32_t)(A & 0xFF) | ((uint32_t)(R & 0xFF) << 8) | ((uint32_t)(G & 0xFF) << 16) |
           ((uint32_t)(B & 0xFF) << 24);
  }
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);
inline constexpr IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

struct IText {
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EVAlign { kVAlignTop = 0, kVAlignBottom = 1, kVAlignMiddle = 2 };
  enum EQuality { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2, kQualityClearType = 3 };

  char mFont[32];
  int mSize = 12;
  IColor mColor = DEFAULT_TEXT_COLOR;
  IColor mTextEntryBGColor = DEFAULT_TEXT_ENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXT_ENTRY_FGCOLOR;
  int mStyle = kStyleNormal;
  int mAlign = kAlignCenter;
  int mVAlign = kVAlignMiddle;
  int mOrientation = 0;
  int mQuality = kQualityClearType;
  RAST_IFont* mCached = nullptr;  // not owned: the font cache holds it

  IText();
  explicit IText(int size, const IColor* color = nullptr, const char* font = nullptr, int style = kStyleNormal,
                 int align = kAlignCenter, int orientation = 0, int quality = kQualityClearType);
};

struct IBitmap {
  RAST_IBitmap* mData = nullptr;  // owned by the bitmap cache
  int W = 0, H = 0, N = 1;
  bool mFramesAreHorizontal = false;

  IBitmap() = default;
  IBitmap(RAST_IBitmap* data, int w, int h, int n = 1, bool horizontal = false)
      : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(horizontal) {}
  // Frame count as a divisor: a count below 1 counts as 1.
  int Frames() const { return N < 1 ? 1 : N; }
  int FrameWidth() const { return mFramesAreHorizontal ? W / Frames() : W; }
  int FrameHeight() const { return mFramesAreHorizontal ? H : H / Frames(); }
};

struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
  IMouseMod() = default;
  IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

struct IChannelBlend {
  enum EBlendMethod { kBlendNone = 0, kBlendClobber = 1, kBlendAdd = 2, kBlendColorDodge = 3 };
  int mMethod = kBlendNone;
  float mWeight = 1.0f;
  IChannelBlend() = default;
  explicit IChannelBlend(int method, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

// Raster blend-mode words.
enum : int {
  kRasterBlendCopy = 0,
  kRasterBlendAlpha = 0x10000,
  kRasterBlendAdd = 0x10001,
  kRasterBlendDodge = 0x10002,
  kRasterFilterBilinear = 0x100
};

// The raster mode of a blend; a null blend copies weighted by source alpha.
int RasterBlendMode(const IChannelBlend* blend);
inline float RasterBlendWeight(const IChannelBlend* blend) { return blend ? blend->mWeight : 1.0f; }

enum EDirection { kVertical = 0, kHorizontal = 1 };
enum EFileAction { kFileOpen = 0, kFileSave = 1 };
