#include "platform/surface.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cmath>
#include <new>

namespace platform {

namespace {

float clamp01(float v) {
  if (!(v > 0.f)) return 0.f;  // NaN too
  return v > 1.f ? 1.f : v;
}

int channelByte(float v) { return static_cast<int>(clamp01(v) * 255.f + 0.5f); }

// Rounds a coordinate to the nearest pixel edge, saturating far outside.
int edge(float v) {
  if (!(v == v)) return 0;
  const double r = std::floor(static_cast<double>(v) + 0.5);
  if (r < -1.0e9) return -1000000000;
  if (r > 1.0e9) return 1000000000;
  return static_cast<int>(r);
}

int edgeShift(int v, int by) {
  const int64_t r = static_cast<int64_t>(v) + by;
  return static_cast<int>(std::clamp<int64_t>(r, -1000000000, 1000000000));
}

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
  PixelRect r;
  r.left = std::max(a.left, b.left);
  r.top = std::max(a.top, b.top);
  r.right = std::min(a.right, b.right);
  r.bottom = std::min(a.bottom, b.bottom);
  return r;
}

// The clip, cut to the buffer.
PixelRect drawable(const Surface* s) {
  PixelRect whole;
  whole.right = s->width;
  whole.bottom = s->height;
  return intersect(s->state.clip, whole);
}

// A rectangle given in the state's coordinates, in buffer pixels.
PixelRect covered(const Surface* s, float x, float y, float w, float h) {
  PixelRect r = pixelsCovered(x, y, w, h);
  r.left = edgeShift(r.left, s->state.originX);
  r.right = edgeShift(r.right, s->state.originX);
  r.top = edgeShift(r.top, s->state.originY);
  r.bottom = edgeShift(r.bottom, s->state.originY);
  return r;
}

}  // namespace

Color* colorCreate(float r, float g, float b, float a) {
  Color* c = new (std::nothrow) Color;
  if (!c) return nullptr;
  c->r = clamp01(r);
  c->g = clamp01(g);
  c->b = clamp01(b);
  c->a = clamp01(a);
  return c;
}

Color* colorRetain(Color* c) {
  if (c) ++c->refs;
  return c;
}

void colorRelease(Color* c) {
  if (c && --c->refs <= 0) delete c;
}

Surface* surfaceCreate(void* pixels, int w, int h, int span) {
  if (!pixels || w <= 0 || h <= 0 || span / 4 < w) return nullptr;
  Surface* s = new (std::nothrow) Surface;
  if (!s) return nullptr;
  s->pixels = static_cast<uint8_t*>(pixels);
  s->width = w;
  s->height = h;
  s->span = span;
  s->state.clip.right = w;
  s->state.clip.bottom = h;
  return s;
}

void surfaceRelease(Surface* s) { delete s; }

void surfaceSaveState(Surface* s) {
  if (s) s->saved.push_back(s->state);
}

void surfaceRestoreState(Surface* s) {
  if (!s || s->saved.empty()) return;
  s->state = s->saved.back();
  s->saved.pop_back();
}

PixelRect pixelsCovered(float x, float y, float w, float h) {
  PixelRect r;
  r.left = edge(x);
  r.top = edge(y);
  r.right = edge(x + w);
  r.bottom = edge(y + h);
  return r;
}

void surfaceClipToRect(Surface* s, float x, float y, float w, float h) {
  if (!s) return;
  s->state.clip = intersect(s->state.clip, covered(s, x, y, w, h));
}

void surfaceTranslate(Surface* s, int dx, int dy) {
  if (!s) return;
  s->state.originX = edgeShift(s->state.originX, dx);
  s->state.originY = edgeShift(s->state.originY, dy);
}

void surfaceSetAntialias(Surface* s, bool on) {
  if (s) s->state.antialias = on;
}

void surfaceSetFillColor(Surface* s, const Color& c) {
  if (s) {
    s->state.fill = c;
    s->state.fill.refs = 1;
  }
}

void surfaceFillRect(Surface* s, float x, float y, float w, float h, const Color& c) {
  if (!s) return;
  const PixelRect r = intersect(drawable(s), covered(s, x, y, w, h));
  if (r.empty()) return;
  const int cr = channelByte(c.r), cg = channelByte(c.g), cb = channelByte(c.b);
  const int cov = channelByte(c.a);
  for (int yy = r.top; yy < r.bottom; ++yy) {
    uint8_t* p = s->pixels + static_cast<ptrdiff_t>(yy) * s->span + static_cast<ptrdiff_t>(r.left) * 4;
    for (int xx = r.left; xx < r.right; ++xx, p += 4) {
      if (cov == 255) {
        p[1] = static_cast<uint8_t>(cr);
        p[2] = static_cast<uint8_t>(cg);
        p[3] = static_cast<uint8_t>(cb);
      } else {
        p[1] = blendChannel(p[1], cr, cov);
        p[2] = blendChannel(p[2], cg, cov);
        p[3] = blendChannel(p[3], cb, cov);
      }
    }
  }
}

void surfaceCompositeCoverage(Surface* s, int x, int y, const uint8_t* cov, int w, int h, int covSpan,
                              const Color& c) {
  if (!s || !cov || w <= 0 || h <= 0) return;
  x = edgeShift(x, s->state.originX);
  y = edgeShift(y, s->state.originY);
  PixelRect g;
  g.left = x;
  g.top = y;
  g.right = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(x) + w, INT_MAX));
  g.bottom = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(y) + h, INT_MAX));
  const PixelRect r = intersect(drawable(s), g);
  if (r.empty()) return;
  const int cr = channelByte(c.r), cg = channelByte(c.g), cb = channelByte(c.b);
  const int alpha = channelByte(c.a);
  for (int yy = r.top; yy < r.bottom; ++yy) {
    const uint8_t* src = cov + static_cast<ptrdiff_t>(yy - y) * covSpan + (r.left - x);
    uint8_t* p = s->pixels + static_cast<ptrdiff_t>(yy) * s->span + static_cast<ptrdiff_t>(r.left) * 4;
    for (int xx = r.left; xx < r.right; ++xx, p += 4, ++src) {
      int v = *src;
      if (alpha != 255) v = (v * alpha + 127) / 255;
      if (v == 0) continue;
      p[1] = blendChannel(p[1], cr, v);
      p[2] = blendChannel(p[2], cg, v);
      p[3] = blendChannel(p[3], cb, v);
    }
  }
}

}  // namespace platform
