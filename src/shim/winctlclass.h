#pragma once
// The control classes of the emulation layer and the placement state their
// makers share, for the layer's own sources. Main thread only, no lock.
#include <string>
#include <vector>

#include "shim/wincontrol.h"
#include "shim/winwindow.h"

// A small holder of one pointer-sized value, kept as an object (a pop-up
// item's value).
class Shim_vTavrin_sdh : public winsys::Object {
 public:
  explicit Shim_vTavrin_sdh(intptr_t v) : m_val(v) {}
  intptr_t getValue() const { return m_val; }

 private:
  intptr_t m_val;
};

// A control class that carries its control id.
template <class Base>
class ShimTagged : public ShimDisplayHook<Base> {
 public:
  int tag() const override { return m_tag; }
  void setTag(int t) { m_tag = t; }

 private:
  int m_tag = 0;
};

// Labels and one-line edit fields.
class Shim_vTavrin_textfield : public ShimDisplayHook<winsys::TextField> {};

// Multi-line edit fields; they answer their own messages.
class Shim_vTavrin_textview : public ShimTagged<winsys::TextView>, public ShimMessageEntry {
 public:
  LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

// A combo control that keeps its creation flags.
template <class Base>
class ShimStyledCombo : public ShimDisplayHook<Base> {
 public:
  void setShimStyle(long s) { m_style = s; }
  long getShimStyle() const { return m_style; }

 private:
  long m_style = 0;
};

// Drop-down lists.
class Shim_vTavrin_pub : public ShimStyledCombo<winsys::PopUpButton> {};

// Editable combo boxes: one value per item, beside the items.
class Shim_vTavrin_cbox : public ShimStyledCombo<winsys::ComboBox> {
 public:
  std::vector<LPARAM> m_ids;
};

// Group boxes.
class Shim_vTavrin_box : public ShimTagged<winsys::Box> {};

// Tab controls: the dialog told of selection changes (weak; none: no notice).
class Shim_vTavrin_tabview : public ShimTagged<winsys::TabView> {
 public:
  Shim_vTavrin_tabview();
  HWND getNotificationWindow() const { return SHIM_Handle(winsys::live(m_dest)); }
  void setNotificationWindow(HWND w) { m_dest = SHIM_As<winsys::View>(w); }

