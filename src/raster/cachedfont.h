#pragma once
// Fonts for the raster library: UTF-8 text drawn into any bitmap with the
// library's blend modes. RAST_CachedFont renders each character once through
// the emulation layer's text drawing into a shared scratch bitmap (white on
// black) and keeps it as an 8-bit coverage map; afterwards it paints the
// character from the map. Opaque text of a font bound for native drawing
// goes straight to the emulation layer instead.
//
// Fonts and their shared scratch bitmaps belong to the user-interface
// thread: no locking.
#include <cstdint>

#include "kit/heapbuf.h"
#include "raster/bitmap.h"
#include "raster/pixel.h"
#include "shim/wingdi.h"
#include "shim/wintypes.h"

// Font flags of SetFromHFont.
enum : int {
  RAST_FONT_FLAG_VERTICAL = 0x1,       // maps turned clockwise, the pen moves down
  RAST_FONT_FLAG_BOTTOMUP = 0x2,       // with VERTICAL: turned the other way, the pen moves up
  RAST_FONT_FLAG_PRECALCALL = 0x4,     // render 0-127 at binding; ignore characters from 128 up
  RAST_FONT_FLAG_BLUR = 0x10,          // blur each glyph once
  RAST_FONT_FLAG_INVERT = 0x20,        // coverage becomes 255 - coverage
  RAST_FONT_FLAG_MONO = 0x40,          // coverage above 130 is 255, the rest 0
  RAST_FONT_FLAG_SHADOW = 0x80,        // monochrome with a shadow of effect pixels
  RAST_FONT_FLAG_OUTLINE = 0x100,      // monochrome with an outline of effect pixels
  RAST_FONT_FLAG_OWNS_HFONT = 0x200,   // delete the native font when replaced or destroyed
  RAST_FONT_FLAG_FORCE_NATIVE = 0x400  // draw opaque plain text natively
};

// Flags of DrawText beyond the emulation layer's DT_ bits.
constexpr unsigned int RAST_DT_USEFGALPHA = 0x40000000u;  // opacity x text colour's alpha / 255
constexpr unsigned int RAST_DT_NO_NATIVE = 0x80000000u;   // never the native path

class RAST_IFont {
 public:
  virtual ~RAST_IFont() {}
  virtual void SetFromHFont(HGDIOBJ font, int flags) = 0;
  virtual RAST_pixel SetTextColor(RAST_pixel colour) = 0;
  virtual RAST_pixel SetBkColor(RAST_pixel colour) = 0;
  virtual RAST_pixel SetEffectColor(RAST_pixel colour) = 0;
  virtual int SetBkMode(int mode) = 0;
  virtual void SetCombineMode(int mode, float alpha) = 0;
  // Draws (or with DT_CALCRECT measures) text in rect; returns the text's
  // height (its width for vertical fonts), 0 when nothing was drawn.
  virtual int DrawText(RAST_IBitmap* bm, const char* text, int count, RECT* rect, int flags) = 0;
  virtual RAST_pixel GetTextColor() = 0;
  virtual HGDIOBJ GetHFont() = 0;
  virtual int GetLineHeight() = 0;
};

class RAST_CachedFont : public RAST_IFont {
 public:
  // One glyph: data position (0 not rendered, -1 failed, else 1 + the map's
  // offset in the pool), map width and height, advance, character code.
  struct charEnt {
    int base_offset;
    int width;
    int height;
    int advance;
    int charid;
  };

  RAST_CachedFont();
  ~RAST_CachedFont() override;
  // The font owns its native handle and counts the shared scratch bitmaps.
  RAST_CachedFont(const RAST_CachedFont&) = delete;
  RAST_CachedFont& operator=(const RAST_CachedFont&) = delete;

  void SetFromHFont(HGDIOBJ font, int flags) override;
  RAST_pixel SetTextColor(RAST_pixel colour) override;
  RAST_pixel SetBkColor(RAST_pixel colour) override;
  RAST_pixel SetEffectColor(RAST_pixel colour) override;
  int SetBkMode(int mode) override;
  void SetCombineMode(int mode, float alpha) override;
  int DrawText(RAST_IBitmap* bm, const char* text, int count, RECT* rect, int flags) override;
  RAST_pixel GetTextColor() override { return m_fg; }
  HGDIOBJ GetHFont() override { return m_font; }
  int GetLineHeight() override { return m_lineheight; }

  // Renders one character into the cache (once: a rendered or failed glyph
  // is left as it is). False when the line height is above 1023 or, under
  // PRECALCALL, for an uncached character from 128 up.
  bool RenderGlyph(unsigned short c);
  // The record of a character: the fixed slot below 128, else the sorted
  // list's entry or null.
  charEnt* findChar(unsigned short c);
  // Paints one cached glyph with its top-left corner at x, y, clipped to
  // clip. False when the character has no rendered record or lies wholly
  // outside clip.
  bool DrawGlyph(RAST_IBitmap* bm, unsigned short c, int x, int y, const RECT* clip);

  // Decodes one character of at most maxBytes bytes (negative: up to the
  // NUL); returns the bytes used. Continuation bytes are read only within
  // maxBytes; a truncated or malformed sequence is its lead byte alone.
  // Four-byte sequences become a space.
  static int utf8char(const char* text, unsigned short* out, int maxBytes = -1);

  // Inspection for tests and diagnostics.
  const unsigned char* coverageOf(const charEnt* e) const;
  int poolSize() const { return m_pool.GetSize(); }
  int listSize() const { return m_list.GetSize(); }
  int renderCount() const { return m_renders; }
  int fontFlags() const { return m_flags; }
  static RAST_SysBitmap* scratchBitmap();        // null until made
  static RAST_SysBitmap* nativeScratchBitmap();  // null until made
  static int liveFonts();

 private:
  int DrawTextImpl(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags);
  int drawNative(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags);
  int measureCached(const char* text, int count, RECT* rect, unsigned int flags);
  int drawCached(RAST_IBitmap* bm, const char* text, int count, RECT* rect, unsigned int flags);
  // The record of c, rendered now if it was not; null when it cannot be had.
  charEnt* glyphFor(unsigned short c);
  // Steps through text for layout: kGlyph with *e set, kLineBreak, or kEnd.
  // Carriage returns and characters without a glyph are passed over; under
  // DT_SINGLELINE a line feed is a space. remaining counts down a
  // non-negative count; a negative count runs to the NUL.
  enum Step { kEnd, kGlyph, kLineBreak };
  Step nextStep(const char*& p, int& remaining, bool bounded, unsigned int flags, const charEnt** e);
  void storeFailed(charEnt* e);
  void applyNativeColours(HDC dc);
  static RAST_SysBitmap*& nativeScratchRef();

  RAST_pixel m_fg = 0;
  RAST_pixel m_bg = 0xFFFFFFFF;
  RAST_pixel m_effectcol = 0xFFFFFFFF;
  int m_bgmode = 0;
  int m_comb = 0;
  float m_alpha = 1.0f;
  int m_flags = 0;
  int m_lineheight = 0;
  charEnt m_lowchars[128];
  KIT_TypedBuf<charEnt> m_list{KIT_GRAN_DEFAULT};
  KIT_HeapBuf m_pool{KIT_GRAN_GLYPHPOOL};
  HGDIOBJ m_font = nullptr;
  int m_renders = 0;
};
