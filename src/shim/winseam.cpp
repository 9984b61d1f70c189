#include "shim/winseam.h"

#include "platform/surface.h"
#include "shim/winwindow.h"

void SHIM_KillAllTimers(HWND w) {
  if (winsys::Object* o = SHIM_Obj(w)) winsys::app::cancelTimers(o);
}

void SHIM_MessageQueue_Clear(HWND) {}

void SHIM_MacKeyToWindowsKey(const winsys::Event& e, int* key, int* flags) {
  if (key) *key = e.keyCode;
  if (flags) *flags = 0;
}

bool IsRightClickEmulateEnabled() { return true; }

BOOL GetCursorPos(POINT* p) {
  if (!p) return FALSE;
  const winsys::Point at = winsys::app::pointerLocation();
  p->x = static_cast<int>(at.x);
  p->y = static_cast<int>(at.y);
  return TRUE;
}

DWORD GetMessagePos() {
  POINT p{};
  GetCursorPos(&p);
  return static_cast<DWORD>(SHIM_PackPoint(p.x, p.y));
}

void SHIM_SetArrowCursor() {}
void SHIM_RestoreProgramCursor() {}

void SHIM_SetMenuDestination(HMENU m, HWND w) {
  if (auto* menu = winsys::lookup<winsys::Menu>(m)) menu->destination = SHIM_Obj(w);
}

void SHIM_ReleaseMenu(HMENU m) {
  if (auto* menu = winsys::lookup<winsys::Menu>(m)) menu->release();
}

namespace {
platform::Surface* surfaceOf(HDC ctx) { return SHIM_GetCtxGC(ctx); }
}  // namespace

void SHIM_FillDialogBackground(HDC ctx, const RECT* r, int) {
  platform::Surface* s = surfaceOf(ctx);
  if (!s || !r) return;
  platform::Color c;
  c.r = c.g = c.b = 0xE8 / 255.f;
  platform::surfaceFillRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                            static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top), c);
}

void SHIM_FillRect(HDC ctx, const RECT* r, HBRUSH brush) {
  platform::Surface* s = surfaceOf(ctx);
  if (!s || !r || !SHIM_IsValidObject(brush, SHIM_OBJ_BRUSH) || !brush->color) return;
  platform::surfaceFillRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                            static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top),
                            *brush->color);
}

void SHIM_PushClipRegion(HDC ctx) { platform::surfaceSaveState(surfaceOf(ctx)); }

void SHIM_SetClipRegion(HDC ctx, const RECT* r) {
  platform::Surface* s = surfaceOf(ctx);
  if (!s || !r) return;
  platform::surfaceClipToRect(s, static_cast<float>(r->left), static_cast<float>(r->top),
                              static_cast<float>(r->right - r->left), static_cast<float>(r->bottom - r->top));
}

void SHIM_PopClipRegion(HDC ctx) { platform::surfaceRestoreState(surfaceOf(ctx)); }