 private:
  winsys::View* m_dest = nullptr;
};

// Progress bars answer their own messages.
class Shim_vTavrin_progind : public ShimTagged<winsys::ProgressIndicator>, public ShimMessageEntry {
 public:
  LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

// ---- List views ----

struct SHIM_ListView_Row {
  std::vector<std::string> m_texts;  // per column, creation order; missing reads as empty
  LPARAM m_lparam = 0;
  int m_stateimage = 0;  // 1-based, 0 none
  bool m_sortsel = false;
};

// What list views and tree views share: selection and text colours, and the
// window that gets their notices (weak).
class ShimColoredTable {
 public:
  virtual ~ShimColoredTable() = default;
  bool m_hasFg = false;
  unsigned m_fgColor = 0;            // 0xAARRGGBB
  std::vector<unsigned> m_selColors;  // focused bg, focused text, bg, text
  winsys::View* m_target = nullptr;
  HWND target() const { return SHIM_Handle(winsys::live(m_target)); }
};

class Shim_vTavrin_listview : public ShimDisplayHook<winsys::TableView>,
                              public ShimMessageEntry,
                              public ShimColoredTable {
 public:
  ~Shim_vTavrin_listview() override;
  int m_leftmousemovecnt = 0;
  bool m_fakerightmouse = false;
  long style = 0;
  int ownermode_cnt = 0;
  int m_start_item = -1, m_start_subitem = -1, m_start_item_clickmode = 0;
  int m_lbMode = 0;
  std::vector<SHIM_ListView_Row*> m_items;   // owned
  std::vector<winsys::TableColumn*> m_cols;  // creation order; the table holds them
  void* m_status_imagelist = nullptr;
  int m_status_imagelist_type = -1;
  int m_fastClickMask = 0;
  unsigned m_generation = 0;  // counts row inserts and deletes

  void setShimStyle(long s) { style = s; }
  long getShimStyle() const { return style; }
  void setShimNotificationMode(int m) { m_lbMode = m; }
  int getShimNotificationMode() const { return m_lbMode; }
  bool ownerData() const { return !m_lbMode && (style & LVS_OWNERDATA); }
  int count() const { return ownerData() ? ownermode_cnt : static_cast<int>(m_items.size()); }
  bool validRow(int row) const { return row >= 0 && row < count(); }
  int getColumnPos(int idx) const;
  int getColumnIdx(int pos) const;
  // Insertion's selection rule: extend, or replace.
  bool extendsSelection() const;

  int numberOfRows() override { return count(); }
  std::string cellText(winsys::TableColumn* column, int row) override;
  unsigned cellTextColor(int row) override;
  void drawOwnerCell(winsys::TableColumn* column, int row, const winsys::Rect& frame) override;
  void highlightSelectionInClipRect(const winsys::Rect& clip, platform::Surface* s) override;
  void mouseDown(const winsys::Event& e) override;
  void mouseDragged(const winsys::Event& e) override;
  void mouseUp(const winsys::Event& e) override;
  void rightMouseDown(const winsys::Event&) override {}
  void rightMouseUp(const winsys::Event& e) override;
  LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  LRESULT notifyTarget(int code, int row, int col, winsys::Point at, LPARAM value);
  void sendMouseToTarget(UINT msg);
};

// The window object's notices of a list's user changes: selection, double
// click, header click.
void SHIM_SetTableDelegates(Shim_vTavrin_listview* lv, winsys::View* owner);

// The text colour of a cell of a selected or plain row, as the window
// object's cell-display delegate gives it.
unsigned SHIM_TableCellColor(const ShimColoredTable* t, winsys::View* table, bool selected, unsigned fallback);
// Whether the control has the focus.
bool SHIM_HasFocus(winsys::View* v);

// The list view (list-view or list-box mode) and the tree view, each in a
// scroll view added to owner; the result is the list or tree itself.
HWND SHIM_MakeListView(winsys::View* owner, bool listBox, int id, int style, const winsys::Rect& frame);
HWND SHIM_MakeTreeView(winsys::View* owner, int id, int style, const winsys::Rect& frame);
// Test reset helpers: the creator list; the list and tree counters and flags.
void SHIM_ResetCustomControlCreators();
void SHIM_ResetListState();
void SHIM_ResetTreeState();

// Makes a button's cell owner-drawn: drawing sends WM_DRAWITEM to its parent.
void SHIM_SetOwnerDrawnButtonCell(winsys::Control* c);
// Asks the parent of an owner-drawn control to draw: WM_DRAWITEM with the
// control's device context and frame (each value rounded by adding 0.5).
void SHIM_SendDrawItem(winsys::View* control, uint32_t type, uint32_t itemID, const winsys::Rect& frame,
                       uintptr_t itemData);

// ---- Placement (see SHIM_MakeSetCurParms) ----

struct ShimCreationParms {
  float transform[4] = {0, 0, 0, 0};  // x offset, y offset, x scale, y scale
  winsys::View* owner = nullptr;      // not retained; checked with live before use
  float parent_h = 0;
  bool doautoright = false, sizetofits = false;
  float lastdoauto[3] = {0, 0, 0};  // last right edge, last vertical centre, pending shift
};
ShimCreationParms& SHIM_CurParms();

// The owner of new controls, or null when none is set or it is gone.
winsys::View* SHIM_MakeOwner();
// A dialog rectangle as a frame in the owner's coordinates.
winsys::Rect MakeCoords(int x, int y, int w, int h, bool wantauto, bool fixedHeight);
// After a control exists: the shift it gives the next control on its row.
void SHIM_RecordAutoShift(const winsys::View* v);
// The system font by the x scale (8 or 10 px below 1.81, else kept).
void SHIM_ApplyScaleFont(winsys::Control* c);
float SHIM_ScaleFontSize(float current);
// A control text without its mnemonic marks (null reads as empty).
std::string SHIM_StripMnemonics(const char* text);
// Adds a new control to the owner (hidden with the flag) and gives up the
// maker's reference; the owner then holds it.
void SHIM_AddToOwner(winsys::View* owner, winsys::View* v, unsigned flags);
// The owner's action (onShimCommand) and delegate calls for a control.
void SHIM_SetTargetAction(winsys::Control* c, winsys::View* owner);
void SHIM_SetDelegate(winsys::Control* c, winsys::View* owner);

// SendMessage's answers to the combo messages (0x143 to 0x161) of a pop-up
// button or combo box.
LRESULT SHIM_ComboMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
