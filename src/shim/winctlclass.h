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

// Labels and one-line edit fields.
class Shim_vTavrin_textfield : public ShimDisplayHook<winsys::TextField> {};

// Multi-line edit fields; they answer their own messages.
class Shim_vTavrin_textview : public ShimDisplayHook<winsys::TextView>, public ShimMessageEntry {
 public:
  int tag() const override { return m_tag; }
  void setTag(int t) { m_tag = t; }
  LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int m_tag = 0;
};

// Drop-down lists.
class Shim_vTavrin_pub : public ShimDisplayHook<winsys::PopUpButton> {
 public:
  void setShimStyle(long s) { m_style = s; }
  long getShimStyle() const { return m_style; }

 private:
  long m_style = 0;
};

// Editable combo boxes: one value per item, beside the items.
class Shim_vTavrin_cbox : public ShimDisplayHook<winsys::ComboBox> {
 public:
  void setShimStyle(long s) { m_style = s; }
  long getShimStyle() const { return m_style; }
  std::vector<LPARAM> m_ids;

 private:
  long m_style = 0;
};

// Group boxes.
class Shim_vTavrin_box : public ShimDisplayHook<winsys::Box> {
 public:
  int tag() const override { return m_tag; }
  void setTag(int t) { m_tag = t; }

 private:
  int m_tag = 0;
};

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
