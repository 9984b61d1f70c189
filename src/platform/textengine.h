#pragma once
// The platform's text services: fonts resolved from a face name, their
// vertical metrics, line measurement and line drawing into a Surface.
//
// Fonts are found through fontconfig by family and style; names that are not
// installed fall back to one of two pinned faces (a monospaced face for names
// that say "mono", a sans face for all others). Sizes are pixel sizes. The
// metrics are the face's horizontal header scaled by size / units-per-em,
// unrounded. A glyph advances by its unhinted advance rounded to the nearest
// pixel, and a line's width is the sum of those advances, without kerning.
// Only a line feed breaks a line; callers split lines themselves.
//
// Fonts may be created on any thread; measuring and drawing with one font
// object happen on one thread at a time.
//
// The font library and the font configuration behind them are made on first
// use and released when the program or module that holds this code unloads;
// a font still held then keeps them until it is released itself.
#include <cstddef>
#include <string>

#include "platform/surface.h"

namespace platform {

// The pinned fallback faces (overridable for tests; the path must name a font
// file). Variants for bold and italic are looked for beside each file as
// "<name>-Bold.ttf", "<name>-Oblique.ttf" and "<name>-BoldOblique.ttf".
extern const char* const kDefaultSansFacePath;
extern const char* const kDefaultMonoFacePath;
void setFallbackFacePaths(const char* sansPath, const char* monoPath);  // null restores the defaults

struct Font;

struct FontMetrics {
  float ascent = 0.f;
  float descent = 0.f;
  float leading = 0.f;
};

// Resolves a requested face name (possibly ending in " Bold", " Italic" or
// " Bold Italic") to a platform font name: a string naming the font file and
// face index. Never fails: unknown and empty names give a pinned face.
std::string resolveFontName(const char* request);

// A font from a resolved name at a pixel size, or null when its file cannot
// be loaded. The font holds one reference.
Font* fontCreate(const std::string& resolvedName, float size);
// The pinned sans face at a pixel size (the label font of the layer).
Font* fontCreateLabel(float size);
Font* fontRetain(Font* f);
void fontRelease(Font* f);

FontMetrics fontGetMetrics(const Font* f);
float fontGetSize(const Font* f);
// The file the font was loaded from, and its face index.
const char* fontGetFilePath(const Font* f);
int fontGetFaceIndex(const Font* f);
bool fontIsBold(const Font* f);
bool fontIsItalic(const Font* f);

// Decodes text as UTF-8, or failing that as ASCII; false when neither fits.
bool decodeText(const char* bytes, size_t len, std::u32string& out);

// Advance of one character in whole pixels.
int fontAdvance(Font* f, char32_t ch);
// Width of a line: the sum of the advances of its characters.
int measureLine(Font* f, const char32_t* text, size_t len);
// Draws one line with its pen starting at x and its baseline at baselineY
// (both rounded to the nearest pixel), in colour c, antialiased or
// monochrome as the surface's state says, clipped to the surface's clip and
// buffer. Returns the line's width.
int drawLine(Surface* s, Font* f, const char32_t* text, size_t len, float x, float baselineY, const Color& c);

}  // namespace platform
