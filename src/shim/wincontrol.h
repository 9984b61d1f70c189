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

// ---- Controls by class name and dialog generation ----

// One field of a dialog control record: a text pointer or an int.
struct SHIM_DialogField {
  intptr_t v = 0;
  constexpr SHIM_DialogField() = default;
  constexpr SHIM_DialogField(int i) : v(i) {}
  SHIM_DialogField(const char* s) : v(reinterpret_cast<intptr_t>(s)) {}
  const char* text() const { return reinterpret_cast<const char*>(v); }
  int value() const { return static_cast<int>(v); }
};
// A control of a dialog list. Marker form (field 0 one of the "__SHIM_"
// markers): marker, flag, text, id, x, y, w, h, style. Class form: text, id,
// class name, style, x, y, w, h, extended style.
struct SHIM_DialogControlRecord {
  SHIM_DialogField f[9];
};

// A host's maker of its own control classes: asked before the built-in
// classes with the frame in view units; null passes the name on.
typedef HWND (*SHIM_CustomControlCreator)(HWND parent, const char* text, int id, const char* className, int style,
                                          int x, int y, int w, int h);
void SHIM_RegisterCustomControlCreator(SHIM_CustomControlCreator creator);  // counted
void SHIM_UnregisterCustomControlCreator(SHIM_CustomControlCreator creator);

// A control by Win32 class name (case ignored) and style; null when no
// creator and no built-in class takes the name.
HWND SHIM_MakeControl(const char* text, int id, const char* className, int style, int x, int y, int w, int h,
                      int exstyle);
HWND SHIM_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int style);
HWND SHIM_MakeListBox(int id, int x, int y, int w, int h, int style);
// Makes every control of a list in order; nothing for a null list or a
// count of 0 or less.
void SHIM_GenerateDialogFromList(const SHIM_DialogControlRecord* list, int count);
// The class name of the horizontal fader.
#define SHIM_FADER_CLASS "SHIM_hfader"

enum : uint32_t {
  BS_LEFTTEXT = 0x20, BS_OWNERDRAW = 11,
  SS_CENTER = 1, SS_RIGHT = 2, SS_BLACKRECT = 4, SS_LEFTNOWORDWRAP = 0xC,
};

// ---- Records ----

// The item record of the tab functions.
struct TCITEM {
  uint32_t mask;  // 0x1: pszText is given
  uint32_t dwState;
  uint32_t dwStateMask;
  char* pszText;
  int32_t cchTextMax;
  int32_t iImage;
  LPARAM lParam;
};
enum : uint32_t { TCIF_TEXT = 0x1 };

// What WM_DRAWITEM hands the owner of an owner-drawn button or list row.
struct DRAWITEMSTRUCT {
  uint32_t CtlType;  // 4 button, 2 list row
  uint32_t CtlID;
  uint32_t itemID;
  uint32_t itemAction;
  uint32_t itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  uintptr_t itemData;
};
enum : uint32_t { ODT_LISTBOX = 2, ODT_BUTTON = 4 };

// ---- Tabs, progress bars and the focus rectangle ----

enum : int { TCN_SELCHANGE = -551 };
// Progress bar messages: range (low and high 16 bits of lParam), position
// and step (wParam as an unsigned 32-bit number).
enum : UINT { PBM_SETRANGE = 0x401, PBM_SETPOS = 0x402, PBM_DELTAPOS = 0x403 };

// Each first checks that the handle is a tab control (else 0, or -1 where
// said). A change of selection, by a click or by TabCtrl_SetCurSel, sends
// WM_NOTIFY TCN_SELCHANGE to the dialog the tabs were made in.
int TabCtrl_GetItemCount(HWND tabs);
// -1 for a null record, no TCIF_TEXT or a null text; the index is limited to
// 0..count. Inserting sends no notice.
int TabCtrl_InsertItem(HWND tabs, int index, const TCITEM* item);
int TabCtrl_DeleteItem(HWND tabs, int index);
// The tab selected before (0 when none), -1 for a bad handle; an index out
// of range selects nothing.
int TabCtrl_SetCurSel(HWND tabs, int index);
int TabCtrl_GetCurSel(HWND tabs);
// Moves r in (larger: out) by 7 at the sides, 26 at the top and 3 at the bottom.
int TabCtrl_AdjustRect(HWND tabs, int larger, RECT* r);

// Draws the focus rectangle r (w's client coordinates; without w the
// screen's) in a half-transparent window kept in *slot between calls: a
// second call moves it, a null r closes it and clears the slot.
void SHIM_DrawFocusRect(HWND w, const RECT* r, HWND* slot);

// ---- List views and list boxes ----
//
// One class serves both: a list view (report rows of texts per column, an
// application value and a state image per row) and, in list-box mode, the
// list box. Every function first checks that the handle is a list view; any
// other handle does nothing and gives 0 unless said otherwise. Columns are
// named by creation index. Rows are 19 apart (17 high, gaps 3 and 2); a
// header is 17 high.

