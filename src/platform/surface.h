#pragma once
// The drawing surface of the platform layer: a 32-bit pixel buffer with a
// top-left origin, a clip rectangle, a saved-state stack, fill and stroke
// colours and an antialiasing switch. Device contexts of the emulation layer
// draw into one of these, and the editor's screen copy reads its pixels.
//
// Pixel layout: four bytes per pixel, X R G B in memory. Byte 0 is never
// written by any operation here, so a buffer shared with the raster library
// keeps its alpha byte.
#include <cstdint>
#include <vector>

namespace platform {

// An RGB colour with an alpha of 0.0 to 1.0, reference-counted.
struct Color {
  float r = 0.f, g = 0.f, b = 0.f, a = 1.f;
  int refs = 1;
};

// Creates a colour with one reference; components are clamped to 0..1.
Color* colorCreate(float r, float g, float b, float a);
Color* colorRetain(Color* c);  // null-tolerant, returns c
void colorRelease(Color* c);   // null-tolerant; frees on the last reference

// Pixel bounds, right and bottom exclusive.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
};

// The origin is where the state's coordinate (0, 0) lies in the buffer;
// every operation below takes its coordinates relative to it. The clip is
// kept in buffer pixels.
struct SurfaceState {
  PixelRect clip;
  int originX = 0;
  int originY = 0;
  bool antialias = true;
  Color fill;
  Color stroke;
};

struct Surface {
  uint8_t* pixels = nullptr;  // first byte of row 0 (the top row)
  int width = 0;
  int height = 0;
  int span = 0;  // bytes from one row to the next
  SurfaceState state;
  std::vector<SurfaceState> saved;
};

// A surface over caller-owned pixels (w x h pixels, span bytes per row), or
// null when the sizes are not positive, the span is below w * 4 or pixels is
// null. The clip starts as the whole buffer, antialiasing on, colours black.
Surface* surfaceCreate(void* pixels, int w, int h, int span);
void surfaceRelease(Surface* s);  // null-tolerant; does not free the pixels

void surfaceSaveState(Surface* s);
void surfaceRestoreState(Surface* s);  // an unmatched restore does nothing

// Narrows the clip to the pixels whose centres lie in x, y, w, h.
void surfaceClipToRect(Surface* s, float x, float y, float w, float h);
void surfaceSetAntialias(Surface* s, bool on);
// Moves the origin by dx, dy (saturating far outside the buffer).
void surfaceTranslate(Surface* s, int dx, int dy);
void surfaceSetFillColor(Surface* s, const Color& c);

// Converts a float rectangle to the pixels whose centres lie inside it.
PixelRect pixelsCovered(float x, float y, float w, float h);

// Fills x, y, w, h (pixel centres inside) with c, clipped to the clip and the
// buffer. An alpha below 1 mixes the colour into the existing bytes.
void surfaceFillRect(Surface* s, float x, float y, float w, float h, const Color& c);

// Composites an 8-bit coverage map of w x h (covSpan bytes per row) with its
// top-left corner at x, y: each of bytes 1-3 becomes
// bg + (fg - bg) * coverage / 255, rounded; byte 0 is left alone. Clipped to
// the clip and the buffer.
void surfaceCompositeCoverage(Surface* s, int x, int y, const uint8_t* cov, int w, int h, int covSpan,
                              const Color& c);

// One channel of the coverage composite, exposed for tests.
inline uint8_t blendChannel(int bg, int fg, int coverage) {
  return static_cast<uint8_t>((bg * (255 - coverage) + fg * coverage + 127) / 255);
}

}  // namespace platform
