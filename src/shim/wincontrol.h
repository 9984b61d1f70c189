#pragma once
// Dialog controls of the emulation layer: placement in dialog units, the
// makers of buttons, labels, edit fields, group boxes and combo boxes, the
// combo box and trackbar functions, and the queries on a control.
//
// Placement: SHIM_MakeSetCurParms fixes the scale, offset and owner view that
// every maker reads until the next call. A maker places its control, adds it
// to the owner as the last subview (a group box: the first) and returns it;
// the owner holds the only reference. A maker whose owner is null or no
// longer alive makes nothing and returns null.
//
// The SHIM_CB_ and SHIM_TB_ functions find the control with GetDlgItem
// (id 0: the window itself); a missing control falls back to the result
// given with each function and changes nothing. Null texts read as empty.
//
// Threads: main thread only, no lock. The creation parameters are state of
// the layer, not of a window; makers run one after another.
#include <cstdint>

#include "shim/winuser.h"

// Creation flags and styles read by the makers.
enum : uint32_t {
  SHIM_CREATE_HIDDEN = 0x80000000u,
  ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_PASSWORD = 0x20, ES_READONLY = 0x800,
  WS_HSCROLL = 0x100000, WS_VSCROLL = 0x200000,
  SS_NOTIFY = 0x100,
  CBS_DROPDOWNLIST = 0x3, CBS_SORT = 0x100,
};
// Text view messages beyond winuser.h's, and EM_SCROLL's arguments.
enum : UINT { WM_SETFONT = 0x30, EM_SCROLL = 0xF0B5 };
enum : int { SB_TOP = 6, SB_BOTTOM = 7 };
// Combo box notices in WM_COMMAND's high word.
enum : int { CBN_SELCHANGE = 1, CBN_EDITCHANGE = 5, CBN_DROPDOWN = 7 };

// 1 (the default): square-cornered push buttons and pop-up lists, and push
// buttons keep their height; anything else: standard bezels, and a push
// button 18 to 23 high becomes 24.
extern int g_shim_want_nice_style;

// ---- Placement ----

// Scale and offset from dialog units (view x = (x + xoffs) * xscale), the
// parent (a view, or a platform window whose content view is taken), and
// the auto-right and size-to-fit switches. With a parent whose y axis points
// down, a positive y scale is negated.
void SHIM_MakeSetCurParms(float xscale, float yscale, float xoffs, float yoffs, HWND parent, bool doautoright,
                          bool dosizetofit);
// The size a control's text asks for: r = (0, 0, fitted w, h). Nothing is
// written for a null handle, a null r or a view that is not a control.
void SHIM_GetDesiredControlSize(HWND control, RECT* r);
bool SHIM_IsButton(HWND h);
bool SHIM_IsGroupBox(HWND h);
bool SHIM_IsStaticText(HWND h);  // any text field: labels, edit fields, combo boxes

// ---- Buttons, labels, edit fields and group boxes ----

// A label pointer below 0x10000 is a resource number: the title is then
// "ICONTEMP". A non-zero def makes the button the window's default button.
HWND SHIM_MakeButton(int def, const char* label, int id, int x, int y, int w, int h, int flags);
// align < 0 left, 0 centred, > 0 right; h above 12 wraps; SS_NOTIFY reports clicks.
HWND SHIM_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int flags);
// One line without scroll bits; WS_HSCROLL alone gives the multi-line text
// view; WS_VSCROLL gives a scroll view around it (GetDlgItem(id) finds the
// text view inside).
HWND SHIM_MakeEditField(int id, int x, int y, int w, int h, int flags);
// Placed at (x, y - 1, w, h + 3), below every other subview; style 0x100 or
// 0x200 centres the title.
HWND SHIM_MakeGroupBox(const char* title, int id, int x, int y, int w, int h, int style);

// ---- Combo boxes and trackbars ----

// Low two bits 3: a drop-down list 18 high; else an editable combo box 22
// high, one unit above y. h is not read.
HWND SHIM_MakeCombo(int id, int x, int y, int w, int h, int flags);
int SHIM_CB_AddString(HWND w, int id, const char* text);  // sorted with CBS_SORT
// Position -1000 appends (sorted with CBS_SORT); others are limited to 0..count.
int SHIM_CB_InsertString(HWND w, int id, int pos, const char* text);
void SHIM_CB_DeleteString(HWND w, int id, int index);
int SHIM_CB_GetNumItems(HWND w, int id);
int SHIM_CB_GetCurSel(HWND w, int id);
void SHIM_CB_SetCurSel(HWND w, int id, int index);  // out of range: nothing
// False (and nothing written) for a null buffer or a size below 1; otherwise
// the buffer holds an empty text on every failure.
bool SHIM_CB_GetItemText(HWND w, int id, int index, char* buf, int bufsz);
void SHIM_CB_Empty(HWND w, int id);
LPARAM SHIM_CB_GetItemData(HWND w, int id, int index);
void SHIM_CB_SetItemData(HWND w, int id, int index, LPARAM value);
// The first item after start (start < 0: from 0) that begins with text, or
// equals it with exact, both without regard to ASCII case; no wrap. -1 when
// none or text is null; 0 without a control.
int SHIM_CB_FindString(HWND w, int id, int start, const char* text, bool exact);
int SHIM_TB_GetPos(HWND w, int id);
void SHIM_TB_SetPos(HWND w, int id, int pos);
void SHIM_TB_SetRange(HWND w, int id, int low, int high);
void SHIM_TB_SetTic(HWND w, int id, int pos);

// Clears the controls' layer state (creation parameters, look switch) for a
// test reset of the window system.
void SHIM_ResetControlState();
