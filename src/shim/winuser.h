#pragma once
// Windows of the emulation layer: handles, messages, records, and the window
// functions (messages, tree and geometry, longs and dialog items, focus,
// capture, painting, top-level windows, drag source and GL views).
//
// A window handle names a live object of the window system: a window object
// (Shim_vTavrin_hwnd), another view or a platform window. Every function
// looks a handle up first; a freed, foreign or null handle is refused as the
// function's description says (null, 0 or false).
//
// Threads: every function here runs on the main thread of the window system
// and takes no lock. Window procedures are called on that thread; an
// exception leaving one is caught at the call and counts as an answer of 0.
#include <cstdint>

#include "shim/wingdi.h"
#include "shim/wintypes.h"

struct HWND__;
typedef HWND__* HWND;
struct HMENU__;
typedef HMENU__* HMENU;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);
typedef BOOL (*PROPENUMPROCEX)(HWND, const char*, void*, LPARAM);

enum : UINT {
  WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006,
  WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018,
  WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021, WM_GETMINMAXINFO = 0x0024, WM_DRAWITEM = 0x002B,
  WM_GETOBJECT = 0x003D, WM_NOTIFY = 0x004E, WM_CONTEXTMENU = 0x007B, WM_DISPLAYCHANGE = 0x007E,
  WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_NCMOUSEMOVE = 0x00A0,
  WM_NCLBUTTONDOWN = 0x00A1, WM_NCRBUTTONUP = 0x00A5, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
  WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_TIMER = 0x0113, WM_HSCROLL = 0x0114,
  WM_INITMENUPOPUP = 0x0117, WM_GESTURE = 0x0119, WM_CTLCOLORBTN = 0x0135, WM_CTLCOLORDLG = 0x0136,
  WM_CTLCOLORSTATIC = 0x0138, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A,
  WM_MOUSEHWHEEL = 0x020E, WM_CAPTURECHANGED = 0x0215, WM_DROPFILES = 0x0233, WM_USER = 0x0400,
};

// Control messages answered by SendMessage for platform controls.
enum : UINT {
  BM_GETCHECK = 0xF0, BM_SETCHECK = 0xF1, BM_GETIMAGE = 0xF6, BM_SETIMAGE = 0xF7,
  CB_ADDSTRING = 0x143, CB_DELETESTRING = 0x144, CB_GETCOUNT = 0x146, CB_GETCURSEL = 0x147,
  CB_GETLBTEXT = 0x148, CB_INSERTSTRING = 0x14A, CB_RESETCONTENT = 0x14B, CB_FINDSTRING = 0x14C,
  CB_SETCURSEL = 0x14E, CB_GETITEMDATA = 0x150, CB_SETITEMDATA = 0x151, CB_FINDSTRINGEXACT = 0x158,
  TBM_GETPOS = 0x400, TBM_GETRANGEMIN = 0x401, TBM_GETRANGEMAX = 0x402, TBM_GETTIC = 0x403,
  TBM_SETTIC = 0x404, TBM_SETPOS = 0x405, TBM_SETRANGE = 0x406,
  EM_GETSEL = 0xF0B0, EM_SETSEL = 0xF0B1, EM_SETPASSWORDCHAR = 0xF0CC,
};

enum : int { IDOK = 1, IDCANCEL = 2 };
enum : int { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2 };
enum : int { HTNOWHERE = 0, HTCLIENT = 1 };

// Window longs.
enum : int { GWL_USERDATA = -21, GWL_EXSTYLE = -20, GWL_STYLE = -16, GWL_ID = -12, DWL_DLGPROC = -8, GWL_WNDPROC = -4 };
enum : uint32_t {
  WS_CHILD = 0x40000000, WS_CAPTION = 0xC00000, WS_THICKFRAME = 0x40000, WS_GROUP = 0x20000,
  WS_EX_ACCEPTFILES = 0x10,
};
enum : int { BS_AUTOCHECKBOX = 3, BS_AUTO3STATE = 6, BS_AUTORADIOBUTTON = 9 };

// GetWindow relations, ShowWindow commands, SetWindowPos flags and places.
enum : int { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };
enum : int { SW_HIDE = 0, SW_SHOWNA = 1, SW_SHOW = 2, SW_SHOWMINIMIZED = 3 };
enum : int { SWP_NOMOVE = 0x1, SWP_NOSIZE = 0x2, SWP_NOZORDER = 0x4 };
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<intptr_t>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))