struct LVITEM {
  uint32_t mask;  // 0x1 text, 0x2 image, 0x4 lParam, 0x8 state
  int32_t iItem;
  int32_t iSubItem;
  uint32_t state;  // 0x1 selected, 0x2 focused, bits 16-23 state image
  uint32_t stateMask;
  char* pszText;
  int32_t cchTextMax;
  int32_t iImage;
  LPARAM lParam;
};
enum : uint32_t { LVIF_TEXT = 0x1, LVIF_IMAGE = 0x2, LVIF_PARAM = 0x4, LVIF_STATE = 0x8 };
enum : uint32_t { LVIS_SELECTED = 0x1, LVIS_FOCUSED = 0x2, LVIS_STATEIMAGEMASK = 0xFF0000 };
struct NMLISTVIEW {
  NMHDR hdr;
  int32_t iItem;
  int32_t iSubItem;
  uint32_t uNewState;
  uint32_t uOldState;
  uint32_t uChanged;
  POINT ptAction;
  LPARAM lParam;
};
struct NMLVDISPINFO {
  NMHDR hdr;
  LVITEM item;
};
struct LVCOLUMN {
  uint32_t mask;  // 0x1 fmt, 0x2 cx, 0x4 text
  int32_t fmt;    // 0 left, 1 right, 2 centre
  int32_t cx;
  char* pszText;
  int32_t cchTextMax;
  int32_t iSubItem;
};
enum : uint32_t { LVCF_FMT = 0x1, LVCF_WIDTH = 0x2, LVCF_TEXT = 0x4 };
struct LVHITTESTINFO {
  POINT pt;
  uint32_t flags;  // 1 nowhere, 4 label, 8 state icon, 0x10 above, 0x20 below, 0x40 right, 0x80 left
  int32_t iItem;
  int32_t iSubItem;
};
struct HDITEM {
  uint32_t mask;  // 0x4 format
  int32_t cxy;
  char* pszText;
  void* hbm;
  int32_t cchTextMax;
  int32_t fmt;  // 0x400 sort up, 0x200 sort down
  LPARAM lParam;
};
enum : uint32_t { HDI_FORMAT = 0x4, HDF_SORTUP = 0x400, HDF_SORTDOWN = 0x200 };
enum : int {
  NM_CLICK = -2, NM_DBLCLK = -3, NM_RCLICK = -5, LVN_ITEMCHANGED = -101, LVN_COLUMNCLICK = -108,
  LVN_BEGINDRAG = -109, LVN_GETDISPINFO = -150,
};
enum : uint32_t {
  LVS_REPORT = 0x1, LVS_SINGLESEL = 0x4, LVS_SORTASCENDING = 0x10, LVS_SORTDESCENDING = 0x20,
  LVS_OWNERDATA = 0x1000, LVS_NOCOLUMNHEADER = 0x4000, LVS_NOSORTHEADER = 0x8000,
  LBS_SORT = 0x2, LBS_OWNERDRAWFIXED = 0x10, LBS_EXTENDEDSEL = 0x800,
};
enum : int { LVNI_SELECTED = 1, LVNI_FOCUSED = 2 };
enum : int { LVSIL_STATE = 1, LVSIL_SMALL = 2 };
enum : UINT {
  LB_ADDSTRING = 0x180, LB_INSERTSTRING = 0x181, LB_DELETESTRING = 0x182, LB_GETTEXT = 0x183,
  LB_RESETCONTENT = 0x184, LB_SETSEL = 0x185, LB_SETCURSEL = 0x186, LB_GETSEL = 0x187, LB_GETCURSEL = 0x188,
  LB_GETCOUNT = 0x18B, LB_GETSELCOUNT = 0x190, LB_GETITEMDATA = 0x199, LB_SETITEMDATA = 0x19A,
};
enum : uint32_t { LVS_EX_GRIDLINES = 0x1, LVS_EX_HEADERDRAGDROP = 0x10 };
typedef int (*PFNLVCOMPARE)(LPARAM a, LPARAM b, LPARAM sortParam);

int ListView_GetItemCount(HWND h);
int ListView_InsertItem(HWND h, const LVITEM* item);
void ListView_DeleteItem(HWND h, int row);
void ListView_DeleteAllItems(HWND h);
void ListView_SetItemText(HWND h, int row, int col, const char* text);
void ListView_GetItemText(HWND h, int row, int col, char* buf, int bufsz);
int ListView_GetItem(HWND h, LVITEM* item);
int ListView_SetItem(HWND h, const LVITEM* item);
int ListView_SetItemState(HWND h, int row, uint32_t state, uint32_t mask);
uint32_t ListView_GetItemState(HWND h, int row, uint32_t mask);
int ListView_GetNextItem(HWND h, int start, int flags);
int ListView_GetSelectedCount(HWND h);
int ListView_GetSelectionMark(HWND h);
void ListView_RedrawItems(HWND h, int first, int last);
void ListView_SetItemCount(HWND h, int count);
// A stable sort of the rows by their values; nothing for a null comparison
// or in list-box or owner-data mode. The selection follows the rows.
void ListView_SortItems(HWND h, PFNLVCOMPARE compare, LPARAM sortParam);
void SHIM_SetListViewFastClickMask(HWND h, int mask);
void ListView_SetImageList(HWND h, void* imageList, int kind);

