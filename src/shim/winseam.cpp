#include "shim/winseam.h"

#include <cmath>

#include "platform/surface.h"
#include "shim/wintimer.h"
#include "shim/winwindow.h"

void SHIM_KillAllTimers(HWND w) {
  KillTimer(w, static_cast<UINT_PTR>(-1));
  if (winsys::Object* o = SHIM_Obj(w)) winsys::app::cancelTimers(o);
}

namespace {
platform::Surface* seamSurfaceOf(HDC ctx) { return SHIM_GetCtxGC(ctx); }
}  // namespace

void SHIM_FillDialogBackground(HDC ctx, const RECT* r, int) {
  platform::Surface* s = seamSurfaceOf(ctx);
  if (!s || !r) return;
  platform::Color c;
  c.r = c.g = c.b = 0xE8 / 255.f;
  platform::surfaceFillRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                            static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top), c);
}

void SHIM_FillRect(HDC ctx, const RECT* r, HBRUSH brush) {
  platform::Surface* s = seamSurfaceOf(ctx);
  if (!s || !r || !SHIM_IsValidObject(brush, SHIM_OBJ_BRUSH) || !brush->color) return;
  platform::surfaceFillRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                            static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top),
                            *brush->color);
}

void SHIM_PushClipRegion(HDC ctx) { platform::surfaceSaveState(seamSurfaceOf(ctx)); }

void SHIM_SetClipRegion(HDC ctx, const RECT* r) {
  platform::Surface* s = seamSurfaceOf(ctx);
  if (!s || !r) return;
  platform::surfaceClipToRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                              static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top));
}

void SHIM_PopClipRegion(HDC ctx) { platform::surfaceRestoreState(seamSurfaceOf(ctx)); }