// System metrics.
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21 };

// A point packed into a message parameter: (y << 16) | (x & 0xFFFF), sign
// extended from 32 bits. Readers take the two 16-bit halves as signed.
inline intptr_t SHIM_PackPoint(int x, int y) {
  return static_cast<intptr_t>(static_cast<int32_t>((static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFF)));
}
inline int GET_X_LPARAM(intptr_t p) { return static_cast<int16_t>(static_cast<uint16_t>(p & 0xFFFF)); }
inline int GET_Y_LPARAM(intptr_t p) { return static_cast<int16_t>(static_cast<uint16_t>((p >> 16) & 0xFFFF)); }
inline uint32_t LOWORD(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
inline uint32_t HIWORD(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  void* lppos;
};

struct PAINTSTRUCT {
  HDC hdc;
  int fErase;
  RECT rcPaint;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

// The record that travels with WM_GESTURE.
struct GESTUREINFO {
  uint32_t cbSize;
  uint32_t dwFlags;  // 1 begin, 4 end
  uint32_t dwID;     // 3 zoom, 4 pan, 5 rotate
  HWND hwndTarget;
  int16_t ptsLocationX, ptsLocationY;
  uint32_t dwInstanceID;
  uint32_t dwSequenceID;
  uint64_t ullArguments;
  uint32_t cbExtraArgs;
};
enum : uint32_t { GF_BEGIN = 1, GF_END = 4, GID_ZOOM = 3, GID_PAN = 4, GID_ROTATE = 5 };

// The header of every WM_NOTIFY record.
struct NMHDR {
  HWND hwndFrom;
  uintptr_t idFrom;
  int32_t code;
};

// The header of the dropped-files block of WM_DROPFILES.
struct DROPFILES {
  uint32_t pFiles;  // offset of the list
  int32_t x, y;
  int32_t fNC;
};

// ---- The window object and its messages ----

// What a message reaches: the window object's message entry, or the control
// answers for platform controls, or the window / content view it stands for.
LRESULT SendMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT DefWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
void SHIM_BroadcastMessage(UINT msg, WPARAM wp, LPARAM lp);
BOOL SHIM_GetGestureInfo(LPARAM lp, GESTUREINFO* out);
// The window procedure every window object starts with.
LRESULT ShimDialogDefaultWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
void SHIM_DoDialogColorUpdates(HWND w, DLGPROC proc, bool useDefaultColor);

// A plain window object: no resource, the given window procedure, WM_CREATE
// (0, param); parent a view (added last), a platform window (its content
// view) or null. The parent holds it; with no parent the caller does and
// frees it with DestroyWindow. Null when the parent is not live.
HWND SHIM_CreateWindowObject(HWND parent, WNDPROC proc, LPARAM param);

// ---- Tree and geometry ----
HWND GetParent(HWND w);
HWND GetDlgItem(HWND w, int id);
HWND GetWindow(HWND w, int relation);
HWND SetParent(HWND w, HWND parent);
BOOL IsChild(HWND parent, HWND child);
HWND FindWindowEx(HWND parent, HWND after, const char* className, const char* name);
BOOL EnumChildWindows(HWND w, WNDENUMPROC proc, LPARAM param);
HWND SHIM_NavigateUpScrollClipViews(HWND w);
BOOL IsWindow(HWND w);
void DestroyWindow(HWND w);
void SHIM_CloseWindow(HWND w);
void ShowWindow(HWND w, int command);
void CenterWindow(HWND w);
BOOL GetWindowRect(HWND w, RECT* r);
void GetWindowContentViewRect(HWND w, RECT* r);
void GetClientRect(HWND w, RECT* r);
void ClientToScreen(HWND w, POINT* p);
void ScreenToClient(HWND w, POINT* p);
HWND WindowFromPoint(POINT p);
void SetWindowPos(HWND w, HWND insertAfter, int x, int y, int cx, int cy, int flags);
void SHIM_GetViewPort(RECT* out, const RECT* source, bool workArea);

// ---- Longs and dialog items ----
LPARAM GetWindowLong(HWND w, int index);
LPARAM SetWindowLong(HWND w, int index, LPARAM value);
// The text of an item (id 0: the window itself), cut at a character
// boundary to fit; false for a null buffer, a length below 1 or no text.
BOOL GetDlgItemText(HWND w, int id, char* buf, int len);
BOOL SetDlgItemText(HWND w, int id, const char* text);
int GetDlgItemInt(HWND w, int id, BOOL* ok, BOOL isSigned);
BOOL SetDlgItemInt(HWND w, int id, int value, BOOL isSigned);
void CheckDlgButton(HWND w, int id, int state);
int IsDlgButtonChecked(HWND w, int id);
void EnableWindow(HWND w, int enable);
BOOL IsWindowVisible(HWND w);

// ---- Focus, capture, painting, properties and services ----
HWND GetFocus();
void SetFocus(HWND w);
void SetForegroundWindow(HWND w);
HWND GetForegroundWindow();
BOOL IsEquivalentTextView(HWND a, HWND b);
HWND GetCapture();
HWND SetCapture(HWND w);
void ReleaseCapture();
void InvalidateRect(HWND w, const RECT* r, int erase);
void UpdateWindow(HWND w);
void SHIM_FlushWindow(HWND w);
HDC BeginPaint(HWND w, PAINTSTRUCT* ps);
BOOL EndPaint(HWND w, const PAINTSTRUCT* ps);
int EnumPropsEx(HWND w, PROPENUMPROCEX proc, LPARAM param);
void* GetProp(HWND w, const char* name);
BOOL SetProp(HWND w, const char* name, void* value);
void* RemoveProp(HWND w, const char* name);
int GetSystemMetrics(int index);
BOOL ScrollWindow(HWND w, int dx, int dy, const RECT* scroll, const RECT* clip);
struct SHIM_ModalSession__;
typedef SHIM_ModalSession__* SHIM_ModalSession;
SHIM_ModalSession SHIM_ModalWindowStart(HWND w);
BOOL SHIM_ModalWindowRun(SHIM_ModalSession s, int* result);
void SHIM_ModalWindowEnd(SHIM_ModalSession s);
void SHIM_HideApp();
BOOL SHIM_SetAppAutoHideMenuAndDock(int mode);

// ---- Top-level windows ----
int SHIM_HandleMouseEvent(const void* platformEvent);
int SHIM_GetWindowWantRaiseAmt(HWND w);
void SHIM_SetWindowWantRaiseAmt(HWND w, int amount);
int SHIM_SetWindowLevel(HWND w, int level);
void SetOpaque(HWND w, bool opaque);
void SetTransparent(HWND w);
void SHIM_SetWindowShadow(HWND w, bool on);
int SHIM_GetDefaultButtonID(HWND w, int onlyIfEnabled);
void SHIM_SetWindowRepre(HWND w, const char* fileName, bool edited);
// Owned windows are raised above their owners only when this is true.
extern bool SHIM_owned_windows_levelincrease;

// ---- Drop hooks (set by the layer's host; null by default) ----
extern void (*SHIM_DDrop_onDragEnter)(HGLOBAL drop, int x, int y);
extern void (*SHIM_DDrop_onDragOver)(int x, int y);
extern void (*SHIM_DDrop_onDragLeave)();
extern const char* (*SHIM_DDrop_getDroppedFileTargetPath)(const char* ext);

// ---- Drag source, GL views, hosted views ----
void SHIM_InitiateDragDrop(HWND w, const RECT* r, const char* path, void (*write)(const char* dest));
void SHIM_InitiateDragDropOfFileList(HWND w, const RECT* r, const char** paths, int count, void* icon);
void SHIM_FinishDragDrop();
void SHIM_SetViewGL(HWND w, bool on);
int SHIM_GetViewGL(HWND w);
int SHIM_SetGLContextToView(HWND w);
HWND SHIM_CreateCarbonWindowView(HWND parent, void** carbonWindow, const RECT* r, bool compositing);
void* SHIM_GetWindowFromCarbonWindowView(HWND host);
void SHIM_AddCarbonPaneToView(HWND host, void* control);
void SHIM_CarbonWndHost_SetWantAllKeys(HWND host, bool want);
struct SHIM_AudioUnitViewInfo {
  const char* bundleLocation;
  const char* viewClassName;
};
HWND SHIM_GetAudioUnitCocoaView(HWND parent, void* audioUnit, const SHIM_AudioUnitViewInfo* info, RECT* r);
// A platform button's title colour (0xAARRGGBB) and its change.
unsigned SHIM_GetButtonTextColor(HWND button);
void SHIM_SetButtonTextColor(HWND button, unsigned argb);

// Clears the window functions' own state (capture, key history, pending
// drag, GL current context) for a test reset of the window system.
void SHIM_ResetWindowState();