// Columns, header, geometry, scrolling and colours.
void ListView_EnsureVisible(HWND h, int row, BOOL partial);
void ListView_InsertColumn(HWND h, int pos, const LVCOLUMN* col);
void ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc);
int ListView_DeleteColumn(HWND h, int col);
int ListView_GetColumnWidth(HWND h, int col);
void ListView_SetColumnWidth(HWND h, int col, int width);
// n must equal the column count, and the array must be a permutation of
// 0..n-1; else 0 and nothing moves.
int ListView_GetColumnOrderArray(HWND h, int n, int* order);
int ListView_SetColumnOrderArray(HWND h, int n, const int* order);
HWND ListView_GetHeader(HWND h);
int Header_GetItemCount(HWND header);
int Header_GetItem(HWND header, int col, HDITEM* hi);
int Header_SetItem(HWND header, int col, const HDITEM* hi);
int ListView_HitTest(HWND h, LVHITTESTINFO* info);
int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info);
int ListView_GetItemRect(HWND h, int row, RECT* r, int code);
int ListView_GetSubItemRect(HWND h, int row, int col, int code, RECT* r);
int ListView_GetTopIndex(HWND h);
int ListView_GetCountPerPage(HWND h);
int ListView_Scroll(HWND h, int dx, int dy);
int ListView_GetScroll(HWND h, POINT* p);
int SHIM_GetListViewHeaderHeight(HWND h);
void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style);
void ListView_SetBkColor(HWND h, int color);
void ListView_SetTextColor(HWND h, int color);
void ListView_SetGridColor(HWND h, int color);
void ListView_SetTextBkColor(HWND h, int color);
// count colours 0x00RRGGBB (null: black); a negative count gives none. For
// list views and tree views only.
void ListView_SetSelColors(HWND h, const int* colors, int count);

// ---- Tree views ----
//
// Items are handles to records the tree owns; a deleted item (and its
// subtree) is refused from then on. Every function first checks that the
// handle is a tree view.

struct HTREEITEM__;
typedef HTREEITEM__* HTREEITEM;
// The special item values: as parent, null and TVI_ROOT..TVI_LAST mean the
// top level; as insert-after, null, TVI_LAST and TVI_SORT the end and
// TVI_FIRST the front. The 32-bit spellings 0xFFFF0000..3 are accepted too.
#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFD)))

struct TVITEM {
  uint32_t mask;  // 0x1 text, 0x4 lParam, 0x10 hItem valid, 0x40 cChildren
  HTREEITEM hItem;
  uint32_t state;  // 0x2 selected, 0x20 expanded
  uint32_t stateMask;
  char* pszText;
  int32_t cchTextMax;
  int32_t iImage;
  int32_t iSelectedImage;
  int32_t cChildren;
  LPARAM lParam;
};
enum : uint32_t { TVIF_TEXT = 0x1, TVIF_PARAM = 0x4, TVIF_HANDLE = 0x10, TVIF_CHILDREN = 0x40 };
enum : uint32_t { TVIS_SELECTED = 0x2, TVIS_EXPANDED = 0x20 };
struct TVINSERTSTRUCT {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEM item;
};
struct TVHITTESTINFO {
  POINT pt;
  uint32_t flags;
  HTREEITEM hItem;
};
struct NMTREEVIEW {
  NMHDR hdr;
  uint32_t action;
  TVITEM itemOld;
  TVITEM itemNew;
  POINT ptDrag;
};
// The click notices: a header and five zero words.
struct SHIM_NMCLICK {
  NMHDR hdr;
  int32_t zero[5];
};
enum : int { TVN_SELCHANGED = -402 };
enum : int { TVE_COLLAPSE = 1, TVE_EXPAND = 2, TVE_TOGGLE = 3 };

HTREEITEM TreeView_InsertItem(HWND h, const TVINSERTSTRUCT* ins);
void TreeView_DeleteItem(HWND h, HTREEITEM item);
int TreeView_Expand(HWND h, HTREEITEM item, int action);
HTREEITEM TreeView_GetSelection(HWND h);
void TreeView_SelectItem(HWND h, HTREEITEM item);
int TreeView_GetItem(HWND h, TVITEM* item);
int TreeView_SetItem(HWND h, const TVITEM* item);
HTREEITEM TreeView_HitTest(HWND h, TVHITTESTINFO* info);
HTREEITEM TreeView_GetRoot(HWND h);
HTREEITEM TreeView_GetChild(HWND h, HTREEITEM item);
// The next item of the same list; a top-level item's next top-level item.
HTREEITEM TreeView_GetNextSibling(HWND h, HTREEITEM item);
int TreeView_SetIndent(HWND h, int indent);
void TreeView_SetBkColor(HWND h, int color);
void TreeView_SetTextColor(HWND h, int color);

// Clears the controls' layer state (creation parameters, look switch) for a
// test reset of the window system.
void SHIM_ResetControlState();
