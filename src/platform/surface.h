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
#include <span>
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
  float lineWidth = 1.f;
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

// ---- Paths (surfacepath.cpp) ----
//
// Pixel (x, y) is the unit square at (x, y). A fill samples each pixel on a
// 4 x 4 grid at ((i + 0.5) / 4, (j + 0.5) / 4) with the non-zero rule (a
// sample on an edge counts for left and top edges only); without
// antialiasing only the centre sample counts. Coverage times the colour's
// alpha is composited as surfaceCompositeCoverage does; byte 0 is never
// written. Strokes take the state's line width, butt caps and miter joins
// (limit 10); curves are flattened to 0.05 px.

struct PathPoint {
  double x = 0, y = 0;
};

class Path {
 public:
  void moveTo(double x, double y);
  void lineTo(double x, double y);
  // A cubic curve from the current point through two control points.
  void curveTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
  void close();
  // The ellipse inscribed in the rectangle, as a closed figure of its own.
  void addEllipse(double x, double y, double w, double h);
  bool empty() const { return m_figures.empty(); }
  bool hasCurrent() const { return !m_figures.empty(); }
  PathPoint current() const { return m_figures.empty() ? PathPoint{} : m_figures.back().points.back(); }

  struct Figure {
    std::vector<PathPoint> points;
    bool closed = false;
  };
  const std::vector<Figure>& figures() const { return m_figures; }

 private:
  std::vector<Figure> m_figures;
};

void surfaceSetLineWidth(Surface* s, float w);
void surfaceFillPath(Surface* s, const Path& p, const Color& c);
void surfaceStrokePath(Surface* s, const Path& p, const Color& c);

// Draws a w x h source scaled into x, y, dw, dh, each destination pixel
// taking the source pixel nearest its centre. Source pixels are four bytes
// A R G B (the surface layout) with srcSpan bytes per row; with useAlpha the
// source byte 0 is its alpha (source-over, not premultiplied), else the
// source is opaque. Clipped to the clip and the buffer.
void surfaceDrawPixels(Surface* s, const uint8_t* src, int w, int h, int srcSpan, int x, int y, int dw, int dh,
                       bool useAlpha);

// One channel of the coverage composite, exposed for tests.
inline uint8_t blendChannel(int bg, int fg, int coverage) {
  return static_cast<uint8_t>((bg * (255 - coverage) + fg * coverage + 127) / 255);
}

}  // namespace platform
