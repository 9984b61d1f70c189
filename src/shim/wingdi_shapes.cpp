// Shapes, lines, curves and pixels with the selected pen and brush.
#include <cmath>

#include "platform/surface.h"
#include "shim/wingdi.h"

namespace {

bool usable(HGDIOBJ o, int type) { return SHIM_IsValidObject(o, type) && o->wid >= 0; }

platform::Surface* shapeSurfaceOf(HDC ctx) { return SHIM_IsValidContext(ctx) ? ctx->context : nullptr; }

platform::Color colourOf(HGDIOBJ o) {
  platform::Color c;
  if (o && o->color) c = *o->color;
  c.refs = 1;
  return c;
}

float drawnWidth(HGDIOBJ pen) { return pen->wid == 0 ? 1.f : static_cast<float>(pen->wid); }

// Fills with the usable brush and strokes with the usable pen, at the
// pen's drawn width.
void paint(platform::Surface* s, HDC ctx, const platform::Path& p, bool fill, bool stroke, float width) {
  if (fill && usable(ctx->curbrush, SHIM_OBJ_BRUSH)) platform::surfaceFillPath(s, p, colourOf(ctx->curbrush));
  if (stroke && usable(ctx->curpen, SHIM_OBJ_PEN)) {
    if (width > 0) platform::surfaceSetLineWidth(s, width);
    platform::surfaceStrokePath(s, p, colourOf(ctx->curpen));
  }
}

}  // namespace

BOOL Rectangle(HDC ctx, int l, int t, int r, int b) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s) return FALSE;
  if (usable(ctx->curbrush, SHIM_OBJ_BRUSH))
    platform::surfaceFillRect(s, static_cast<float>(l), static_cast<float>(t), static_cast<float>(r - l),
                              static_cast<float>(b - t), colourOf(ctx->curbrush));
  if (usable(ctx->curpen, SHIM_OBJ_PEN)) {
    platform::Path p;
    p.moveTo(l, t);
    p.lineTo(r, t);
    p.lineTo(r, b);
    p.lineTo(l, b);
    p.close();
    paint(s, ctx, p, false, true, ctx->curpen->wid < 2 ? 1.f : static_cast<float>(ctx->curpen->wid));
  }
  return TRUE;
}

BOOL Ellipse(HDC ctx, int l, int t, int r, int b) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s) return FALSE;
  platform::Path p;
  p.addEllipse(l, t, r - l, b - t);
  paint(s, ctx, p, true, true, 0);  // the stroke takes the context's current width
  return TRUE;
}

void SHIM_Polygon(HDC ctx, const POINT* pts, int n) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s || !pts || n < 2) return;
  const bool brush = usable(ctx->curbrush, SHIM_OBJ_BRUSH), pen = usable(ctx->curpen, SHIM_OBJ_PEN);
  if (!brush && !pen) return;
  platform::Path p;
  p.moveTo(pts[0].x, pts[0].y);
  for (int i = 1; i < n; ++i) p.lineTo(pts[i].x, pts[i].y);
  paint(s, ctx, p, true, true, pen ? drawnWidth(ctx->curpen) : 0);
}

BOOL RoundRect(HDC ctx, int x1, int y1, int x2, int y2, int xround, int yround) {
  const int xr = xround / 3, yr = yround / 3;
  const POINT pts[10] = {{x1, y1 + yr}, {x1 + xr, y1}, {x2 - xr, y1}, {x2, y1 + yr}, {x2, y2 - yr},
                         {x2 - xr, y2}, {x1 + xr, y2}, {x1, y2 - yr}, {x1, y1 + yr}, {x1 + xr, y1}};
  SHIM_Polygon(ctx, pts, 10);
  return SHIM_IsValidContext(ctx) ? TRUE : FALSE;
}

BOOL MoveToEx(HDC ctx, int x, int y, POINT* old) {
  if (!SHIM_IsValidContext(ctx)) return FALSE;
  if (old) *old = POINT{static_cast<int>(ctx->lastpos_x), static_cast<int>(ctx->lastpos_y)};
  ctx->lastpos_x = static_cast<float>(x);
  ctx->lastpos_y = static_cast<float>(y);
  return TRUE;
}

BOOL SHIM_LineTo(HDC ctx, int x, int y) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s || !usable(ctx->curpen, SHIM_OBJ_PEN)) return FALSE;
  const float w = drawnWidth(ctx->curpen), h = w / 2;
  platform::Path p;
  p.moveTo(ctx->lastpos_x + h, ctx->lastpos_y + h);
  p.lineTo(x + h, y + h);
  paint(s, ctx, p, false, true, w);
  ctx->lastpos_x = static_cast<float>(x);
  ctx->lastpos_y = static_cast<float>(y);
  return TRUE;
}

BOOL PolyPolyline(HDC ctx, const POINT* pts, const DWORD* counts, int nCounts) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s || !pts || !counts || nCounts <= 0 || !usable(ctx->curpen, SHIM_OBJ_PEN)) return FALSE;
  const float w = drawnWidth(ctx->curpen), h = w / 2;
  platform::Path p;
  size_t at = 0;
  for (int i = 0; i < nCounts; ++i) {
    const DWORD c = counts[i];
    if (c >= 2) {
      p.moveTo(pts[at].x + h, pts[at].y + h);
      for (DWORD k = 1; k < c; ++k) p.lineTo(pts[at + k].x + h, pts[at + k].y + h);
    }
    at += c;
  }
  paint(s, ctx, p, false, true, w);
  return TRUE;
}

BOOL PolyBezierTo(HDC ctx, const POINT* pts, int n) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s || !pts || n < 3 || !usable(ctx->curpen, SHIM_OBJ_PEN)) return FALSE;
  platform::Path p;
  p.moveTo(ctx->lastpos_x, ctx->lastpos_y);
  for (int i = 0; i + 3 <= n; i += 3) {
    p.curveTo(pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pts[i + 2].x, pts[i + 2].y);
    ctx->lastpos_x = static_cast<float>(pts[i + 2].x);
    ctx->lastpos_y = static_cast<float>(pts[i + 2].y);
  }
  paint(s, ctx, p, false, true, drawnWidth(ctx->curpen));
  return TRUE;
}

void SHIM_SetPixel(HDC ctx, int x, int y, COLORREF colour) {
  platform::Surface* s = shapeSurfaceOf(ctx);
  if (!s) return;
  platform::Color c;
  c.r = ((colour >> 16) & 0xFF) / 255.f;
  c.g = ((colour >> 8) & 0xFF) / 255.f;
  c.b = (colour & 0xFF) / 255.f;
  platform::surfaceFillRect(s, static_cast<float>(x), static_cast<float>(y), 1.f, 1.f, c);
}

int GetSysColor(int index) {
  static const int table[10] = {0x606060, 0xE0E0E0, 0xC0C0C0, 0x000000, 0xC0C0C0,
                                0x202020, 0x303030, 0xC0C0C0, 0xFFF0C8, 0x000000};
  return index >= 0 && index < 10 ? table[index] : 0;
}
