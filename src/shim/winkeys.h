#pragma once
// Keyboard events as virtual-key codes with accelerator flags, the
// asynchronous key state, cursors (the system's kinds, three drawn 16 x 16
// images, cursor resources and ".cur" files) and the cursor position, with a
// relative mode while the cursor is hidden.
//
// Modifiers, buttons and the pointer are the window system's; screen
// coordinates have y growing upwards. Cursor files are converted in memory:
// nothing is written.
//
// Threads: main thread only (no locks).
#include <string>

#include "platform/image.h"
#include "platform/winsys/winsys.h"
#include "shim/winuser.h"

// Accelerator flags.
enum : int { FVIRTKEY = 0x01, FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10, FLWIN = 0x20 };

// The virtual key of a key event (the current event for null) and its
// flags. Mode 1 reads the characters as typed; 0 ignores modifiers.
int SHIM_MacKeyToWindowsKeyEx(const winsys::Event* e, int* flags, int mode);
int SHIM_MacKeyToWindowsKey(const winsys::Event* e, int* flags);
// The shifted character of a digit with flags FVIRTKEY | FSHIFT exactly
// (*newFlags becomes 0); else 0 with *newFlags untouched.
int SHIM_KeyToASCII(int key, int flags, int* newFlags);
// 0x8000 while the key (1, 2, 4 mouse buttons; 16 shift, 17 control, 18
// alt, 91 the system's control key) is down, else 0.
short GetAsyncKeyState(int key);

struct SHIM_Cursor {
  int kind = 0;                       // a system cursor's id, 0 for an image
  platform::Image* image = nullptr;   // owned
  int hotX = 0, hotY = 0;
};
typedef SHIM_Cursor* HCURSOR;

// A cursor resource of the program, looked up by SHIM_LoadCursor.
struct SHIM_CursorResource {
  int id;
  const char* name;  // "<resource root>/<name>.cur", or a path
  int hotX, hotY;
  HCURSOR cursor;    // loaded on first use
  SHIM_CursorResource* next;
};
extern SHIM_CursorResource* SHIM_curmodule_cursorresource_head;

// System cursors: -999 arrow, -1000 left-right, -1001 up-down, -1004
// resize up, -1005 I-beam, 32649 open hand; drawn ones: -1002 move, -1006
// upper-left to lower-right, -1007 its mirror, -1003 barred circle. Other
// ids come from the resource list. Cursors made here are shared and kept.
HCURSOR SHIM_LoadCursor(int id);
// A new cursor from an image or cursor file (the caller keeps it), or null.
HCURSOR SHIM_LoadCursorFromFile(const char* path);
void SHIM_DestroyCursor(HCURSOR c);
void SHIM_SetCursor(HCURSOR c);
HCURSOR SHIM_GetCursor();
HCURSOR SHIM_GetLastSetCursor();
// The image of a name (see HCURSOR SHIM_LoadCursor) with the cursor file's
// hot spot, or null. The caller releases the image.
platform::Image* shim_imageFromCursorString(const char* name, POINT* hotSpot);

int SHIM_ShowCursor(bool show);
bool SHIM_IsCursorVisible();
bool SHIM_IsRelativeMouseMode();
BOOL SHIM_SetCursorPos(int x, int y);
BOOL GetCursorPos(POINT* p);
DWORD GetMessagePos();
// A mouse event's point in the view's coordinates; in relative mode the
// virtual position (moved by a WM_MOUSEMOVE's deltas) in the window's client
// coordinates.
POINT shimProcessMouseEvent(UINT msg, HWND view, const winsys::Event& e);

// Forgets the cursor state (for tests).
void SHIM_ResetCursorState();
