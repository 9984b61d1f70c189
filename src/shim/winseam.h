#pragma once
// The window functions' calls into the layer's other services (timers and
// posted messages, keys and cursors, menus, shapes and clip regions). Until
// those services stand, the calls below answer from the window-system model:
// a window's timers are the model's, there is no posted-message queue, keys
// are raw codes, the pointer is the model's, right-click emulation is on,
// menus are bare model objects, and fills and clips go to the surface.
// Main thread only.
#include "platform/winsys/winsys.h"
#include "shim/winuser.h"

// Cancels every timer of the window (KillTimer(w, -1)).
void SHIM_KillAllTimers(HWND w);
// Drops the window's posted messages.
void SHIM_MessageQueue_Clear(HWND w);
// The key code and flags of a key event.
void SHIM_MacKeyToWindowsKey(const winsys::Event& e, int* key, int* flags);
bool IsRightClickEmulateEnabled();
// The pointer's screen position, packed as (y << 16) | (x & 0xFFFF).
DWORD GetMessagePos();
BOOL GetCursorPos(POINT* p);
// Sets the arrow cursor when it is not current; sets the program's last
// cursor again when it differs.
void SHIM_SetArrowCursor();
void SHIM_RestoreProgramCursor();
// Menus: the window a menu's commands go to, and its release.
void SHIM_SetMenuDestination(HMENU m, HWND w);
void SHIM_ReleaseMenu(HMENU m);
// Fills and clip regions of a device context.
void SHIM_FillDialogBackground(HDC ctx, const RECT* r, int which);
void SHIM_FillRect(HDC ctx, const RECT* r, HBRUSH brush);
void SHIM_PushClipRegion(HDC ctx);
void SHIM_SetClipRegion(HDC ctx, const RECT* r);
void SHIM_PopClipRegion(HDC ctx);
